// Parameter texts as sensorctl accepts them: strictly formed, so that nothing is sent for a
// text the library would read differently from what its writer meant.
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "Session.h"

namespace {

const char* const kBlanks = " \t";

std::string trimBlanks(const std::string& text) {
    size_t b = text.find_first_not_of(kBlanks);
    if (b == std::string::npos) {
        return "";
    }
    return text.substr(b, text.find_last_not_of(kBlanks) - b + 1);
}

bool parseValue(const std::string& text, long& out) {
    if (text.empty() || text.find_first_of(kBlanks) != std::string::npos) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < INT_MIN || v > INT_MAX) {
        return false;
    }
    out = v;
    return true;
}

// Splits the text into the contents of its "(...)" groups; anything but blanks outside a
// group, or a group left open, is an error.
bool splitGroups(const std::string& text, std::vector<std::string>& groups, std::string& error) {
    size_t at = text.find_first_not_of(kBlanks);
    while (at != std::string::npos) {
        if (text[at] != '(') {
            size_t end = text.find_first_of(" \t(", at);
            error = "unexpected '" + text.substr(at, end == std::string::npos ? end : end - at) +
                    "' outside a (KEY,VALUE) group";
            return false;
        }
        size_t close = text.find(')', at);
        size_t reopen = text.find('(', at + 1);
        if (close == std::string::npos || (reopen != std::string::npos && reopen < close)) {
            error =
                "group " + std::to_string(groups.size() + 1) + " '" +
                trimBlanks(text.substr(at, reopen == std::string::npos ? reopen : reopen - at)) +
                "' is not closed";
            return false;
        }
        groups.push_back(text.substr(at + 1, close - at - 1));
        at = text.find_first_not_of(kBlanks, close + 1);
    }
    if (groups.empty()) {
        error = "expected one or more (KEY,VALUE) groups";
        return false;
    }
    return true;
}

std::vector<std::string> fields(const std::string& group) {
    std::vector<std::string> out;
    size_t from = 0;
    for (size_t comma = group.find(','); comma != std::string::npos;
         comma = group.find(',', from)) {
        out.push_back(trimBlanks(group.substr(from, comma - from)));
        from = comma + 1;
    }
    out.push_back(trimBlanks(group.substr(from)));
    return out;
}

std::string groupName(size_t index, const std::string& group) {
    return "group " + std::to_string(index + 1) + " '(" + group + ")'";
}

}  // namespace

bool parsePairs(Session& s, const std::string& text, std::vector<KeyValue>& out,
                std::string& error) {
    std::vector<std::string> groups;
    if (!splitGroups(text, groups, error)) {
        return false;
    }
    out.clear();
    for (size_t i = 0; i < groups.size(); ++i) {
        std::vector<std::string> f = fields(groups[i]);
        KeyValue kv{0, 0};
        std::string why;
        if (f.size() != 2) {
            error = groupName(i, groups[i]) + ": expected KEY,VALUE";
            return false;
        }
        if (!lookupKey(f[0], s.controls(), kv.key, why)) {
            error = groupName(i, groups[i]) + ": " + why;
            return false;
        }
        if (!parseValue(f[1], kv.value)) {
            error = groupName(i, groups[i]) + ": the value '" + f[1] +
                    "' is not a decimal number (names go only in the key position)";
            return false;
        }
        out.push_back(kv);
    }
    return true;
}

bool parseKeyList(Session& s, const std::string& text, std::vector<long>& out, std::string& error) {
    std::vector<std::string> groups;
    if (!splitGroups(text, groups, error)) {
        return false;
    }
    if (groups.size() != 1) {
        error = "expected one group of keys: (KEY,KEY,...)";
        return false;
    }
    out.clear();
    for (const std::string& word : fields(groups[0])) {
        long key = 0;
        std::string why;
        if (!lookupKey(word, s.controls(), key, why)) {
            error = groupName(0, groups[0]) + ": " + why;
            return false;
        }
        out.push_back(key);
    }
    return true;
}
