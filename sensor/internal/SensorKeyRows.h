// What each key is, as data: its processor command, name, engine flags and shadow key, one row
// per line of SensorKeyList.def (internal, not installed). The parameter engine asks the row;
// the controller binds the handlers of the same rows.
#ifndef SENSOR_KEY_ROWS_H
#define SENSOR_KEY_ROWS_H

#include <cstddef>
#include <iterator>

#include "SensorKeyVal.h"

namespace SensorKeyRows {

// What the engine does with a key besides dispatching it (the flags column of the key list).
enum KeyFlag : u32 {
    kStoredOnly = 1u << 0,        // kept in the cache, never sent
    kSchemeMode = 1u << 1,        // in scheme 0 sets the channel's scheme switching
    kSharedDayNight = 1u << 2,    // shared by schemes 0 and 1 in automatic day/night mode
    kMinusOneUncached = 1u << 3,  // read as -1 while the current scheme does not hold it
    kIrPowerPair = 1u << 4,       // near/far infrared strength under the power limit
    kThermalHandler = 1u << 5,    // thermal channel: to the row's handler, result not checked
    kThermalVideo = 1u << 6,      // thermal channel: to the video module alone
};

struct KeyRow {
    u32 key;
    u32 cmd;           // processor command sent for the key
    const char* name;  // key name, e.g. "KEY_BRIGHTNESS"
    u32 flags;         // KeyFlag bits
    u32 shadow;        // the intelligent light's key mirroring this plain key, 0 when none

    bool has(u32 p_nFlag) const { return (flags & p_nFlag) != 0; }
};

// Every row, in the key list's order.
// clang-format off
inline constexpr KeyRow kRows[] = {
#define KEY_ROW(key, cmd, handler, name, flags, shadow) {key, cmd, #name, flags, shadow},
#include "SensorKeyList.def"
#undef KEY_ROW
};
// clang-format on

// The first row of a key; null for a key without a row.
inline const KeyRow* findRow(u32 p_nKey) {
    for (const KeyRow& row : kRows) {
        if (row.key == p_nKey) {
            return &row;
        }
    }
    return nullptr;
}

// The row of the plain key that a shadow key mirrors; null when the key is no shadow key.
inline const KeyRow* findShadowed(u32 p_nShadow) {
    for (const KeyRow& row : kRows) {
        if (p_nShadow != 0 && row.shadow == p_nShadow) {
            return &row;
        }
    }
    return nullptr;
}

// The other row of the infrared power pair; null when the row is not in the pair.
inline const KeyRow* irPowerPartner(const KeyRow& p_stRow) {
    for (const KeyRow& row : kRows) {
        if (p_stRow.has(kIrPowerPair) && &row != &p_stRow && row.has(kIrPowerPair)) {
            return &row;
        }
    }
    return nullptr;
}

}  // namespace SensorKeyRows

#endif
