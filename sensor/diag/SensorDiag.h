// Debug level and assertion switch, refreshed from "/tmp/Debug.sign" before every trace.
// Any thread; no lock: the two globals are read and written whole.
#ifndef SENSOR_DIAG_H
#define SENSOR_DIAG_H

#include "TarnisApi.h"

// Current debug level (initially 1); a trace prints when the level passes its threshold.
extern TARNIS_API int g_nDebugLevel;
// When true a failed check ends the process after its report (initially false).
extern TARNIS_API bool g_bEnAssert;

// Re-reads the switch file: line 1 the level, line 2 the assertion switch. A missing file
// gives level 1 and no aborts; a file that cannot be opened leaves both as they are.
TARNIS_API void updateDebugLevel();

#endif
