// Which base style and diversity documents a device uses, by device type and channel
// (internal, not installed): the library's configuration and the bench tool's device-data
// checks read the same table.
#ifndef SENSOR_STYLE_FILES_H
#define SENSOR_STYLE_FILES_H

#include <stddef.h>

#include <iterator>

#include "SensorPaths.h"

namespace SensorStyleFiles {

// Folders of the two kinds of document on a camera (SensorPaths owns them).
using SensorPaths::kStyleDir;
using SensorPaths::kStyleDiversityDir;

constexpr int kAnyChannel = 0;
using SensorPaths::kThermalChannel;
constexpr int kThermalPairTypes[] = {13, 14, 17, 19};
constexpr int kBulletTypes[] = {1, 8, 9, 11, 13, 14, 15, 16, 17, 18, 22};
constexpr int kDomeTypes[] = {4, 19, 20, 104};

struct StyleFileRow {
    const int* types;
    size_t typeCount;
    int channel;  // kAnyChannel, or the one channel the row serves
    const char* style;
    const char* diversity;
};
// Rows are tried in order; the first whose device type (and channel, where given) matches
// wins. Device types outside every row use the last row.
// clang-format off
//   device types       count                         channel          base style           diversity
constexpr StyleFileRow kStyleFileRows[] = {
    {kThermalPairTypes, std::size(kThermalPairTypes), kThermalChannel, "Style_Thermal.xml", "StyleDiversity_Thermal.xml"},
    {kBulletTypes,      std::size(kBulletTypes),      kAnyChannel,     "Style.xml",         "StyleDiversity.xml"},
    {kDomeTypes,        std::size(kDomeTypes),        kAnyChannel,     "Style_dome.xml",    "StyleDiversity_dome.xml"},
};
// clang-format on
inline constexpr const StyleFileRow& kFallbackStyleFiles =
    kStyleFileRows[std::size(kStyleFileRows) - 1];

inline bool rowMatches(const StyleFileRow& row, int deviceType, int channel) {
    if (row.channel != kAnyChannel && row.channel != channel) {
        return false;
    }
    for (size_t i = 0; i < row.typeCount; ++i) {
        if (row.types[i] == deviceType) {
            return true;
        }
    }
    return false;
}

// The row of the documents that a device of `deviceType` uses on the 1-based `channel`.
inline const StyleFileRow& chooseStyleFiles(int deviceType, int channel) {
    for (const StyleFileRow& row : kStyleFileRows) {
        if (rowMatches(row, deviceType, channel)) {
            return row;
        }
    }
    return kFallbackStyleFiles;
}

}  // namespace SensorStyleFiles

#endif
