// The device-path sandbox. The library names files by their absolute camera paths; the
// platform maps each one under $SENSOR_ROOT when that variable is set (read at every call).
#ifndef OV_PATH_H
#define OV_PATH_H

#include <string>

namespace OVPath {
// Absolute paths are placed under $SENSOR_ROOT when set; other paths are returned unchanged.
std::string resolve(const std::string& path);
// Existence test of a (resolved) path.
bool exists(const std::string& path);
}  // namespace OVPath

#endif
