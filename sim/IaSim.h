// Control surface of the simulated image processor (the library's ia_ioctrl_v2 on this
// machine). Tests and sensorctl drive it; every function is thread-safe.
//
// Model, per channel (0-based): a value per command (set stores, get returns; unset
// commands read the profile default, else 0); record commands stored whole; a dynamic
// command list and per-command ranges (the default sensor profile); correction to the
// nearest accepted value; execution status; the day/night state of command 153.
// Every call is logged (channel, command, option, value or record, result).
#ifndef IA_SIM_H
#define IA_SIM_H

#include <stdint.h>

#include <string>
#include <vector>

#include "ia_ioctrl.h"

namespace iasim {

struct Call {
    int channel;
    int cmd;
    int opt;
    int value;                    // the int at the data pointer after the call (0 for records)
    std::vector<int32_t> record;  // the whole record for record commands and ranges, else empty
    int result;
};

// Back to the default sensor profile on every channel; clears log, failures, records.
void reset();

// Values.
void setValue(int channel, int cmd, int value);
int getValue(int channel, int cmd);
// Day/night state read by command 153 (0 day, 1 night).
void setDNState(int channel, int state);
// Last record stored by a set of a record command (day/night thresholds and times, sensor
// check); empty when none.
std::vector<int32_t> getRecord(int channel, int cmd);
// Text answered by the camera version command 2496 (copied into the caller's 50 bytes as
// given, without a terminator when it has 50 or more characters).
void setVersionText(int channel, const std::string& text);

// Dynamic command list and ranges.
void setDynamicCmds(int channel, const std::vector<int>& cmds);
// Raw list for bad-input tests: count as given (may be negative or above 16).
void setDynamicCmdsRaw(int channel, const ia_dynamic_cmds_st& list);
void setRange(int channel, int cmd, const ia_dynamic_params_attr_st& range);
// Discrete range helper: param_type 0, default, min/max from the first/last item.
void setDiscreteRange(int channel, int cmd, int def, const std::vector<int>& items);
// Execution status answered by option 4.
void setExecStatus(int channel, int cmd, int status);

// Failure injection: calls of (cmd, opt) return `result` (non-zero) and change nothing.
// opt -1 matches every option.
void injectFailure(int cmd, int opt, int result);
void clearFailure(int cmd, int opt);
void clearFailures();
// The `nth` call from now on (1 the next one), whatever its command, returns `result` and
// changes nothing; 0 disarms. For sweeps that fail every call of an operation in turn.
void failNthCall(int nth, int result);

// The call log.
std::vector<Call> callLog();
void clearLog();
// While one lives, the calls made by its own thread are not logged; other threads' calls are.
// The bench tool wraps its own queries in one so that the log shows only the library's calls.
class UnloggedScope {
public:
    UnloggedScope();
    ~UnloggedScope();
    UnloggedScope(const UnloggedScope&) = delete;
    UnloggedScope& operator=(const UnloggedScope&) = delete;
};
// One line for a call: "ch=0 cmd=34 opt=0 val=50 ret=0" (records as "rec=[a,b,c]").
std::string formatCall(const Call& call);

}  // namespace iasim

#endif
