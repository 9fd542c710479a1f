// Internal helpers of the style functions: parsing a document from a text in memory, and
// the heap blocks that hold style texts.
//
// TinyXML reads up to three bytes past the terminator of a text that ends inside a
// multi-byte UTF-8 sequence. Every text handed to the parser therefore lies in a block
// that carries kXmlTextPadding zero bytes beyond its terminator.
#ifndef SENSOR_XML_TEXT_H
#define SENSOR_XML_TEXT_H

#include <stdlib.h>
#include <string.h>

#include <tinyxml.h>

#include "SensorKeyVal.h"
#include "StyleLimits.h"

// Zero bytes kept beyond the terminator of every text the parser reads.
constexpr size_t kXmlTextPadding = 4;

// A zero-filled heap block for a text of `length` characters: the text, its terminator and
// the padding. A negative length counts as 0. Null when the allocation fails.
inline char* allocStyleText(INT64 length) {
    const size_t n = length > 0 ? static_cast<size_t>(length) : 0;
    return static_cast<char*>(calloc(n + 1 + kXmlTextPadding, 1));
}

// Parses a NUL-terminated text (null counts as empty) into `doc` as UTF-8, from a padded
// copy. True when the document parsed without error. A text beyond the style limits is
// reported under the name `what` and not parsed (false, `doc` left empty).
inline bool parseXmlText(TiXmlDocument& doc, const char* text, const char* what) {
    if (!styleWithinLimits(text, what)) {
        return false;
    }
    const char* source = text != nullptr ? text : "";
    const size_t length = strlen(source);
    char* copy = allocStyleText(static_cast<INT64>(length));
    if (copy == nullptr) {
        return false;
    }
    memcpy(copy, source, length);
    doc.Parse(copy, nullptr, TIXML_ENCODING_UTF8);
    free(copy);
    return !doc.Error();
}

#endif
