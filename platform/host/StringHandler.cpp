#include "StringHandler.h"

void StringHandler::split(const std::string& text, std::vector<std::string>& out,
                          const std::string& delimiter) {
    out.clear();
    if (text.empty()) {
        return;
    }
    if (delimiter.empty()) {
        out.push_back(text);
        return;
    }
    std::string::size_type begin = 0;
    for (;;) {
        std::string::size_type found = text.find(delimiter, begin);
        if (found == std::string::npos) {
            out.push_back(text.substr(begin));
            return;
        }
        out.push_back(text.substr(begin, found - begin));
        begin = found + delimiter.size();
    }
}
