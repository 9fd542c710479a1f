// The trace and assertion statements used inside the library (not exported).
// Each source file defines SENSOR_SOURCE_NAME (its own name, e.g. "SensorFile.cpp") before
// including this header; statements carry it with the bare function name and the line.
#ifndef SENSOR_TRACE_H
#define SENSOR_TRACE_H

#include <string_view>

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

// The operation a statement reports under: its bare name (console header, log record) and
// its full signature (the abort text). A statement written in an operation reports under that
// function (SENSOR_HERE). A helper that carries out a step of an operation is given the
// operation's SensorOp (the _OP statements), so that headers, log records and aborts name the
// operation people grep for, never the helper.
struct SensorOp {
    const char* name;
    const char* signature;
};
#define SENSOR_HERE (SensorOp{__func__, __PRETTY_FUNCTION__})
// In the operation itself: checks at compile time that `op` describes this very function.
// The signatures are spelled as g++ prints them; clang spells them its own way (the fuzz
// build), so the check is made by the g++ builds only.
#if defined(__clang__)
#define SENSOR_OP_IS(op) static_assert(sizeof(op) > 0, "an operation")
#else
#define SENSOR_OP_IS(op)                                                   \
    static_assert(std::string_view(__PRETTY_FUNCTION__) == (op).signature, \
                  "the statements' operation is this function")
#endif

#define SENSOR_TRACE_AT(op, kind, color, ...) \
    sensorTrace(kind, color, SENSOR_SOURCE_NAME, (op).name, __LINE__, __VA_ARGS__)

#define SENSOR_DBG_OP(op, ...) SENSOR_TRACE_AT(op, kTraceDbg, kColorNone, __VA_ARGS__)
#define SENSOR_ERR_OP(op, ...) SENSOR_TRACE_AT(op, kTraceErr, kColorNone, __VA_ARGS__)
#define SENSOR_TRACE_C_OP(op, color, ...) SENSOR_TRACE_AT(op, kTracePlain, color, __VA_ARGS__)

#define SENSOR_DBG(...) SENSOR_DBG_OP(SENSOR_HERE, __VA_ARGS__)
#define SENSOR_DBG_C(color, ...) SENSOR_TRACE_AT(SENSOR_HERE, kTraceDbg, color, __VA_ARGS__)
#define SENSOR_INFO(...) SENSOR_TRACE_AT(SENSOR_HERE, kTraceInfo, kColorNone, __VA_ARGS__)
#define SENSOR_INFO_C(color, ...) SENSOR_TRACE_AT(SENSOR_HERE, kTraceInfo, color, __VA_ARGS__)
#define SENSOR_WARN(...) SENSOR_TRACE_AT(SENSOR_HERE, kTraceWarn, kColorNone, __VA_ARGS__)
#define SENSOR_WARN_OP(op, ...) SENSOR_TRACE_AT(op, kTraceWarn, kColorNone, __VA_ARGS__)
#define SENSOR_ERR(...) SENSOR_ERR_OP(SENSOR_HERE, __VA_ARGS__)
#define SENSOR_ALARM(...) SENSOR_TRACE_AT(SENSOR_HERE, kTraceAlarm, kColorRed, __VA_ARGS__)
#define SENSOR_ALARM_OP(op, ...) SENSOR_TRACE_AT(op, kTraceAlarm, kColorRed, __VA_ARGS__)
#define SENSOR_TRACE(...) SENSOR_TRACE_AT(SENSOR_HERE, kTracePlain, kColorNone, __VA_ARGS__)
#define SENSOR_TRACE_C(color, ...) SENSOR_TRACE_C_OP(SENSOR_HERE, color, __VA_ARGS__)

// Evaluates `cond` once; when false, reports `text` (the condition as the system quotes it)
// and the formatted message under `op`, then goes on unless the assertion switch is on. An
// empty message is written SENSOR_ASSERT(cond, text, "%s", "").
#define SENSOR_ASSERT_OP(op, cond, text, ...)                                                   \
    do {                                                                                        \
        if (!(cond)) {                                                                          \
            const SensorOp stSensorOp = (op);                                                   \
            sensorAssertFailed(text, SENSOR_SOURCE_NAME, stSensorOp.name, stSensorOp.signature, \
                               __LINE__, __VA_ARGS__);                                          \
        }                                                                                       \
    } while (0)
#define SENSOR_ASSERT(cond, text, ...) SENSOR_ASSERT_OP(SENSOR_HERE, cond, text, __VA_ARGS__)

#endif
