// A stand-in for a camera SDK's image-adjust library, for the camera-build proof: every
// command keeps one int per channel (set stores it, get returns it, 0 until set), correction
// accepts every value, ranges are not offered and every command reports status 0. Writes and
// reads only the first int of any record.
#include <map>
#include <mutex>
#include <utility>

#include "ia_ioctrl.h"

namespace {

std::mutex g_mutex;
std::map<std::pair<int, int>, int> g_values;  // (channel, command) -> value

}  // namespace

extern "C" int ia_ioctrl_v2(int channel, ia_cmd_e cmd, ia_cmd_opt_e opt, void* data) {
    if (data == nullptr) {
        return -1;
    }
    int* value = static_cast<int*>(data);
    std::lock_guard<std::mutex> lock(g_mutex);
    switch (opt) {
        case IA_CMD_OPT_SET:
            g_values[{channel, cmd}] = *value;
            return 0;
        case IA_CMD_OPT_GET: {
            auto found = g_values.find({channel, cmd});
            *value = found == g_values.end() ? 0 : found->second;
            return 0;
        }
        case IA_CMD_OPT_CORRECT_PARAM:
            return 0;
        case IA_CMD_OPT_GET_EXEC_STATUS:
            *value = 0;
            return 0;
        default:
            return -1;
    }
}
