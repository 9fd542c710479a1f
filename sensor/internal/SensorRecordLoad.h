// Loading a parameter file by key. Internal to the library.
//
// A parameter file holds the records of the key list it was written with, in that list's
// order. When it matches the channel's factory list position by position its values are
// taken as they are; otherwise its records are matched by key: known keys get their saved
// values, unknown keys are dropped, missing keys keep the factory values. A file whose
// records are mostly unknown (or that holds none) is damaged: none of it is used. No key
// outside the factory list ever comes out of a file.
#ifndef SENSOR_RECORD_LOAD_H
#define SENSOR_RECORD_LOAD_H

#include "SensorKeyVal.h"

enum class RecordLoadState {
    kMissing,     // no such file
    kUnreadable,  // it exists but cannot be read; factory values
    kSameLayout,  // position by position
    kByKey,       // matched by key (another key list, a short or a long file)
    kDamaged,     // mostly unknown keys or no record at all; factory values
};

struct RecordLoadResult {
    RecordLoadState state;
    u32 known;    // factory keys that took a saved value
    u32 unknown;  // file records whose key the factory list lacks (dropped)
    u32 missing;  // factory keys the file lacks (factory values)
};

// Fills `out` (count records) from the factory records and the file `name`. Reports a load
// by key (how many of each) and a damaged or unreadable file. Writes nothing.
RecordLoadResult loadRecordsByKey(const char* name, const KeyVal* factory, u32 count, KeyVal* out);

// Keeps a copy of a damaged file beside it ("<name>.bad"); reported. True when copied.
bool keepDamagedCopy(const char* name);

#endif
