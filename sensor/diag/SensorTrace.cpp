// Trace statements, the assertion check and the debug-level switch.
//
// Every statement refreshes the level from "/tmp/Debug.sign", then formats one coloured
// block for the console (fd 1, one write per block) and, for warnings and failed checks,
// records in "/mnt/mtd/log/SensorError.log". The kinds, their tags, thresholds, colours and
// whether they are logged live in one table below.

// A failed check aborts through the C library's assertion routine whatever NDEBUG says.
#undef NDEBUG
#include <assert.h>

#define SENSOR_SOURCE_NAME "SensorTrace.cpp"
#include "SensorTrace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "OVFile.h"
#include "OVLogger.h"
#include "OVPath.h"
#include "SensorPaths.h"

int g_nDebugLevel = 1;
bool g_bEnAssert = false;

namespace {

const char* const kSwitchFile = SensorPaths::kDebugSwitchPath;
const char* const kErrorLogFile = SensorPaths::kErrorLogPath;
const int kErrorLogMaxSize = 10240;
const int kErrorLogFiles = 3;
// Every text handed to the logger is formatted into a buffer of this size; longer texts
// are cut at kLogBufferSize - 1 bytes.
const size_t kLogBufferSize = 500;

const char kColorPrefixFmt[] = "\x1b[%dm\x1b[%dm";
const char kColorReset[] = "\x1b[0m";
const char kConsoleHeaderFmt[] = "%s file:%s fun:%s line:%d\n";
const char kLogHeaderFmt[] = "file:%s fun:%s line:%d\n";
const char kConditionFmt[] = "%s   ~~~Assertion failed.\n";

// Row index of the assertion check, after the trace kinds of SensorTraceKind.
const int kAssertRow = kTraceAlarm + 1;
// A colour column of kStatementColor means "the statement's own colour".
const int kStatementColor = -1;

struct TraceKindRow {
    const char* tag;  // nullptr: no tag and no header line
    int threshold;    // prints when the level is strictly greater
    int color;        // fixed colour, or kStatementColor
    bool logged;      // also written to the error log
};

// clang-format off
//  tag                  threshold  colour            logged
const TraceKindRow kKindRows[] = {
    {"[sensor dbg]",     5,         kStatementColor,  false},  // kTraceDbg
    {"[sensor info]",    6,         kStatementColor,  false},  // kTraceInfo
    {"[sensor warn]",    3,         kStatementColor,  true },  // kTraceWarn
    {"[sensor err]",     5,         kStatementColor,  false},  // kTraceErr
    {nullptr,            5,         kStatementColor,  false},  // kTracePlain
    {"[sensor alarm]",   -1,        kColorRed,        true },  // kTraceAlarm
    {"[sensor assert]",  -1,        kColorRed,        true },  // assertion check
};
// clang-format on
static_assert(sizeof(kKindRows) / sizeof(kKindRows[0]) == kAssertRow + 1,
              "one row per trace kind plus the assertion check");

// Where a statement stands in the source.
struct Site {
    const char* file;
    const char* func;
    int line;
};

// The globals are plain exported variables; inside the library they are read and written
// with relaxed atomic accesses so that refreshes on several threads stay well defined.
int debugLevel() {
    return __atomic_load_n(&g_nDebugLevel, __ATOMIC_RELAXED);
}
bool assertEnabled() {
    return __atomic_load_n(&g_bEnAssert, __ATOMIC_RELAXED);
}
void storeDebugLevel(int level) {
    __atomic_store_n(&g_nDebugLevel, level, __ATOMIC_RELAXED);
}
void storeAssertEnabled(bool on) {
    __atomic_store_n(&g_bEnAssert, on, __ATOMIC_RELAXED);
}

bool levelPasses(const TraceKindRow& row) {
    return debugLevel() > row.threshold;
}

// Appends the formatted text, whatever its length.
__attribute__((format(printf, 2, 0))) void appendV(std::string& out, const char* fmt,
                                                   va_list args) {
    va_list measure;
    va_copy(measure, args);
    int len = std::vsnprintf(nullptr, 0, fmt, measure);
    va_end(measure);
    if (len <= 0) {
        return;
    }
    size_t start = out.size();
    out.resize(start + static_cast<size_t>(len) + 1);
    std::vsnprintf(&out[start], static_cast<size_t>(len) + 1, fmt, args);
    out.resize(start + static_cast<size_t>(len));
}

__attribute__((format(printf, 2, 3))) void append(std::string& out, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    appendV(out, fmt, args);
    va_end(args);
}

// The one console writer: a whole block in one write, flushed at once.
void consoleWrite(const std::string& block) {
    std::fwrite(block.data(), 1, block.size(), stdout);
    std::fflush(stdout);
}

// The error log, opened for one group of records and closed again.
class ErrorLog {
public:
    ErrorLog() { m_logger.init(kErrorLogFile, kErrorLogMaxSize, kErrorLogFiles); }

    // Formats into the log buffer (cut at its size) and writes one record.
    __attribute__((format(printf, 3, 0))) void recordV(const char* tag, const char* fmt,
                                                       va_list args) {
        char buffer[kLogBufferSize];
        buffer[0] = '\0';
        std::vsnprintf(buffer, sizeof(buffer), fmt, args);
        m_logger.writeLog(tag, buffer);
    }

    void recordHeader(const char* tag, const Site& site) {
        char buffer[kLogBufferSize];
        std::snprintf(buffer, sizeof(buffer), kLogHeaderFmt, site.file, site.func, site.line);
        m_logger.writeLog(tag, buffer);
    }

private:
    OVLogger m_logger;
};

// The one formatting routine of every statement: a coloured block on the console (with the
// header line when `site` is given and the kind has a tag) and, for logged kinds, the same
// header and text as records of one error-log group.
__attribute__((format(printf, 4, 0))) void emitV(const TraceKindRow& row, int color,
                                                 const Site* site, const char* fmt, va_list args) {
    const bool withHeader = site != nullptr && row.tag != nullptr;
    va_list forLog;
    va_copy(forLog, args);

    std::string block;
    append(block, kColorPrefixFmt, 0, row.color == kStatementColor ? color : row.color);
    if (withHeader) {
        append(block, kConsoleHeaderFmt, row.tag, site->file, site->func, site->line);
    }
    appendV(block, fmt, args);
    block += kColorReset;
    consoleWrite(block);

    if (row.logged) {
        ErrorLog log;
        if (withHeader) {
            log.recordHeader(row.tag, *site);
        }
        log.recordV(row.tag, fmt, forLog);
    }
    va_end(forLog);
}

__attribute__((format(printf, 4, 5))) void emit(const TraceKindRow& row, int color,
                                                const Site* site, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    emitV(row, color, site, fmt, args);
    va_end(args);
}

const TraceKindRow* rowOf(SensorTraceKind kind) {
    if (kind < kTraceDbg || kind > kTraceAlarm) {
        return nullptr;
    }
    return &kKindRows[kind];
}

}  // namespace

void updateDebugLevel() {
    if (!OVPath::exists(kSwitchFile)) {
        storeDebugLevel(1);
        storeAssertEnabled(false);
        return;
    }
    OVFile file;
    if (!file.open(kSwitchFile)) {
        return;
    }
    std::string line = OVFile::ReadOneLine(file.getFileHandle());
    storeDebugLevel(line.empty() ? 1 : std::atoi(line.c_str()));
    line = OVFile::ReadOneLine(file.getFileHandle());
    storeAssertEnabled(!line.empty() && std::atoi(line.c_str()) != 0);
    file.close();
}

void sensorTrace(SensorTraceKind kind, int color, const char* file, const char* func, int line,
                 const char* fmt, ...) {
    updateDebugLevel();
    const TraceKindRow* row = rowOf(kind);
    if (row == nullptr || !levelPasses(*row)) {
        return;
    }
    const Site site = {file, func, line};
    va_list args;
    va_start(args, fmt);
    emitV(*row, color, &site, fmt, args);
    va_end(args);
}

// Two report groups, each after a fresh look at the switch file: the header with the
// condition line, then the message alone; then the abort when the switch is on.
void sensorAssertFailed(const char* condition, const char* file, const char* func,
                        const char* signature, int line, const char* fmt, ...) {
    const TraceKindRow& row = kKindRows[kAssertRow];
    const Site site = {file, func, line};

    updateDebugLevel();
    if (levelPasses(row)) {
        emit(row, kColorNone, &site, kConditionFmt, condition);
    }

    updateDebugLevel();
    if (levelPasses(row)) {
        va_list args;
        va_start(args, fmt);
        emitV(row, kColorNone, nullptr, fmt, args);
        va_end(args);
    }

    if (assertEnabled()) {
        __assert_fail("bRet", file, static_cast<unsigned int>(line), signature);
    }
}
