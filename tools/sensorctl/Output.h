// Where sensorctl writes: its results on their own stream (standard output, or a copy of it
// when the library's console output is moved to a file), its errors and warnings on standard
// error, each coloured only on a terminal.
#ifndef SENSORCTL_OUTPUT_H
#define SENSORCTL_OUTPUT_H

#include <cstdio>
#include <string>

// Moves the library's console output (every write of the process to descriptor 1) to `file`
// and keeps the tool's results on the original standard output. False with a message when the
// file cannot be opened. Without a call, results share standard output with the library.
bool moveLibraryOutput(const std::string& file);
// The stream for results.
std::FILE* results();
// One result (a line, or a whole document) followed by a newline.
void printResult(const std::string& text);
// The echo of a script's command line: "> set (KEY_BRIGHTNESS,70)".
void printEcho(const std::string& line);
// Colours for the tool's own texts; plain text when the stream is not a terminal.
enum class Tint { echo, error, warning, heading };
std::string tinted(Tint tint, const std::string& text, std::FILE* stream);

#endif
