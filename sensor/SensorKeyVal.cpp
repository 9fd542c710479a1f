// The parameter text "(key,value)(key,value)..." both ways, and the correction of stored
// values against the limits the image processor reports at run time.
#define SENSOR_SOURCE_NAME "SensorKeyVal.cpp"
#include "SensorTrace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "SensorKeyVal.h"
#include "ia_ioctrl.h"

namespace {

// Longest pair text, "(-2147483648,-2147483648)", and its terminator.
const size_t kPairTextSize = 26;
// Entries of the processor's dynamic command list.
const int kDynamicCmdMax = static_cast<int>(sizeof(ia_dynamic_cmds_st::cmd_list) / sizeof(int));

// Reads one decimal field at `p` the way a "%d" conversion does (leading white space,
// optional sign, digits) and advances past it. Out-of-range numbers keep their low 32 bits.
// Returns false, leaving `out` alone, when no digit is there.
bool scanDecimal(const char*& p, int32_t& out) {
    char* end = nullptr;
    long long number = std::strtoll(p, &end, 10);
    if (end == p) {
        return false;
    }
    out = static_cast<int32_t>(static_cast<uint32_t>(static_cast<unsigned long long>(number)));
    p = end;
    return true;
}

// Reads a group "(%d,%d)" into key and value; reading stops at the first field or literal
// that does not match, and the fields not read keep what they held.
void scanPair(const std::string& group, int32_t& key, int32_t& value) {
    const char* p = group.c_str();
    if (*p++ != '(') {
        return;
    }
    if (!scanDecimal(p, key) || *p++ != ',') {
        return;
    }
    scanDecimal(p, value);
}

// Position of the first record of `key` among the first `count`, or -1.
int findRecord(const KeyVal* records, u32 count, u32 key) {
    for (u32 i = 0; i < count; ++i) {
        if (records[i].key == key) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// Number of list entries to handle: none for a negative count, at most the list's size.
int listedCount(const ia_dynamic_cmds_st& list) {
    if (list.cmd_cnt < 0) {
        return 0;
    }
    return list.cmd_cnt > kDynamicCmdMax ? kDynamicCmdMax : list.cmd_cnt;
}

}  // namespace

void keyval_str2st(const std::string& text, KeyVal* out, u32* count) {
    SENSOR_ASSERT(NULL != out && NULL != count, "NULL != out && NULL != count", "%s", "");
    if (out == nullptr || count == nullptr) {
        if (count != nullptr) {
            *count = 0;
        }
        return;
    }
    *count = 0;
    int32_t key = 0;
    int32_t value = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t open = text.find('(', pos);
        if (open == std::string::npos || open == text.size() - 1) {
            break;
        }
        size_t close = text.find(')', pos);
        if (close == std::string::npos) {
            break;
        }
        pos = close + 1;
        // A ")" ahead of the "(" leaves the group open to the end of the text.
        size_t length = close > open ? close - open + 1 : std::string::npos;
        scanPair(text.substr(open, length), key, value);
        out[*count].key = static_cast<u32>(key);
        out[*count].value = value;
        ++*count;
    }
}

void keyval_st2str(std::string& text, KeyVal* in, u32 count) {
    SENSOR_ASSERT(NULL != in || 0 == count, "NULL != in || 0 == count", "%s", "");
    if (in == nullptr) {
        return;
    }
    for (u32 i = 0; i < count; ++i) {
        char pair[kPairTextSize];
        std::snprintf(pair, sizeof(pair), "(%d,%d)", static_cast<int>(in[i].key), in[i].value);
        text += pair;
    }
}

// The statements stay in this function so that their reports name it.
int keyval_correct(int p_nChannel_id, KeyVal* p_pKeyval, u32 count) {
    SENSOR_ASSERT(NULL != p_pKeyval, "NULL != p_pKeyval", "%s", "");
    if (p_pKeyval == nullptr) {
        return OVS_SUCCESS;
    }
    // The channel here is the processor's own, 0-based.
    SENSOR_ASSERT(p_nChannel_id >= 0, "p_nChannel_id >= 0", "p_nChannel_id(%d) refused\n",
                  p_nChannel_id);
    if (p_nChannel_id < 0) {
        return -1;
    }
    ia_dynamic_cmds_st dnaCmdList;
    std::memset(&dnaCmdList, 0, sizeof(dnaCmdList));
    int ret =
        ia_ioctrl_v2(p_nChannel_id, IA_CMD_DYNAMIC_PARAMS_CMDS_GET, IA_CMD_OPT_GET, &dnaCmdList);
    SENSOR_ASSERT(OVS_SUCCESS == ret,
                  "OVS_SUCCESS == ia_ioctrl_v2(p_nChannel_id, IA_CMD_DYNAMIC_PARAMS_CMDS_GET, "
                  "IA_CMD_OPT_GET, (void*)(&dnaCmdList))",
                  "%s", "");

    const int listed = listedCount(dnaCmdList);
    for (int i = 0; i < listed; ++i) {
        int index = findRecord(p_pKeyval, count, static_cast<u32>(dnaCmdList.cmd_list[i]));
        SENSOR_ASSERT(-1 != index, "-1 != index", "%s", "");
        if (index == -1) {
            continue;
        }
        KeyVal& record = p_pKeyval[index];
        SENSOR_DBG("before correct: (%d,%d)\n", static_cast<int>(record.key), record.value);
        ret = ia_ioctrl_v2(p_nChannel_id, static_cast<ia_cmd_e>(record.key),
                           IA_CMD_OPT_CORRECT_PARAM, &record.value);
        SENSOR_ASSERT(OVS_SUCCESS == ret,
                      "OVS_SUCCESS == ia_ioctrl_v2(p_nChannel_id, (ia_cmd_e)p_pKeyval[index].key, "
                      "IA_CMD_OPT_CORRECT_PARAM, &p_pKeyval[index].value)",
                      "%s", "");
        SENSOR_DBG("after correct: (%d,%d)\n", static_cast<int>(record.key), record.value);
    }
    return OVS_SUCCESS;
}
