// Host threads setting, reading and switching while the sensor thread switches by day/night
// state and one thread resets the channel now and then. The run must end (no deadlock), and
// every scheme must still hold the factory keys in their order.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ControllerSeam.h"
#include "GThread.h"
#include "IaSim.h"
#include "ISensorController.h"
#include "OrvaneTime.h"
#include "Sandbox.h"
#include "SimVideoModule.h"

namespace {

const int kHostThreads = 3;
const int kOpsPerThread = 80;
const int kResets = 4;

class StressTest : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        sandbox->installDeviceData();
        sandbox->writeMachineInfo(1);
        ctl = std::make_unique<ISensorController>();
        seam = std::make_unique<SensorControllerTestSeam>(*ctl);
        ctl->setChannelID(1);
        ctl->setVideoStreamModule(&video);
    }
    void TearDown() override {
        ctl->uinit();
        seam.reset();
        ctl.reset();
        SandboxTest::TearDown();
    }
    // Day/night switching on, from scheme 0.
    void enableDayNight() {
        ctl->setParamScheme(0);
        ctl->setParameter(8000, 2, true);
    }
    void hostOps(unsigned seed) {
        std::mt19937 rng(seed);
        const int keys[] = {34, 2337, 2353, 2321};
        for (int i = 0; i < kOpsPerThread; ++i) {
            int key = keys[rng() % 4];
            int value = 0;
            int scheme = 0;
            std::string text;
            switch (rng() % 8) {
                case 0:
                    ctl->setParameter(key, static_cast<int>(rng() % 100), true);
                    break;
                case 1:
                    ctl->getParameter(key, value);
                    break;
                case 2:
                    ctl->setParamScheme(static_cast<int>(rng() % 5));
                    break;
                case 3:
                    ctl->setParamMode(static_cast<int>(rng() % 2));
                    break;
                case 4:
                    ctl->getParamScheme(scheme);
                    ctl->getParamMode(value);
                    break;
                case 5:
                    ctl->setParameters("(34," + std::to_string(rng() % 100) + ")(2337,40)", true);
                    break;
                case 6:
                    ctl->getParameters("(34,2337)", text);
                    break;
                default:
                    ctl->flush();
                    break;
            }
        }
    }
    SimVideoModule video;
    std::unique_ptr<ISensorController> ctl;
    std::unique_ptr<SensorControllerTestSeam> seam;
};

TEST_F(StressTest, ConcurrentHostCallsSwitchesAndResetsEndConsistent) {
    ModuleConfigure module;
    module.setModuleId(3);
    module.setDetail("(isInfrared=1)(max_scheme=4)");
    ASSERT_TRUE(ctl->init(module));
    const u32 sum = seam->keyValSum();
    std::vector<u32> factoryKeys;
    for (u32 i = 0; i < sum; ++i) {
        factoryKeys.push_back(seam->fctKeyVal()[i].key);
    }
    enableDayNight();

    // The host's console output is noise here.
    StdoutCapture quiet;
    std::atomic<bool> running{true};
    std::vector<std::future<void>> workers;
    workers.push_back(std::async(std::launch::async, [&] {
        for (int i = 0; running.load(); ++i) {
            iasim::setDNState(0, i % 2);
            OrvaneTime::wait(OrvaneTime(2, 0));
        }
    }));
    workers.push_back(std::async(std::launch::async, [&] {
        for (int i = 0; i < kResets; ++i) {
            OrvaneTime::wait(OrvaneTime(10, 0));
            ctl->resetParameters();
            enableDayNight();
        }
    }));
    std::vector<std::future<void>> hosts;
    for (int t = 0; t < kHostThreads; ++t) {
        hosts.push_back(std::async(std::launch::async, [this, t] { hostOps(1000u + t); }));
    }

    bool finished = true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(3);
    for (auto& host : hosts) {
        finished = finished && host.wait_until(deadline) == std::future_status::ready;
    }
    finished = finished && workers[1].wait_until(deadline) == std::future_status::ready;
    running = false;
    finished = finished && workers[0].wait_until(deadline) == std::future_status::ready;
    quiet.stop();
    if (!finished) {
        ADD_FAILURE() << "the controller deadlocked";
        std::abort();
    }

    // Checked under the controller's mutex: the sensor thread goes on switching.
    seam->mutex().Lock(__FILE__, __LINE__);
    const u32 flags = seam->flags();
    bool keysInOrder = seam->keyValSum() == sum;
    for (u32 s = 0; keysInOrder && s <= seam->sysConf().nSchemeSum; ++s) {
        for (u32 i = 0; i < sum; ++i) {
            keysInOrder = keysInOrder && factoryKeys[i] == seam->userKeyVal()[s][i].key;
        }
    }
    seam->mutex().Unlock(__FILE__, __LINE__);
    EXPECT_TRUE(keysInOrder);
    EXPECT_EQ(0u, flags & (busy_flags_mask | initing_flag | uniniting_flag));
    EXPECT_EQ(1, ctl->getSensorStatus());
    // The sensor thread took part: it read the day/night state.
    int stateReads = 0;
    for (const iasim::Call& call : iasim::callLog()) {
        stateReads += (call.cmd == 153) ? 1 : 0;
    }
    EXPECT_GT(stateReads, 0);
}

}  // namespace
