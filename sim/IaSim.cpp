// Simulated image processor: the ia_ioctrl_v2 entry point and its control surface.
//
// All state lives in one process-wide object guarded by one mutex; the library calls the
// entry point from host threads and the sensor thread at once, tests read the log meanwhile.
#include "IaSim.h"

#include <stdio.h>
#include <string.h>

#include <deque>
#include <map>
#include <mutex>
#include <utility>

namespace {

const int kChannels = 8;
const int kMaxCmds = 16;
const int kMaxItems = 64;
const int kVersionBufLen = 50;  // the caller's camera-version buffer
// Oldest calls are dropped beyond this, so a sensor thread polling on a scaled clock for a
// long test cannot grow the log without bound.
const size_t kMaxLogCalls = 100000;
const char kDefaultVersion[] = "SIM-ISP V1.0.0";

// ---- Default sensor profile ----------------------------------------------------------------

struct DefaultValue {
    int cmd;
    int value;
};

// What a get answers before any set; every other command reads 0.
const DefaultValue kDefaultValues[] = {
    {IA_CMD_BRIGHTNESS, 50},   {IA_CMD_SATURATION, 50},
    {IA_CMD_CONTRAST, 50},     {IA_CMD_SHARPNESS, 50},
    {IA_CMD_MAX_SHUTTER, 6},   {IA_CMD_FIX_SHUTTER, 6},
    {IA_CMD_IRIS_POSITION, 5}, {IA_CMD_AUTO_FOCUS_NEAR_LIMIT, 100},
    {IA_CMD_DN_STATE, 0},
};

struct DefaultRange {
    int cmd;
    int def;
    std::vector<int> items;
};

std::vector<int> itemsFromTo(int first, int last) {
    std::vector<int> items;
    for (int v = first; v <= last; ++v) {
        items.push_back(v);
    }
    return items;
}

// The commands whose ranges depend on the sensor, in the order the list reports them.
const std::vector<DefaultRange>& defaultRanges() {
    static const std::vector<DefaultRange> ranges = {
        {IA_CMD_MAX_SHUTTER, 6, itemsFromTo(1, 18)},
        {IA_CMD_FIX_SHUTTER, 6, itemsFromTo(1, 18)},
        {IA_CMD_IRIS_POSITION, 5, itemsFromTo(0, 10)},
        {IA_CMD_AUTO_FOCUS_NEAR_LIMIT, 100, {10, 30, 50, 100, 150, 300, 600}},
    };
    return ranges;
}

// ---- Record commands -----------------------------------------------------------------------

// Commands whose set carries a whole record; `field` is the record position that belongs to
// the command itself (what a plain get of that command answers).
struct RecordCmd {
    int cmd;
    int fields;
    int field;
};

const RecordCmd kRecordCmds[] = {
    // day/night thresholds: d2n_thr, n2d_thr, dn_sensitivity
    {IA_CMD_DTN_THR, 3, 0},
    {IA_CMD_NTD_THR, 3, 1},
    {IA_CMD_DN_SENSITIVITY, 3, 2},
    // day/night times: d2n_hour, d2n_min, n2d_hour, n2d_min
    {IA_CMD_DTN_H, 4, 0},
    {IA_CMD_DTN_M, 4, 1},
    {IA_CMD_NTD_H, 4, 2},
    {IA_CMD_NTD_M, 4, 3},
    // sensor check: three request numbers, then the result
    {IA_CMD_SENSOR_CHECK, 4, 3},
};

const RecordCmd* findRecordCmd(int cmd) {
    for (const RecordCmd& rc : kRecordCmds) {
        if (rc.cmd == cmd) {
            return &rc;
        }
    }
    return nullptr;
}

// What the data pointer of a call points to.
enum class Shape { Int, Record, CmdList, Range, Text };

// The layout is decided by command and option. A get of a day/night command goes through an
// int: the library reads single keys that way, so only the command's own field is written.
Shape shapeOf(int cmd, int opt, int* fields) {
    if (opt == IA_CMD_OPT_GET_PARAM_RNAGE) {
        return Shape::Range;
    }
    if (opt == IA_CMD_OPT_GET && cmd == IA_CMD_DYNAMIC_PARAMS_CMDS_GET) {
        return Shape::CmdList;
    }
    if (opt == IA_CMD_OPT_GET && cmd == IA_CMD_CAMERA_VERSION) {
        return Shape::Text;
    }
    const RecordCmd* rc = findRecordCmd(cmd);
    bool recordOpt = opt == IA_CMD_OPT_SET || (opt == IA_CMD_OPT_GET && cmd == IA_CMD_SENSOR_CHECK);
    if (rc != nullptr && recordOpt) {
        *fields = rc->fields;
        return Shape::Record;
    }
    return Shape::Int;
}

int boundedCount(int count, int capacity) {
    if (count < 0) {
        return 0;
    }
    return count > capacity ? capacity : count;
}

// ---- State ---------------------------------------------------------------------------------

struct Channel {
    std::map<int, int> values;
    std::map<int, std::vector<int32_t>> records;
    std::map<int, ia_dynamic_params_attr_st> ranges;
    std::map<int, int> execStatus;
    ia_dynamic_cmds_st dynamicCmds;
    std::string version;
};

ia_dynamic_params_attr_st makeDiscreteRange(int def, const std::vector<int>& items) {
    ia_dynamic_params_attr_st range;
    memset(&range, 0, sizeof(range));
    range.param_type = 0;
    range.def_val = def;
    range.items_cnt = boundedCount(static_cast<int>(items.size()), kMaxItems);
    for (int i = 0; i < range.items_cnt; ++i) {
        range.item[i] = items[i];
    }
    if (range.items_cnt > 0) {
        range.min_val = range.item[0];
        range.max_val = range.item[range.items_cnt - 1];
    }
    return range;
}

ia_dynamic_cmds_st makeCmdList(const std::vector<int>& cmds) {
    ia_dynamic_cmds_st list;
    memset(&list, 0, sizeof(list));
    list.cmd_cnt = boundedCount(static_cast<int>(cmds.size()), kMaxCmds);
    for (int i = 0; i < list.cmd_cnt; ++i) {
        list.cmd_list[i] = cmds[i];
    }
    return list;
}

void loadDefaultProfile(Channel& ch) {
    ch = Channel();
    for (const DefaultValue& dv : kDefaultValues) {
        ch.values[dv.cmd] = dv.value;
    }
    std::vector<int> cmds;
    for (const DefaultRange& dr : defaultRanges()) {
        cmds.push_back(dr.cmd);
        ch.ranges[dr.cmd] = makeDiscreteRange(dr.def, dr.items);
    }
    ch.dynamicCmds = makeCmdList(cmds);
    ch.version = kDefaultVersion;
}

struct State {
    std::mutex mutex;
    Channel channels[kChannels];
    std::map<std::pair<int, int>, int> failures;  // (cmd, opt or -1) -> result
    int nthCountdown = 0;                         // calls until the armed one; 0 none
    int nthResult = 0;
    std::deque<iasim::Call> log;

    State() {
        for (Channel& ch : channels) {
            loadDefaultProfile(ch);
        }
    }
};

// Never destroyed: a thread still calling the entry point during process exit must not find
// the state gone.
State& state() {
    static State* s = new State();
    return *s;
}

bool validChannel(int channel) {
    return channel >= 0 && channel < kChannels;
}

int readValue(const Channel& ch, int cmd) {
    auto it = ch.values.find(cmd);
    return it == ch.values.end() ? 0 : it->second;
}

const int* injectedFailure(const State& s, int cmd, int opt) {
    auto it = s.failures.find(std::make_pair(cmd, opt));
    if (it == s.failures.end()) {
        it = s.failures.find(std::make_pair(cmd, -1));
    }
    return it == s.failures.end() ? nullptr : &it->second;
}

// Calls of a thread inside an UnloggedScope are not logged (the bench tool's own queries).
thread_local int t_nUnlogged = 0;

void appendLog(State& s, iasim::Call call) {
    if (t_nUnlogged > 0) {
        return;
    }
    if (s.log.size() >= kMaxLogCalls) {
        s.log.pop_front();
    }
    s.log.push_back(std::move(call));
}

// ---- Option handlers -----------------------------------------------------------------------

// Nearest item of a discrete list; on equal distance the lower item wins.
int nearestItem(const ia_dynamic_params_attr_st& range, int value) {
    int count = boundedCount(range.items_cnt, kMaxItems);
    int best = range.item[0];
    long long bestDist = -1;
    for (int i = 0; i < count; ++i) {
        long long dist = static_cast<long long>(range.item[i]) - value;
        if (dist < 0) {
            dist = -dist;
        }
        if (bestDist < 0 || dist < bestDist || (dist == bestDist && range.item[i] < best)) {
            best = range.item[i];
            bestDist = dist;
        }
    }
    return best;
}

int correctValue(const Channel& ch, int cmd, int* value) {
    auto it = ch.ranges.find(cmd);
    if (it == ch.ranges.end()) {
        return 0;
    }
    const ia_dynamic_params_attr_st& range = it->second;
    if (range.param_type == 0) {
        if (boundedCount(range.items_cnt, kMaxItems) > 0) {
            *value = nearestItem(range, *value);
        }
        return 0;
    }
    if (*value < range.min_val) {
        *value = range.min_val;
    } else if (*value > range.max_val) {
        *value = range.max_val;
    }
    return 0;
}

int handleInt(Channel& ch, int cmd, int opt, int* value) {
    switch (opt) {
        case IA_CMD_OPT_SET:
            ch.values[cmd] = *value;
            return 0;
        case IA_CMD_OPT_GET:
            *value = readValue(ch, cmd);
            return 0;
        case IA_CMD_OPT_CORRECT_PARAM:
            return correctValue(ch, cmd, value);
        case IA_CMD_OPT_GET_EXEC_STATUS: {
            auto it = ch.execStatus.find(cmd);
            *value = it == ch.execStatus.end() ? 0 : it->second;
            return 0;
        }
        default:
            return -1;
    }
}

// Stores the record whole; the sensor check with option 1 also answers its result.
int handleRecord(Channel& ch, int cmd, int opt, int fields, int32_t* data) {
    if (cmd == IA_CMD_SENSOR_CHECK && opt == IA_CMD_OPT_GET) {
        uint32_t sum = static_cast<uint32_t>(data[0]) + static_cast<uint32_t>(data[1]) +
                       static_cast<uint32_t>(data[2]);
        data[3] = static_cast<int32_t>(sum);
    }
    ch.records[cmd] = std::vector<int32_t>(data, data + fields);
    if (cmd != IA_CMD_SENSOR_CHECK) {
        ch.values[cmd] = data[findRecordCmd(cmd)->field];
    }
    return 0;
}

int handleRange(const Channel& ch, int cmd, ia_dynamic_params_attr_st* out) {
    auto it = ch.ranges.find(cmd);
    if (it == ch.ranges.end()) {
        return -1;
    }
    memcpy(out, &it->second, sizeof(*out));
    return 0;
}

int handleText(const Channel& ch, char* out) {
    size_t len = ch.version.size() + 1;
    memcpy(out, ch.version.c_str(), len < kVersionBufLen ? len : kVersionBufLen);
    return 0;
}

int dispatch(Channel& ch, int cmd, int opt, Shape shape, int fields, void* data) {
    switch (shape) {
        case Shape::Record:
            return handleRecord(ch, cmd, opt, fields, static_cast<int32_t*>(data));
        case Shape::CmdList:
            memcpy(data, &ch.dynamicCmds, sizeof(ch.dynamicCmds));
            return 0;
        case Shape::Range:
            return handleRange(ch, cmd, static_cast<ia_dynamic_params_attr_st*>(data));
        case Shape::Text:
            return handleText(ch, static_cast<char*>(data));
        case Shape::Int:
        default:
            return handleInt(ch, cmd, opt, static_cast<int*>(data));
    }
}

// ---- Logging what the call left at the data pointer ----------------------------------------

std::vector<int32_t> cmdListRecord(const ia_dynamic_cmds_st& list) {
    std::vector<int32_t> rec(1, list.cmd_cnt);
    int count = boundedCount(list.cmd_cnt, kMaxCmds);
    rec.insert(rec.end(), list.cmd_list, list.cmd_list + count);
    return rec;
}

std::vector<int32_t> rangeRecord(const ia_dynamic_params_attr_st& range) {
    std::vector<int32_t> rec = {range.param_type, range.def_val, range.min_val, range.max_val,
                                range.items_cnt};
    int count = boundedCount(range.items_cnt, kMaxItems);
    rec.insert(rec.end(), range.item, range.item + count);
    return rec;
}

// Inputs (set records, set and correct values) are always logged; what a read would have
// filled is logged only when the read succeeded, since the caller's buffer may hold nothing.
void describeData(iasim::Call& call, Shape shape, int fields, const void* data) {
    bool filled = call.result == 0;
    switch (shape) {
        case Shape::Record: {
            const int32_t* rec = static_cast<const int32_t*>(data);
            call.record.assign(rec, rec + fields);
            break;
        }
        case Shape::CmdList:
            if (filled) {
                call.record = cmdListRecord(*static_cast<const ia_dynamic_cmds_st*>(data));
            }
            break;
        case Shape::Range:
            if (filled) {
                call.record = rangeRecord(*static_cast<const ia_dynamic_params_attr_st*>(data));
            }
            break;
        case Shape::Text:
            break;
        case Shape::Int:
        default: {
            bool input = call.opt == IA_CMD_OPT_SET || call.opt == IA_CMD_OPT_CORRECT_PARAM;
            if (input || filled) {
                call.value = *static_cast<const int*>(data);
            }
            break;
        }
    }
}

bool validOption(int opt) {
    return opt >= IA_CMD_OPT_SET && opt <= IA_CMD_OPT_GET_EXEC_STATUS;
}

}  // namespace

extern "C" int ia_ioctrl_v2(int channel, ia_cmd_e cmd, ia_cmd_opt_e opt, void* data) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    iasim::Call call{channel, static_cast<int>(cmd), static_cast<int>(opt), 0, {}, -1};
    if (!validChannel(channel) || data == nullptr || !validOption(call.opt)) {
        appendLog(s, std::move(call));
        return -1;
    }
    int fields = 0;
    Shape shape = shapeOf(call.cmd, call.opt, &fields);
    const int* failure = injectedFailure(s, call.cmd, call.opt);
    if (s.nthCountdown > 0 && --s.nthCountdown == 0) {
        failure = &s.nthResult;
    }
    if (failure != nullptr) {
        call.result = *failure;
    } else {
        call.result = dispatch(s.channels[channel], call.cmd, call.opt, shape, fields, data);
    }
    describeData(call, shape, fields, data);
    int result = call.result;
    appendLog(s, std::move(call));
    return result;
}

namespace iasim {

void reset() {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    for (Channel& ch : s.channels) {
        loadDefaultProfile(ch);
    }
    s.failures.clear();
    s.nthCountdown = 0;
    s.log.clear();
}

void setValue(int channel, int cmd, int value) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (validChannel(channel)) {
        s.channels[channel].values[cmd] = value;
    }
}

int getValue(int channel, int cmd) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return validChannel(channel) ? readValue(s.channels[channel], cmd) : 0;
}

void setDNState(int channel, int state) {
    setValue(channel, IA_CMD_DN_STATE, state);
}

std::vector<int32_t> getRecord(int channel, int cmd) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!validChannel(channel)) {
        return {};
    }
    const Channel& ch = s.channels[channel];
    auto it = ch.records.find(cmd);
    return it == ch.records.end() ? std::vector<int32_t>() : it->second;
}

void setVersionText(int channel, const std::string& text) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (validChannel(channel)) {
        s.channels[channel].version = text;
    }
}

void setDynamicCmds(int channel, const std::vector<int>& cmds) {
    setDynamicCmdsRaw(channel, makeCmdList(cmds));
}

void setDynamicCmdsRaw(int channel, const ia_dynamic_cmds_st& list) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (validChannel(channel)) {
        s.channels[channel].dynamicCmds = list;
    }
}

void setRange(int channel, int cmd, const ia_dynamic_params_attr_st& range) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (validChannel(channel)) {
        s.channels[channel].ranges[cmd] = range;
    }
}

void setDiscreteRange(int channel, int cmd, int def, const std::vector<int>& items) {
    setRange(channel, cmd, makeDiscreteRange(def, items));
}

void setExecStatus(int channel, int cmd, int status) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (validChannel(channel)) {
        s.channels[channel].execStatus[cmd] = status;
    }
}

void injectFailure(int cmd, int opt, int result) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.failures[std::make_pair(cmd, opt)] = result;
}

void clearFailure(int cmd, int opt) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.failures.erase(std::make_pair(cmd, opt));
}

void clearFailures() {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.failures.clear();
}

void failNthCall(int nth, int result) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.nthCountdown = nth > 0 ? nth : 0;
    s.nthResult = result;
}

std::vector<Call> callLog() {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return std::vector<Call>(s.log.begin(), s.log.end());
}

UnloggedScope::UnloggedScope() {
    ++t_nUnlogged;
}

UnloggedScope::~UnloggedScope() {
    --t_nUnlogged;
}

void clearLog() {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.log.clear();
}

std::string formatCall(const Call& call) {
    char head[64];
    snprintf(head, sizeof(head), "ch=%d cmd=%d opt=%d ", call.channel, call.cmd, call.opt);
    std::string line = head;
    if (call.record.empty()) {
        line += "val=" + std::to_string(call.value);
    } else {
        line += "rec=[";
        for (size_t i = 0; i < call.record.size(); ++i) {
            if (i > 0) {
                line += ",";
            }
            line += std::to_string(call.record[i]);
        }
        line += "]";
    }
    line += " ret=" + std::to_string(call.result);
    return line;
}

}  // namespace iasim
