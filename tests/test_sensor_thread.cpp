// The sensor thread: one pass per call of its body (driven through the seam on the scaled,
// faked clock) and the running thread (polled with a deadline), including stopping it while
// a pass waits for the controller's mutex.
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
using Clock = std::chrono::steady_clock;

// Mode 2 (day/night) or 1 (schedule) goes into every scheme; brightness tells schemes apart.
std::vector<KeyVal> factory(int mode) {
    return {{8000, static_cast<int32_t>(mode)},
            {8001, 0},
            {8002, 0},
            {8003, 0},
            {8004, 0},
            {34, 50},
            {2337, 50},
            {144, 2},
            {96, 0}};
}

Sets processorSets() {
    Sets out;
    for (const iasim::Call& call : iasim::callLog()) {
        if (call.opt == IA_CMD_OPT_SET) {
            out.emplace_back(call.cmd, call.value);
        }
    }
    return out;
}

// Polls `cond` until it holds or a generous deadline passes.
template <typename Cond>
bool eventually(Cond cond) {
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(20);
    while (Clock::now() < deadline) {
        if (cond()) {
            return true;
        }
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
    // Four schemes, scheme 0 current, the mode flags set from scheme 0 by the switch.
    void prepare(int mode) {
        seam->prepare(factory(mode), 4);
        seam->curScheme() = -1;
        seam->lastScheme() = -1;
        seam->lastSchedule() = 255;
        seam->paramMode() = 1;
        seam->lprMode() = false;
        for (u32 s = 0; s <= 4; ++s) {
            seam->userKeyVal()[s][5].value = 10 * static_cast<int32_t>(s) + 10;  // key 34
        }
        seam->switchTo(0, false);
        iasim::clearLog();
    }
    void setWindow(u32 scheme, int startHour, int endHour) {
        KeyVal* records = seam->userKeyVal()[scheme];
        records[1].value = startHour;
        records[2].value = 0;
        records[3].value = endHour;
        records[4].value = 0;
    }
    int pass(const char* now = "12:00") {
        setenv("SENSOR_FAKE_TIME", now, 1);
        iasim::clearLog();
        EXPECT_EQ(0, seam->sensorThreadPass());
        return seam->curScheme();
    }
    int currentScheme() {
        int scheme = -1;
        ctl->getParamScheme(scheme);
        return scheme;
    }
    std::unique_ptr<ISensorController> ctl;
    std::unique_ptr<SensorControllerTestSeam> seam;
};

TEST_F(SensorThreadTest, ManualModeNeverSwitches) {
    for (int mode : {1, 2}) {
        prepare(mode);
        setWindow(2, 0, 23);
        ASSERT_TRUE(ctl->setParamMode(0));
        iasim::setDNState(0, 1);
        EXPECT_EQ(0, pass("12:00")) << mode;
        EXPECT_TRUE(iasim::callLog().empty());
        seam->release();
    }
}

TEST_F(SensorThreadTest, FixedSchemeModeNeverSwitches) {
    prepare(0);
    iasim::setDNState(0, 1);
    EXPECT_EQ(0, pass());
    EXPECT_TRUE(iasim::callLog().empty());
}

TEST_F(SensorThreadTest, DayNightModeFollowsTheProcessorWithinAPass) {
    prepare(2);
    ASSERT_TRUE(seam->autoScheme());
    iasim::setDNState(0, 1);
    EXPECT_EQ(1, pass());
    EXPECT_EQ((Sets{{34, 20}}), processorSets());
    EXPECT_EQ(1, pass());
    EXPECT_TRUE(processorSets().empty());
    std::vector<iasim::Call> log = iasim::callLog();
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ(153, log[0].cmd);
    iasim::setDNState(0, 0);
    EXPECT_EQ(0, pass());
    EXPECT_EQ((Sets{{34, 10}}), processorSets());
}

TEST_F(SensorThreadTest, FailedDayNightReadCountsAsDay) {
    prepare(2);
    iasim::setDNState(0, 1);
    pass();
    iasim::injectFailure(153, IA_CMD_OPT_GET, -1);
    EXPECT_EQ(0, pass());
}

TEST_F(SensorThreadTest, BusyBitsKeepThePassFromSwitching) {
    for (u32 bit : {resetting_flag, restoring_flag, switching_flag}) {
        prepare(2);
        iasim::setDNState(0, 1);
        seam->setFlag(bit);
        EXPECT_EQ(0, pass()) << bit;
        EXPECT_TRUE(processorSets().empty());
        seam->clearFlag(bit);
        EXPECT_EQ(1, pass());
        seam->release();
    }
}

struct ScheduleCase {
    const char* now;
    int scheme;
};

class ScheduleTest : public SensorThreadTest, public ::testing::WithParamInterface<ScheduleCase> {};

// Scheme 0 empty, 1 08:00-12:00, 2 10:00-18:00, 3 22:00-06:00 (never matches).
TEST_P(ScheduleTest, ThePassSelectsTheWindowsScheme) {
    prepare(1);
    ASSERT_TRUE(seam->scheduleScheme());
    setWindow(1, 8, 12);
    setWindow(2, 10, 18);
    setWindow(3, 22, 6);
    EXPECT_EQ(GetParam().scheme, pass(GetParam().now));
    if (GetParam().scheme != 0) {
        EXPECT_EQ((Sets{{34, 10 * GetParam().scheme + 10}}), processorSets());
    } else {
        EXPECT_TRUE(processorSets().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Example, ScheduleTest,
                         ::testing::Values(ScheduleCase{"11:00", 1}, ScheduleCase{"12:00", 2},
                                           ScheduleCase{"18:00", 0}, ScheduleCase{"23:30", 0},
                                           ScheduleCase{"03:00", 0}));

TEST_F(SensorThreadTest, ScheduleWalksThroughTheDay) {
    prepare(1);
    setWindow(1, 8, 12);
    setWindow(2, 10, 18);
    EXPECT_EQ(1, pass("11:00"));
    EXPECT_EQ(2, pass("12:00"));
    EXPECT_EQ(2, pass("17:00"));
    EXPECT_TRUE(processorSets().empty());
    EXPECT_EQ(0, pass("18:00"));
    EXPECT_EQ((Sets{{34, 10}}), processorSets());
}

TEST_F(SensorThreadTest, LprOutsideEveryWindowFollowsDayNightWithoutItsMode) {
    prepare(1);
    seam->lprMode() = true;
    setWindow(2, 10, 18);
    iasim::setDNState(0, 1);
    EXPECT_EQ(1, pass("20:00"));
    // Every record of scheme 1, day/night mode sent as 0, the stored value unchanged.
    EXPECT_EQ((Sets{{34, 20}, {2337, 50}, {144, 0}, {96, 0}}), processorSets());
    EXPECT_EQ(2, seam->userKeyVal()[1][7].value);
    EXPECT_EQ(0, seam->lastSchedule());
    EXPECT_EQ(1, pass("20:01"));
    EXPECT_TRUE(processorSets().empty());
    iasim::setDNState(0, 0);
    EXPECT_EQ(0, pass("20:02"));
    EXPECT_EQ((Sets{{34, 10}, {2337, 50}, {144, 0}, {96, 0}}), processorSets());
}

TEST_F(SensorThreadTest, LprEnteringAWindowSendsEveryRecordOfItsScheme) {
    prepare(1);
    seam->lprMode() = true;
    setWindow(2, 10, 18);
    iasim::setDNState(0, 0);
    pass("09:00");
    EXPECT_EQ(2, pass("10:00"));
    EXPECT_EQ((Sets{{34, 30}, {2337, 50}, {144, 2}, {96, 0}}), processorSets());
    EXPECT_EQ(1, seam->lastSchedule());
    EXPECT_EQ(2, pass("11:00"));
    EXPECT_TRUE(processorSets().empty());
}

TEST_F(SensorThreadTest, LprFirstPassAlwaysActs) {
    prepare(1);
    seam->lprMode() = true;
    ASSERT_EQ(255, seam->lastSchedule());
    iasim::setDNState(0, 0);
    EXPECT_EQ(0, pass("20:00"));
    EXPECT_FALSE(processorSets().empty());
}

TEST_F(SensorThreadTest, APassWaitsForAHostHoldingTheMutex) {
    prepare(2);
    iasim::setDNState(0, 1);
    seam->mutex().Lock(__FILE__, __LINE__);
    std::atomic<bool> done{false};
    std::thread body([&] {
        seam->sensorThreadPass();
        done = true;
    });
    for (int i = 0; i < 50; ++i) {
        OrvaneTime::wait(OrvaneTime(1, 0));
    }
    EXPECT_FALSE(done.load());
    seam->mutex().Unlock(__FILE__, __LINE__);
    body.join();
    EXPECT_EQ(1, currentScheme());
}

TEST_F(SensorThreadTest, RunningThreadFollowsTheDayNightState) {
    prepare(2);
    ASSERT_TRUE(seam->thread()->start());
    iasim::setDNState(0, 1);
    EXPECT_TRUE(eventually([&] { return currentScheme() == 1; }));
    iasim::setDNState(0, 0);
    EXPECT_TRUE(eventually([&] { return currentScheme() == 0; }));
    EXPECT_TRUE(seam->thread()->stop());
}

TEST_F(SensorThreadTest, StopEndsAPassThatWaitsForTheMutex) {
    prepare(2);
    iasim::setDNState(0, 1);
    seam->mutex().Lock(__FILE__, __LINE__);
    ASSERT_TRUE(seam->thread()->start());
    // Let the thread reach its try-lock loop a few times.
    for (int i = 0; i < 20; ++i) {
        OrvaneTime::wait(OrvaneTime(1, 0));
    }
    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        seam->thread()->stop();
        stopped = true;
    });
    bool stoppedWhileHeld = eventually([&] { return stopped.load(); });
    seam->mutex().Unlock(__FILE__, __LINE__);
    stopper.join();
    EXPECT_TRUE(stoppedWhileHeld);
    EXPECT_EQ(0, currentScheme());
}

}  // namespace
