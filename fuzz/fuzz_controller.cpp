// A channel driven by a small command language, one command per line:
//   set K V | text (K,V)... | get K | gets (K,...) | scheme N | mode N | flush | restore K |
//   reload | reset | style | common N | language N | all | range C | status C | check (a,b,c) |
//   answer C V | list C... | items C DEF I... | fail C OPT RESULT | heal | dn S | pass |
//   version TEXT | wdr 0/1 | zoomlock 0/1
// "answer", "list", "items", "fail", "heal", "dn" and "version" shape what the simulated
// processor answers (values, command list, ranges, failures, day/night state, version
// text); "pass" runs one pass of the sensor thread's body.
#include <stdlib.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "ControllerSeam.h"
#include "FuzzSandbox.h"
#include "GThread.h"
#include "IaSim.h"
#include "ISensorController.h"
#include "SensorPaths.h"
#include "SimVideoModule.h"

namespace {

const int kMaxCommands = 64;
const int kMaxResets = 2;

int number(const std::vector<std::string>& words, size_t i) {
    return i < words.size() ? static_cast<int>(strtol(words[i].c_str(), nullptr, 0)) : 0;
}

std::vector<int> numbers(const std::vector<std::string>& words, size_t from) {
    std::vector<int> out;
    for (size_t i = from; i < words.size() && out.size() < 80; ++i) {
        out.push_back(number(words, i));
    }
    return out;
}

// Shapes what the processor answers; false for a command that is not of this kind.
bool processorCommand(const std::string& op, const std::vector<std::string>& w) {
    if (op == "answer") {
        iasim::setValue(0, number(w, 1), number(w, 2));
    } else if (op == "list") {
        iasim::setDynamicCmds(0, numbers(w, 1));
    } else if (op == "items") {
        iasim::setDiscreteRange(0, number(w, 1), number(w, 2), numbers(w, 3));
    } else if (op == "fail") {
        iasim::injectFailure(number(w, 1), number(w, 2), number(w, 3) == 0 ? -1 : number(w, 3));
    } else if (op == "heal") {
        iasim::clearFailures();
    } else if (op == "dn") {
        iasim::setDNState(0, number(w, 1));
    } else if (op == "version") {
        iasim::setVersionText(0, w.size() > 1 ? w[1] : "");
    } else {
        return false;
    }
    return true;
}

void run(ISensorController& ctl, SensorControllerTestSeam& seam, const std::string& line,
         int& resets) {
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string word; in >> word;) {
        w.push_back(word);
    }
    if (w.empty() || processorCommand(w[0], w)) {
        return;
    }
    const std::string& op = w[0];
    const std::string arg = w.size() > 1 ? w[1] : "";
    int value = 0;
    std::string text;
    if (op == "set") {
        ctl.setParameter(number(w, 1), number(w, 2), true);
    } else if (op == "text") {
        ctl.setParameters(arg, true);
    } else if (op == "get") {
        ctl.getParameter(number(w, 1), value);
    } else if (op == "gets") {
        ctl.getParameters(arg, text);
    } else if (op == "scheme") {
        ctl.setParamScheme(number(w, 1));
    } else if (op == "mode") {
        ctl.setParamMode(number(w, 1) & 1);
    } else if (op == "flush") {
        ctl.flush();
    } else if (op == "restore") {
        ctl.restore(number(w, 1));
    } else if (op == "reload") {
        ctl.resetToLastParameters();
    } else if (op == "reset" && resets++ < kMaxResets) {
        ctl.resetParameters();
        seam.thread()->stop();
    } else if (op == "style") {
        ctl.getUIStyleFile();
    } else if (op == "common") {
        ctl.getUICommonFile(number(w, 1));
    } else if (op == "language") {
        ctl.getUILanguageFile(number(w, 1));
    } else if (op == "all") {
        ctl.getAllParameters(text);
    } else if (op == "range") {
        ctl.getSensorParamRange(number(w, 1), value, text);
    } else if (op == "status") {
        ctl.getCmdExecStatus(number(w, 1), value);
    } else if (op == "check") {
        text = arg;
        ctl.SensorCheck(text);
    } else if (op == "pass") {
        seam.sensorThreadPass();
    } else if (op == "wdr") {
        ctl.setShowWDRFalg(number(w, 1) != 0);
    } else if (op == "zoomlock") {
        SensorZoomFocusParam param;
        param.setLockZoomFocusEnable(number(w, 1) != 0);
        ctl.setSensorZoomFocusParam(param);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::setUpSandbox();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Every input starts from the factory files and a fresh processor.
    std::error_code ignored;
    std::filesystem::remove_all(fuzz::hostPath(SensorPaths::kParamFileDir), ignored);
    std::filesystem::create_directories(fuzz::hostPath(SensorPaths::kParamFileDir), ignored);
    iasim::reset();
    SimVideoModule video;
    ISensorController ctl;
    SensorControllerTestSeam seam(ctl);
    ctl.setVideoStreamModule(&video);
    ModuleConfigure module;
    module.setDetail("(isInfrared=1)(lens=motor)(max_scheme=4)");
    ctl.init(module);
    seam.thread()->stop();  // the input drives the passes

    fuzz::Input input(data, size);
    int resets = 0;
    for (int i = 0; i < kMaxCommands && !input.empty(); ++i) {
        run(ctl, seam, input.text('\n'), resets);
    }
    ctl.uinit();
    return 0;
}
