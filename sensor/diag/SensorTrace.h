// The trace and assertion statements used inside the library (not exported).
// Each source file defines SENSOR_SOURCE_NAME (its own name, e.g. "SensorFile.cpp") before
// including this header; statements carry it with the bare function name and the line.
#ifndef SENSOR_TRACE_H
#define SENSOR_TRACE_H

#include "SensorDiag.h"

#ifndef SENSOR_SOURCE_NAME
#error "define SENSOR_SOURCE_NAME before including SensorTrace.h"
#endif

// Trace kinds; their tags and thresholds live in one table in SensorTrace.cpp.
// kTraceAlarm prints and logs at every level: a fault that costs or risks saved settings.
enum SensorTraceKind { kTraceDbg, kTraceInfo, kTraceWarn, kTraceErr, kTracePlain, kTraceAlarm };

// Console colours.
enum { kColorNone = 0, kColorRed = 31, kColorGreen = 32, kColorMagenta = 35, kColorWhite = 37 };

// Formats and prints one trace statement of `kind` when the refreshed level passes its
// threshold; warnings also go to the error log.
void sensorTrace(SensorTraceKind kind, int color, const char* file, const char* func, int line,
                 const char* fmt, ...) __attribute__((format(printf, 6, 7)));
// Reports a failed check: console block, error log, and abort when the switch is on.
void sensorAssertFailed(const char* condition, const char* file, const char* func,
                        const char* signature, int line, const char* fmt, ...)
    __attribute__((format(printf, 6, 7)));

#define SENSOR_DBG(...) \
    sensorTrace(kTraceDbg, kColorNone, SENSOR_SOURCE_NAME, __func__, __LINE__, __VA_ARGS__)
#define SENSOR_DBG_C(color, ...) \
    sensorTrace(kTraceDbg, color, SENSOR_SOURCE_NAME, __func__, __LINE__, __VA_ARGS__)
#define SENSOR_INFO(...) \
    sensorTrace(kTraceInfo, kColorNone, SENSOR_SOURCE_NAME, __func__, __LINE__, __VA_ARGS__)
#define SENSOR_INFO_C(color, ...) \
    sensorTrace(kTraceInfo, color, SENSOR_SOURCE_NAME, __func__, __LINE__, __VA_ARGS__)
#define SENSOR_WARN(...) \
    sensorTrace(kTraceWarn, kColorNone, SENSOR_SOURCE_NAME, __func__, __LINE__, __VA_ARGS__)
#define SENSOR_ERR(...) \
    sensorTrace(kTraceErr, kColorNone, SENSOR_SOURCE_NAME, __func__, __LINE__, __VA_ARGS__)
#define SENSOR_ALARM(...) \
    sensorTrace(kTraceAlarm, kColorRed, SENSOR_SOURCE_NAME, __func__, __LINE__, __VA_ARGS__)
#define SENSOR_TRACE(...) \
    sensorTrace(kTracePlain, kColorNone, SENSOR_SOURCE_NAME, __func__, __LINE__, __VA_ARGS__)
#define SENSOR_TRACE_C(color, ...) \
    sensorTrace(kTracePlain, color, SENSOR_SOURCE_NAME, __func__, __LINE__, __VA_ARGS__)

// Evaluates `cond` once; when false, reports `text` (the condition as the system quotes it)
// and the formatted message, then goes on unless the assertion switch is on. An empty
// message is written SENSOR_ASSERT(cond, text, "%s", "").
#define SENSOR_ASSERT(cond, text, ...)                                                            \
    do {                                                                                          \
        if (!(cond)) {                                                                            \
            sensorAssertFailed(text, SENSOR_SOURCE_NAME, __func__, __PRETTY_FUNCTION__, __LINE__, \
                               __VA_ARGS__);                                                      \
        }                                                                                         \
    } while (0)

#endif
