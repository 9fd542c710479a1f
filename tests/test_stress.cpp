// Host threads set, read and switch while the sensor thread switches by day/night state and
// one thread resets the channel now and then: the run ends (no deadlock) and every scheme
// still holds the factory keys in their order.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ControllerSeam.h"
#include "IaSim.h"
#include "ISensorController.h"
#include "OrvaneTime.h"
#include "Sandbox.h"
#include "SimVideoModule.h"

namespace {

class StressTest : public SandboxTest {};

// One random host operation.
void hostOp(ISensorController& ctl, std::mt19937& rng) {
    const int keys[] = {34, 2337, 2353, 2321};
    const int key = keys[rng() % 4];
    int value = 0;
    std::string text;
    switch (rng() % 7) {
        case 0:
            ctl.setParameter(key, static_cast<int>(rng() % 100), true);
            break;
        case 1:
            ctl.getParameter(key, value);
            break;
        case 2:
            ctl.setParamScheme(static_cast<int>(rng() % 5));
            break;
        case 3:
            ctl.setParamMode(static_cast<int>(rng() % 2));
            break;
        case 4:
            ctl.setParameters("(34," + std::to_string(rng() % 100) + ")(2337,40)", true);
            break;
        case 5:
            ctl.getParameters("(34,2337)", text);
            break;
        default:
            ctl.flush();
            break;
    }
}

TEST_F(StressTest, HostCallsSwitchesAndResetsTogetherEndConsistent) {
    sandbox->installDeviceData();
    SimVideoModule video;
    ISensorController ctl;
    SensorControllerTestSeam seam(ctl);
    ctl.setVideoStreamModule(&video);
    ModuleConfigure module;
    module.setDetail("(isInfrared=1)(max_scheme=4)");
    ASSERT_TRUE(ctl.init(module));
    std::vector<u32> keys;
    for (u32 i = 0; i < seam.keyValSum(); ++i) {
        keys.push_back(seam.fctKeyVal()[i].key);
    }
    auto dayNightMode = [&] {
        ctl.setParamScheme(0);
        ctl.setParameter(8000, 2, true);
    };
    dayNightMode();

    StdoutCapture quiet;  // the engine's console lines are noise here
    std::atomic<bool> running{true};
    std::vector<std::future<void>> tasks;
    tasks.push_back(std::async(std::launch::async, [&] {
        for (int i = 0; i < 4; ++i) {
            OrvaneTime::wait(OrvaneTime(10, 0));
            ctl.resetParameters();
            dayNightMode();
        }
    }));
    for (unsigned t = 0; t < 3; ++t) {
        tasks.push_back(std::async(std::launch::async, [&ctl, t] {
            std::mt19937 rng(1000u + t);
            for (int i = 0; i < 80; ++i) {
                hostOp(ctl, rng);
            }
        }));
    }
    auto flipper = std::async(std::launch::async, [&] {
        for (int i = 0; running.load(); ++i) {
            iasim::setDNState(0, i % 2);
            OrvaneTime::wait(OrvaneTime(2, 0));
        }
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(3);
    bool finished = true;
    for (auto& task : tasks) {
        finished = finished && task.wait_until(deadline) == std::future_status::ready;
    }
    running = false;
    finished = finished && flipper.wait_until(deadline) == std::future_status::ready;
    quiet.stop();
    if (!finished) {
        ADD_FAILURE() << "the controller deadlocked";
        std::abort();
    }

    // Inspected under the controller's mutex: the sensor thread goes on switching.
    seam.mutex().Lock(__FILE__, __LINE__);
    const u32 flags = seam.flags();
    bool keysInOrder = seam.keyValSum() == keys.size();
    for (u32 s = 0; keysInOrder && s <= seam.sysConf().nSchemeSum; ++s) {
        for (u32 i = 0; i < keys.size(); ++i) {
            keysInOrder = keysInOrder && keys[i] == seam.userKeyVal()[s][i].key;
        }
    }
    seam.mutex().Unlock(__FILE__, __LINE__);
    EXPECT_TRUE(keysInOrder);
    EXPECT_EQ(0u, flags & (busy_flags_mask | initing_flag | uniniting_flag));
    int stateReads = 0;  // the sensor thread took part
    for (const iasim::Call& call : iasim::callLog()) {
        stateReads += call.cmd == 153 ? 1 : 0;
    }
    EXPECT_GT(stateReads, 0);
    ctl.uinit();
}

}  // namespace
