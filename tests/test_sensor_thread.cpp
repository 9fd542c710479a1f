// The sensor thread: single passes driven through the seam on the scaled, faked clock, and
// the running thread polled with a deadline, including a stop while a pass waits for the lock.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
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

// Scheme mode, an empty window 00:00-00:00, brightness, saturation, day/night mode.
const std::vector<KeyVal> kRecords = {{8000, 0}, {8001, 0}, {8002, 0},  {8003, 0},
                                      {8004, 0}, {34, 50},  {2337, 50}, {144, 2}};

Sets processorSets() {
    Sets out;
    for (const iasim::Call& call : iasim::callLog()) {
        if (call.opt == IA_CMD_OPT_SET) {
            out.emplace_back(call.cmd, call.value);
        }
    }
    return out;
}

template <typename Cond>
bool eventually(Cond cond) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!cond() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return cond();
}

class SensorThreadTest : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        ctl = std::make_unique<ISensorController>();
        seam = std::make_unique<SensorControllerTestSeam>(*ctl);
    }
    void TearDown() override {
        seam->thread()->stop();
        seam->release();
        seam.reset();
        ctl.reset();
        SandboxTest::TearDown();
    }
    // Four schemes in scheme mode `mode` (1 schedule, 2 day/night) with empty windows;
    // brightness is 10, 20, 30, 40 by scheme. Scheme 0 current.
    void prepare(int mode) {
        std::vector<KeyVal> records = kRecords;
        records[0].value = mode;
        seam->prepare(records, 4);
        for (int s = 0; s < 4; ++s) {
            seam->userKeyVal()[s][5].value = 10 * s + 10;
        }
        seam->switchTo(0, false);
    }
    void setWindow(int scheme, int start, int end) {
        seam->userKeyVal()[scheme][1].value = start;
        seam->userKeyVal()[scheme][3].value = end;
    }
    int pass(const char* now = "12:00") {
        setenv("SENSOR_FAKE_TIME", now, 1);
        iasim::clearLog();
        seam->sensorThreadPass();
        return seam->curScheme();
    }
    int currentScheme() {
        int scheme = -1;
        ctl->getParamScheme(scheme);
        return scheme;
    }
    // Made once the sandbox exists: the constructor reads the machine information.
    std::unique_ptr<ISensorController> ctl;
    std::unique_ptr<SensorControllerTestSeam> seam;
};

TEST_F(SensorThreadTest, ManualParameterModeNeverSwitches) {
    prepare(2);
    ctl->setParamMode(0);
    iasim::setDNState(0, 1);
    EXPECT_EQ(0, pass());
    EXPECT_TRUE(iasim::callLog().empty());
}

TEST_F(SensorThreadTest, DayNightModeFollowsTheProcessorWithinAPass) {
    prepare(2);
    iasim::setDNState(0, 1);
    for (u32 busy : {resetting_flag, restoring_flag, switching_flag}) {
        seam->setFlag(busy);
        EXPECT_EQ(0, pass());
        seam->clearFlag(busy);
    }
    EXPECT_EQ(1, pass());
    EXPECT_EQ((Sets{{34, 20}}), processorSets());
    EXPECT_EQ(1, pass());
    EXPECT_TRUE(processorSets().empty());
    iasim::injectFailure(153, IA_CMD_OPT_GET, -1);  // a failed read counts as day
    EXPECT_EQ(0, pass());
    EXPECT_EQ((Sets{{34, 10}}), processorSets());
}

// Scheme 0 empty, 1 08:00-12:00, 2 10:00-18:00, 3 22:00-06:00 (never matches).
TEST_F(SensorThreadTest, ScheduleSelectsTheLowestMatchingWindow) {
    prepare(1);
    setWindow(1, 8, 12);
    setWindow(2, 10, 18);
    setWindow(3, 22, 6);
    const std::pair<const char*, int> steps[] = {{"11:00", 1}, {"12:00", 2}, {"17:59", 2},
                                                 {"18:00", 0}, {"23:30", 0}, {"03:00", 0}};
    for (const auto& step : steps) {
        EXPECT_EQ(step.second, pass(step.first)) << step.first;
    }
}

TEST_F(SensorThreadTest, LprFollowsDayNightOutsideWindowsAndResendsOnEnteringOne) {
    prepare(1);
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
    EXPECT_EQ(2, pass("11:00"));
    EXPECT_TRUE(processorSets().empty());
}

TEST_F(SensorThreadTest, RunningThreadFollowsTheDayNightState) {
    prepare(2);
    ASSERT_TRUE(seam->thread()->start());
    iasim::setDNState(0, 1);
    EXPECT_TRUE(eventually([&] { return currentScheme() == 1; }));
    iasim::setDNState(0, 0);
    EXPECT_TRUE(eventually([&] { return currentScheme() == 0; }));
}

TEST_F(SensorThreadTest, StopEndsAPassThatWaitsForTheMutex) {
    prepare(2);
    iasim::setDNState(0, 1);
    seam->mutex().Lock(__FILE__, __LINE__);
    ASSERT_TRUE(seam->thread()->start());
    for (int i = 0; i < 20; ++i) {  // a few passes reach the try-lock loop
        OrvaneTime::wait(OrvaneTime(1, 0));
    }
    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        seam->thread()->stop();
        stopped = true;
    });
    const bool stoppedWhileHeld = eventually([&] { return stopped.load(); });
    seam->mutex().Unlock(__FILE__, __LINE__);
    stopper.join();
    EXPECT_TRUE(stoppedWhileHeld);
    EXPECT_EQ(0, currentScheme());
}

}  // namespace
