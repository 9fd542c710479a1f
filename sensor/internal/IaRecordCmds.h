// What the data pointer of a processor call carries: one 32-bit value, or a whole record for
// the commands listed here (internal). The paths that read or set one key by number hand the
// processor a single int, so they refuse these commands: the processor would write its record
// into, or read it from, four bytes.
#ifndef IA_RECORD_CMDS_H
#define IA_RECORD_CMDS_H

#include <stddef.h>

#include "SensorKeyVal.h"
#include "ia_ioctrl.h"

// One command and option whose data is a record of `size` bytes.
struct IaRecordCmd {
    u32 cmd;
    u32 opt;
    size_t size;
};

// The camera version text that IA_CMD_CAMERA_VERSION fills.
constexpr size_t kIaCameraVersionBytes = 50;

// clang-format off
//                                 command                         option          record size
constexpr IaRecordCmd kIaRecordCmds[] = {
    {IA_CMD_DYNAMIC_PARAMS_CMDS_GET, IA_CMD_OPT_GET, sizeof(ia_dynamic_cmds_st)},
    {IA_CMD_CAMERA_VERSION,          IA_CMD_OPT_GET, kIaCameraVersionBytes},
    {IA_CMD_SENSOR_CHECK,            IA_CMD_OPT_SET, sizeof(ia_sensor_check_st)},
    {IA_CMD_SENSOR_CHECK,            IA_CMD_OPT_GET, sizeof(ia_sensor_check_st)},
    // day/night thresholds (d2n, n2d, sensitivity) and times (d2n h:m, n2d h:m)
    {IA_CMD_DTN_THR,                 IA_CMD_OPT_SET, 3 * sizeof(u32)},
    {IA_CMD_NTD_THR,                 IA_CMD_OPT_SET, 3 * sizeof(u32)},
    {IA_CMD_DN_SENSITIVITY,          IA_CMD_OPT_SET, 3 * sizeof(u32)},
    {IA_CMD_DTN_H,                   IA_CMD_OPT_SET, 4 * sizeof(u32)},
    {IA_CMD_DTN_M,                   IA_CMD_OPT_SET, 4 * sizeof(u32)},
    {IA_CMD_NTD_H,                   IA_CMD_OPT_SET, 4 * sizeof(u32)},
    {IA_CMD_NTD_M,                   IA_CMD_OPT_SET, 4 * sizeof(u32)},
};
// clang-format on

// True when a call of `cmd` with `opt` carries more than one 32-bit value (every range query
// does).
inline bool iaCarriesRecord(u32 cmd, u32 opt) {
    if (opt == IA_CMD_OPT_GET_PARAM_RNAGE) {
        return true;
    }
    for (const IaRecordCmd& record : kIaRecordCmds) {
        if (record.cmd == cmd && record.opt == opt) {
            return true;
        }
    }
    return false;
}

#endif
