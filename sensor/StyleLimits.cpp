// The nesting scan and the bounds check of style documents.
#define SENSOR_SOURCE_NAME "SensorFile.cpp"
#include "SensorTrace.h"

#include "StyleLimits.h"

#include <ctype.h>
#include <string.h>

namespace {

// What a scan reports when a declaration cannot be followed safely: beyond every limit.
const unsigned kRefusedDepth = kMaxStyleDepth + 1;

bool isXmlSpace(char c) {
    return isspace(static_cast<unsigned char>(c)) != 0;
}

bool isQuote(char c) {
    return c == '"' || c == '\'';
}

// The XML library's test for the first character of an element name: a letter, "_" or any
// byte of a multi-byte sequence.
bool startsName(char c) {
    const unsigned char byte = static_cast<unsigned char>(c);
    return byte >= 127 || isalpha(byte) != 0 || c == '_';
}

bool startsWith(const char* p, const char* end, const char* prefix, bool ignoreCase) {
    const size_t n = strlen(prefix);
    if (static_cast<size_t>(end - p) < n) {
        return false;
    }
    for (size_t i = 0; i < n; ++i) {
        const char a =
            ignoreCase ? static_cast<char>(tolower(static_cast<unsigned char>(p[i]))) : p[i];
        if (a != prefix[i]) {
            return false;
        }
    }
    return true;
}

// Just past the first `terminator` at or after p; `end` when there is none.
const char* skipPast(const char* p, const char* end, const char* terminator) {
    const size_t n = strlen(terminator);
    for (; static_cast<size_t>(end - p) >= n; ++p) {
        if (memcmp(p, terminator, n) == 0) {
            return p + n;
        }
    }
    return end;
}

// An element's start tag from its "<": quoted attribute values may hold ">". Sets
// `selfClosing` for a tag ending in "/>"; returns the position past the tag.
const char* skipStartTag(const char* p, const char* end, bool& selfClosing) {
    char quote = '\0';
    char previous = '\0';
    for (++p; p < end; ++p) {
        if (quote != '\0') {
            quote = (*p == quote) ? '\0' : quote;
        } else if (isQuote(*p)) {
            quote = *p;
        } else if (*p == '>') {
            selfClosing = previous == '/';
            return p + 1;
        }
        previous = *p;
    }
    selfClosing = true;  // an unterminated tag opens nothing the parser would enter
    return end;
}

// An "<?xml" declaration ends at its first ">" for the XML library as for this scan as long
// as every quoted value follows "=" and holds no blank, markup, "=" or quote, and nothing but
// ASCII is written inside. Returns the position past it, or null for any other form.
const char* skipDeclaration(const char* p, const char* end) {
    bool afterEquals = false;
    for (p += 5; p < end; ++p) {
        const unsigned char byte = static_cast<unsigned char>(*p);
        if (*p == '>') {
            return p + 1;
        }
        if (byte >= 128) {
            return nullptr;
        }
        if (isQuote(*p)) {
            if (!afterEquals) {
                return nullptr;
            }
            const char quote = *p;
            for (++p; p < end && *p != quote; ++p) {
                if (isXmlSpace(*p) || isQuote(*p) || strchr("<>=", *p) != nullptr ||
                    static_cast<unsigned char>(*p) >= 128) {
                    return nullptr;
                }
            }
            if (p == end) {
                return nullptr;
            }
            afterEquals = false;
            continue;
        }
        if (*p == '=') {
            afterEquals = true;
        } else if (!isXmlSpace(*p)) {
            afterEquals = false;
        }
    }
    return end;
}

}  // namespace

unsigned xmlNestingDepth(const char* text, size_t length) {
    const char* p = text;
    const char* end = text + length;
    unsigned depth = 0;
    unsigned deepest = 0;
    while (p < end) {
        if (*p != '<') {
            ++p;
        } else if (startsWith(p, end, "<?xml", true)) {
            p = skipDeclaration(p, end);
            if (p == nullptr) {
                return kRefusedDepth;
            }
        } else if (startsWith(p, end, "<!--", false)) {
            p = skipPast(p + 4, end, "-->");
        } else if (startsWith(p, end, "<![CDATA[", false)) {
            p = skipPast(p + 9, end, "]]>");
        } else if (startsWith(p, end, "</", false)) {
            depth = depth > 0 ? depth - 1 : 0;
            p = skipPast(p, end, ">");
        } else if (p + 1 < end && startsName(p[1])) {
            bool selfClosing = false;
            p = skipStartTag(p, end, selfClosing);
            if (!selfClosing && ++depth > deepest) {
                deepest = depth;
            }
        } else {
            p = skipPast(p, end, ">");  // other markup ("<!DOCTYPE", "<?pi") ends at ">"
        }
    }
    return deepest;
}

bool styleWithinLimits(const char* text, const char* source) {
    const char* name = source != nullptr ? source : "";
    const size_t length = text != nullptr ? strnlen(text, kMaxStyleBytes + 1) : 0;
    const bool bSmall = length <= kMaxStyleBytes;
    SENSOR_ASSERT(bSmall, "length <= kMaxStyleBytes",
                  "style document %s beyond %zu bytes: refused\n", name, kMaxStyleBytes);
    if (!bSmall) {
        return false;
    }
    const unsigned depth = xmlNestingDepth(text != nullptr ? text : "", length);
    const bool bShallow = depth <= kMaxStyleDepth;
    SENSOR_ASSERT(bShallow, "depth <= kMaxStyleDepth",
                  "style document %s nested beyond %u levels: refused\n", name, kMaxStyleDepth);
    return bShallow;
}

bool styleFileWithinSize(long long length, const char* file) {
    const bool bSmall = length <= static_cast<long long>(kMaxStyleBytes);
    SENSOR_ASSERT(bSmall, "getFileLen(file) <= kMaxStyleBytes",
                  "style document %s beyond %zu bytes: refused\n", file != nullptr ? file : "",
                  kMaxStyleBytes);
    return bSmall;
}
