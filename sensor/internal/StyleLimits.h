// Bounds of a UI style or diversity document (internal). Style documents are a few levels
// deep and some kilobytes long; the XML library parses, copies and prints recursively, one
// stack frame per level, and prints every level indented. A document beyond these bounds is
// refused before it is parsed, so neither the stack nor the merged file can grow with it.
#ifndef STYLE_LIMITS_H
#define STYLE_LIMITS_H

#include <stddef.h>

// Largest document text accepted, in bytes (1 MiB).
constexpr size_t kMaxStyleBytes = 1024 * 1024;
// Deepest element nesting accepted; the root element is level 1.
constexpr unsigned kMaxStyleDepth = 32;

// Deepest element nesting of an XML text of `length` bytes, read without parsing: element
// tags, end tags, comments, CDATA sections, declarations and other markup are told apart the
// way the XML library tells them apart, so the result is never below the depth the library
// would reach. Returns kMaxStyleDepth + 1 for a declaration written in a form that cannot be
// told apart safely (quoted values holding blanks, markup or quotes).
unsigned xmlNestingDepth(const char* text, size_t length);

// True when the text (null counts as empty) is within both bounds. Otherwise reports the
// document, naming `source` (a file name, or the argument that carried the text), and
// returns false.
bool styleWithinLimits(const char* text, const char* source);

// True when a style file of `length` bytes may be read at all; otherwise reports the file
// and returns false, before anything is read.
bool styleFileWithinSize(long long length, const char* file);

#endif
