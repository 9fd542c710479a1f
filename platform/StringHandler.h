// Text helpers of the host framework.
#ifndef STRING_HANDLER_H
#define STRING_HANDLER_H

#include <sstream>
#include <string>
#include <vector>

class StringHandler {
public:
    // Appends to `out` the pieces of `text` between occurrences of `delimiter`. Empty pieces
    // (two delimiters in a row, a leading or trailing one) are kept as empty strings; an
    // empty text yields no piece. `out` is cleared first.
    static void split(const std::string& text, std::vector<std::string>& out,
                      const std::string& delimiter);
    // Reads a value as stream extraction does (leading blanks skipped, stops at the first
    // character that does not belong). Returns false, leaving `value` as extraction left it,
    // when nothing could be read.
    template <typename T>
    static bool str2type(const std::string& text, T& value) {
        std::istringstream in(text);
        in >> value;
        return !in.fail();
    }
};

#endif
