#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "Session.h"

bool parseInt(const std::string& text, long& out) {
    if (text.empty()) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 0);
    if (errno != 0 || end == text.c_str() || *end != '\0') {
        return false;
    }
    out = v;
    return true;
}

const std::vector<KeyName>& keyNames() {
    static const std::vector<KeyName> names = {
#define KEY_ROW(key, cmd, handler, name, ...) {key, #name},
#include "SensorKeyList.def"
#undef KEY_ROW
    };
    return names;
}

bool parseKey(const std::string& text, long& out) {
    if (parseInt(text, out)) {
        return true;
    }
    for (const KeyName& k : keyNames()) {
        if (text == k.name) {
            out = k.key;
            return true;
        }
    }
    return false;
}

bool resolveKeyNames(const std::string& text, std::string& out, std::string& bad) {
    out.clear();
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (std::isdigit(c)) {  // a number, hexadecimal ones included, passes as it is
            while (i < text.size() && std::isalnum(static_cast<unsigned char>(text[i]))) {
                out += text[i++];
            }
        } else if (std::isalpha(c) || c == '_') {
            size_t j = i;
            while (j < text.size() &&
                   (std::isalnum(static_cast<unsigned char>(text[j])) || text[j] == '_')) {
                ++j;
            }
            std::string word = text.substr(i, j - i);
            long key = 0;
            if (!parseKey(word, key)) {
                bad = word;
                return false;
            }
            out += std::to_string(key);
            i = j;
        } else {
            out += text[i++];
        }
    }
    return true;
}
