// Key numbers of the controller, named as in the key list (internal, not installed).
#ifndef SENSOR_KEYS_H
#define SENSOR_KEYS_H

#include "SensorKeyVal.h"

namespace SensorKeys {
enum SensorKey : u32 {
#define KEY_ROW(key, cmd, handler, name, ...) name = key,
#include "SensorKeyList.def"
#undef KEY_ROW
};
}  // namespace SensorKeys

#endif
