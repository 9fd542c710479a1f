// The one name lookup of sensorctl: key rows of the library's key table, the processor
// commands they drive, and the names a user may give for a control (KEY_ names, key numbers,
// the style's own names), case-insensitive.
#ifndef SENSORCTL_LOOKUP_H
#define SENSORCTL_LOOKUP_H

#include <string>
#include <vector>

#include "IaSim.h"

struct Control;

// One row of the library's key table, read from the same declaration the library is built from.
struct KeyRow {
    long key;
    long command;         // what the row's handler sends to the processor
    const char* handler;  // handler member name, "NONE" for keys the engine only stores
    const char* name;     // KEY_ name
};

// ---- the key table ----
const std::vector<KeyRow>& keyRows();
const KeyRow* rowOfKey(long key);
// The row whose handler sends `command`, or null.
const KeyRow* rowOfCommand(long command);
// True when the row's key is applied through a handler (false: stored by the engine only).
bool rowHasHandler(const KeyRow& row);
// Name of a processor command that no key row drives (IA_CMD_DN_STATE, ...), or null.
const char* plainCommandName(long command);
// Names of the processor options: set, get, range, correct, status.
const char* optionName(int option);
bool parseOption(const std::string& text, long& option);

// ---- names ----
bool equalsIgnoringCase(const std::string& a, const std::string& b);
// Decimal numbers (0x for hexadecimal); false for anything else or out of long range.
bool parseInt(const std::string& text, long& out);
// Every key `text` can name: a key number of the table or the style, a KEY_ name, or a style
// name (which may belong to several keys). `controls` may be null before the channel runs.
std::vector<long> keyCandidates(const std::string& text, const std::vector<Control>* controls);
// Exactly one key for `text`; false with a message naming the candidates or the unknown name.
bool lookupKey(const std::string& text, const std::vector<Control>* controls, long& key,
               std::string& error);
// A processor command: a number is a command as it is; a key name is resolved through its row
// to the command its handler sends; IA_CMD_ names of plain commands are accepted too.
bool lookupCommand(const std::string& text, const std::vector<Control>* controls, long& command,
                   std::string& error);
// "KEY_BRIGHTNESS(34)" for a key, "key 201" for a style key without a row.
std::string describeKey(long key);
// One processor log line in the host's words: "ch=1 KEY_WHITE_SWITCH key=170 cmd=168 set
// val=1 ret=0" (channel 1-based as the host counts it; plain commands by their IA_CMD_ name).
std::string decodeCall(const iasim::Call& call);

#endif
