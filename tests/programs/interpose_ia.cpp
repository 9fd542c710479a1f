// Proves that libtarnis reaches the image processor through the dynamic linker: this
// program defines its own ia_ioctrl_v2, and the library must call it rather than the
// simulator's. Exits 0 only when every call of keyval_correct arrived here.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "SensorKeyVal.h"
#include "ia_ioctrl.h"

namespace {

const int kListedCmd = 34;
const int kCorrectedValue = 7;

int g_listRequests = 0;
int g_corrections = 0;
int g_otherCalls = 0;

}  // namespace

// Answers the dynamic command list with the single command kListedCmd and corrects any
// value to kCorrectedValue.
extern "C" int ia_ioctrl_v2(int channel, ia_cmd_e cmd, ia_cmd_opt_e opt, void* data) {
    (void)channel;
    if (cmd == IA_CMD_DYNAMIC_PARAMS_CMDS_GET && opt == IA_CMD_OPT_GET) {
        ++g_listRequests;
        ia_dynamic_cmds_st* list = static_cast<ia_dynamic_cmds_st*>(data);
        list->cmd_cnt = 1;
        list->cmd_list[0] = kListedCmd;
        return 0;
    }
    if (opt == IA_CMD_OPT_CORRECT_PARAM) {
        ++g_corrections;
        *static_cast<int*>(data) = kCorrectedValue;
        return 0;
    }
    ++g_otherCalls;
    return 0;
}

int main() {
    // Keep the library's switch-file test inside a private root.
    char root[] = "/tmp/tarnis-interpose-XXXXXX";
    if (mkdtemp(root) == nullptr) {
        std::perror("mkdtemp");
        return 2;
    }
    setenv("SENSOR_ROOT", root, 1);

    KeyVal records[] = {{33, 1}, {kListedCmd, 50}, {35, 2}};
    int ret = keyval_correct(0, records, 3);
    rmdir(root);

    bool ok = ret == 0 && g_listRequests == 1 && g_corrections == 1 && g_otherCalls == 0 &&
              records[0].value == 1 && records[1].value == kCorrectedValue && records[2].value == 2;
    std::printf("interpose_ia: list requests %d, corrections %d, other calls %d, value %d: %s\n",
                g_listRequests, g_corrections, g_otherCalls, records[1].value,
                ok ? "own definition used" : "FAILED");
    return ok ? 0 : 1;
}
