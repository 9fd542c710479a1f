// Schemes and the sensor thread on prepared scheme arrays: what a switch sends to the processor,
// single passes of the automatic modes on the faked clock, bad input, a stop during a pass.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "ControllerSeam.h"
#include "GThread.h"
#include "IaSim.h"
#include "ISensorController.h"
#include "OrvaneTime.h"
#include "Sandbox.h"

namespace {

using Sets = std::vector<std::pair<int, int>>;

Sets processorSets() {
    Sets out;
    for (const iasim::Call& call : iasim::callLog()) {
        if (call.opt == IA_CMD_OPT_SET) {
            out.emplace_back(call.cmd, call.value);
        }
    }
    iasim::clearLog();
    return out;
}

class SchemeTest : public SandboxTest {
protected:
    // Four schemes and the factory copy: scheme mode, an empty window 00:00-00:00, brightness
    // (10, 20, 30, 40 by scheme, 50 in the factory copy), saturation, day/night mode.
    void SetUp() override {
        SandboxTest::SetUp();
        ctl = std::make_unique<ISensorController>();  // reads the sandbox's machine information
        seam = std::make_unique<SensorControllerTestSeam>(*ctl);
        seam->prepare(
            {{8000, 0}, {8001, 0}, {8002, 0}, {8003, 0}, {8004, 0}, {34, 50}, {2337, 50}, {144, 2}},
            4);
        for (int s = 0; s < 4; ++s) {
            seam->userKeyVal()[s][5].value = 10 * s + 10;
        }
    }
    void TearDown() override {
        seam->thread()->stop();
        seam->release();
        ctl.reset();
        SandboxTest::TearDown();
    }
    void automatic(int mode) {  // 1 schedule, 2 day/night; scheme 0 current
        seam->userKeyVal()[0][0].value = mode;
        seam->switchTo(0, false);
        iasim::clearLog();
    }
    void setWindow(int scheme, int start, int end) {
        seam->userKeyVal()[scheme][1].value = start;
        seam->userKeyVal()[scheme][3].value = end;
    }
    int pass(const char* now = "12:00") {
        setenv("SENSOR_FAKE_TIME", now, 1);
        seam->sensorThreadPass();
        return seam->curScheme();
    }
    std::unique_ptr<ISensorController> ctl;
    std::unique_ptr<SensorControllerTestSeam> seam;
};

TEST_F(SchemeTest, ASwitchSendsEveryRecordFirstThenOnlyWhatDiffers) {
    seam->userKeyVal()[2][5].value = 10;
    seam->switchTo(0, false);
    EXPECT_EQ((Sets{{34, 10}, {2337, 50}, {144, 2}}), processorSets());
    seam->switchTo(2, false);
    EXPECT_TRUE(processorSets().empty());  // identical to scheme 0
    seam->switchTo(1, false);
    EXPECT_EQ((Sets{{34, 20}}), processorSets());
}

TEST_F(SchemeTest, SetParamSchemeAndModeWithBadInput) {
    seam->switchTo(0, false);
    processorSets();
    EXPECT_FALSE(ctl->setParamScheme(-1));
    EXPECT_FALSE(ctl->setParamScheme(5));
    EXPECT_TRUE(processorSets().empty());
    EXPECT_TRUE(ctl->setParamScheme(4));  // the factory copy
    EXPECT_EQ((Sets{{34, 50}}), processorSets());
    for (int mode : {0, 1, 2, -1}) {  // any mode is stored; one other than 0 and 1 is reported
        StdoutCapture out;
        EXPECT_TRUE(ctl->setParamMode(mode));
        const std::string text = out.stop();
        EXPECT_EQ(mode != 0 && mode != 1, text.find("0 == p_nMode || 1 == p_nMode") != text.npos);
        EXPECT_EQ(mode, seam->paramMode());
    }
}

TEST_F(SchemeTest, DayNightModeFollowsTheProcessorWithinAPassUnlessManualOrBusy) {
    automatic(2);
    iasim::setDNState(0, 1);
    ctl->setParamMode(0);  // manual: never switches
    EXPECT_EQ(0, pass());
    ctl->setParamMode(1);
    for (u32 busy : {resetting_flag, restoring_flag, switching_flag}) {
        seam->setFlag(busy);
        EXPECT_EQ(0, pass());
        seam->clearFlag(busy);
    }
    EXPECT_TRUE(processorSets().empty());
    EXPECT_EQ(1, pass());
    EXPECT_EQ((Sets{{34, 20}}), processorSets());
    iasim::setDNState(0, 0);
    EXPECT_EQ(0, pass());
    EXPECT_EQ((Sets{{34, 10}}), processorSets());
}

// Scheme 0 empty, 1 08:00-12:00, 2 10:00-18:00, 3 22:00-06:00 (never matches).
TEST_F(SchemeTest, ScheduleSelectsTheLowestMatchingWindow) {
    automatic(1);
    setWindow(1, 8, 12);
    setWindow(2, 10, 18);
    setWindow(3, 22, 6);
    const std::pair<const char*, int> steps[] = {{"11:00", 1}, {"12:00", 2}, {"17:59", 2},
                                                 {"18:00", 0}, {"23:30", 0}, {"03:00", 0}};
    for (const auto& step : steps) {
        EXPECT_EQ(step.second, pass(step.first)) << step.first;
    }
}

TEST_F(SchemeTest, LprFollowsDayNightOutsideWindowsAndResendsOnEnteringOne) {
    automatic(1);
    seam->lprMode() = true;
    setWindow(2, 10, 18);
    iasim::setDNState(0, 1);
    EXPECT_EQ(1, pass("20:00"));
    EXPECT_EQ((Sets{{34, 20}, {2337, 50}, {144, 0}}), processorSets());
    EXPECT_EQ(2, seam->userKeyVal()[1][7].value);
    EXPECT_EQ(1, pass("20:01"));
    EXPECT_TRUE(processorSets().empty());
    EXPECT_EQ(2, pass("10:00"));
    EXPECT_EQ((Sets{{34, 30}, {2337, 50}, {144, 2}}), processorSets());
}

TEST_F(SchemeTest, AHeldGateLetsAStopUnderTheMutexEndWithoutASwitch) {
    // What a reset does: hold and drain the gate, take the mutex, stop the thread.
    automatic(2);
    ASSERT_TRUE(seam->thread()->start());
    seam->holdPasses(true);
    iasim::setDNState(0, 1);  // a pass that ran now would switch to scheme 1
    seam->mutex().Lock(__FILE__, __LINE__);
    OrvaneTime::wait(OrvaneTime(20, 0));  // a few passes meet the hold
    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        seam->thread()->stop();
        stopped = true;
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!stopped && std::chrono::steady_clock::now() < deadline) {
        OrvaneTime::wait(OrvaneTime(1, 0));
    }
    const bool stoppedWhileHeld = stopped;
    seam->mutex().Unlock(__FILE__, __LINE__);
    stopper.join();
    seam->releasePasses();
    EXPECT_TRUE(stoppedWhileHeld);
    EXPECT_EQ(0, seam->curScheme());
}

}  // namespace
