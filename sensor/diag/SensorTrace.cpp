// Placeholder: the diagnostics unit replaces this file.
#define SENSOR_SOURCE_NAME "SensorTrace.cpp"
#include "SensorTrace.h"

int g_nDebugLevel = 1;
bool g_bEnAssert = false;

void updateDebugLevel() {}

void sensorTrace(SensorTraceKind, int, const char*, const char*, int, const char*, ...) {}

void sensorAssertFailed(const char*, const char*, const char*, const char*, int, const char*,
                        ...) {}
