// Document-to-text helper and sandboxed document files.
#ifndef XML_STRING_H
#define XML_STRING_H

#include <string>

#include <tinyxml.h>

// Prints the whole document into `text` (replacing its content), as TinyXML prints a file.
void getXmlString(const TiXmlDocument& doc, std::string& text);
// Load and save of a named document file, with the name resolved through the sandbox.
bool loadXmlFile(TiXmlDocument& doc, const char* path, TiXmlEncoding encoding);
bool saveXmlFile(const TiXmlDocument& doc, const char* path);

#endif
