// The key/value record, its text form "(key,value)(key,value)...", and value correction.
// The functions keep no state and take no lock; any thread may call them.
#ifndef SENSOR_KEY_VAL_H
#define SENSOR_KEY_VAL_H

#include <stdint.h>

#include <string>

#include "TarnisApi.h"

// Unsigned 32-bit number (keys, counts).
typedef uint32_t u32;
// Signed 64-bit number (file lengths).
typedef long long INT64;

// Result of an operation that succeeded.
#define OVS_SUCCESS 0

// One parameter, stored in files exactly so: 4-byte key, 4-byte value, little-endian.
struct KeyVal {
    // Parameter key.
    u32 key;
    // Its value.
    int32_t value;
};
static_assert(sizeof(KeyVal) == 8, "a record is 8 bytes");

// Parses every "(%d,%d)" group of `text` into out[0..], setting *count. A field that cannot
// be read keeps the previous group's value. The caller's array has room for one record per
// ")" in the text.
TARNIS_API void keyval_str2st(const std::string& text, KeyVal* out, u32* count);
// Appends "(%d,%d)" for the first `count` records (keys printed signed).
TARNIS_API void keyval_st2str(std::string& text, KeyVal* in, u32 count);
// Asks the processor (0-based channel) for its dynamic command list and lets it correct the
// first record of each listed key in place. Returns 0; failures are reported.
TARNIS_API int keyval_correct(int p_nChannel_id, KeyVal* p_pKeyval, u32 count);

#endif
