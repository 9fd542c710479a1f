// `expect COMMAND... VALUE`: a script line that checks a result, so that a bench script is a
// regression test.
#include "Session.h"

namespace {

// Splits "get brightness 70" into the command and the expected result: after " == " when the
// line has one, else the last word.
bool splitExpectation(const std::string& text, std::string& command, std::string& expected) {
    size_t at = text.find(" == ");
    if (at != std::string::npos) {
        command = text.substr(0, at);
        expected = text.substr(at + 4);
    } else {
        at = text.find_last_of(" \t");
        if (at == std::string::npos) {
            return false;
        }
        command = text.substr(0, at);
        expected = text.substr(at + 1);
    }
    command.erase(command.find_last_not_of(" \t") + 1);
    expected.erase(0, expected.find_first_not_of(" \t"));
    return !command.empty() && !expected.empty();
}

// A result matches when it equals the expected text, or does after a leading "true ".
bool matches(const std::string& result, const std::string& expected) {
    return result == expected || result == "true " + expected;
}

}  // namespace

void cmdExpect(Session& s, const Args& a) {
    std::string command, expected, result;
    if (!splitExpectation(a[0], command, expected)) {
        s.error("expected: expect COMMAND... VALUE");
        return;
    }
    int errors = 0;
    s.capture(command, result, errors);
    if (errors > 0) {
        s.error("'" + command + "' failed; expected " + expected);
    } else if (!matches(result, expected)) {
        s.error("'" + command + "' gave '" + result + "', expected '" + expected + "'");
    }
}
