// Device paths and on-disk layouts of the library (internal, not installed): the parameter
// files of each channel kind and scheme, the version stamp, the merged style, the machine
// information and module configuration, the style folders, the commands that delete parameter
// files, and the layout of a parameter record. Nobody else spells a path or a record layout.
#ifndef SENSOR_PATHS_H
#define SENSOR_PATHS_H

#include <string>

#include "SensorKeyVal.h"

namespace SensorPaths {

// The channel id whose parameter files carry the thermal names and whose special keys are
// routed to the video module.
constexpr int kThermalChannel = 2;
// Rows of the key table and records of the factory and work arrays: the most keys a scheme
// can hold.
constexpr u32 kKeyCapacity = 160;

}  // namespace SensorPaths

#endif
