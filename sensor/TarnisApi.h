// Marks the library's external interface; everything else is built with hidden visibility.
#ifndef TARNIS_API_H
// Exports a declaration from libtarnis.so.
#define TARNIS_API_H

// Exports a declaration from libtarnis.so.
#define TARNIS_API __attribute__((visibility("default")))

#endif
