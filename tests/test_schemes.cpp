// Scheme switching by hand: what each switch sends to the processor, the scheme and mode
// operations, the time-window judgement and the day/night state read.
#include <atomic>
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

// Scheme keys first (mode, window 00:00-23:59), then plain processor keys.
const std::vector<KeyVal> kFactory = {
    {8000, 0}, {8001, 0},  {8002, 0},  {8003, 23}, {8004, 59},
    {34, 50},  {2337, 50}, {2353, 50}, {144, 2},   {96, 0},
};
const Sets kAllFactorySets = {{34, 50}, {2337, 50}, {2353, 50}, {144, 2}, {96, 0}};

// (command, value) of every set call the processor received.
Sets processorSets() {
    Sets out;
    for (const iasim::Call& call : iasim::callLog()) {
        if (call.opt == IA_CMD_OPT_SET) {
            out.emplace_back(call.cmd, call.value);
        }
    }
    return out;
}

class SchemeTest : public SandboxTest {
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
    void prepare(u32 schemes = 4) {
        seam->prepare(kFactory, schemes);
        iasim::clearLog();
    }
    void setCached(u32 scheme, u32 key, int value) {
        ASSERT_GE(seam->setKeyValToCache(scheme, key, static_cast<u32>(value), true), 0);
    }
    int cached(u32 scheme, u32 key) {
        u32 value = 0;
        EXPECT_GE(seam->getKeyValFromCache(scheme, key, value), 0);
        return static_cast<int>(value);
    }
    std::unique_ptr<ISensorController> ctl;
    std::unique_ptr<SensorControllerTestSeam> seam;
};

TEST_F(SchemeTest, FirstSwitchSendsEveryRecordInOrder) {
    prepare();
    EXPECT_EQ(0, seam->switchTo(0, false));
    EXPECT_EQ(kAllFactorySets, processorSets());
    EXPECT_EQ(0, seam->curScheme());
    EXPECT_EQ(-1, seam->lastScheme());
    EXPECT_EQ(0u, seam->flags() & switching_flag);
}

TEST_F(SchemeTest, SwitchToIdenticalSchemeSendsNothing) {
    prepare();
    seam->switchTo(0, false);
    iasim::clearLog();
    EXPECT_EQ(0, seam->switchTo(1, false));
    EXPECT_TRUE(processorSets().empty());
    EXPECT_EQ(1, seam->curScheme());
    EXPECT_EQ(0, seam->lastScheme());
}

TEST_F(SchemeTest, SwitchSendsOnlyTheDifferencesAndKeepsTheTarget) {
    prepare();
    setCached(2, 34, 70);
    setCached(2, 96, 1);
    seam->switchTo(0, false);
    iasim::clearLog();
    seam->switchTo(2, false);
    EXPECT_EQ((Sets{{34, 70}, {96, 1}}), processorSets());
    EXPECT_EQ(70, cached(2, 34));
    EXPECT_EQ(50, cached(0, 34));
}

TEST_F(SchemeTest, ForcedSwitchSendsEveryRecordEvenWhenEqual) {
    prepare();
    seam->switchTo(0, false);
    iasim::clearLog();
    seam->switchTo(1, true);
    EXPECT_EQ(kAllFactorySets, processorSets());
    EXPECT_EQ(1, seam->curScheme());
}

TEST_F(SchemeTest, LprSwitchSendsDayNightModeZeroAndKeepsTheStoredValue) {
    prepare();
    seam->switchTo(0, false);
    iasim::clearLog();
    EXPECT_EQ(0, seam->lprSwitchTo(1));
    EXPECT_EQ((Sets{{34, 50}, {2337, 50}, {2353, 50}, {144, 0}, {96, 0}}), processorSets());
    EXPECT_EQ(2, cached(1, 144));
    EXPECT_EQ(1, seam->curScheme());
    EXPECT_EQ(0, seam->lastScheme());
    EXPECT_EQ(0u, seam->flags() & switching_flag);
}

TEST_F(SchemeTest, SetParamSchemeRefusesIndexesOutsideTheArrays) {
    prepare(4);
    seam->switchTo(0, false);
    iasim::clearLog();
    for (int scheme : {-1, 5, 1000, -1000}) {
        StdoutCapture out;
        EXPECT_FALSE(ctl->setParamScheme(scheme)) << scheme;
        std::string text = out.stop();
        EXPECT_NE(std::string::npos,
                  text.find("p_nScheme >= 0 && (u32)p_nScheme <= m_stSysConf.nSchemeSum"))
            << text;
        EXPECT_NE(std::string::npos, text.find("p_nScheme(" + std::to_string(scheme) + ")"));
    }
    EXPECT_TRUE(processorSets().empty());
    EXPECT_EQ(0, seam->curScheme());
}

TEST_F(SchemeTest, SetParamSchemeToTheFactorySchemeMakesItCurrent) {
    prepare(4);
    setCached(4, 34, 10);
    seam->switchTo(0, false);
    iasim::clearLog();
    EXPECT_TRUE(ctl->setParamScheme(4));
    int scheme = -1;
    EXPECT_TRUE(ctl->getParamScheme(scheme));
    EXPECT_EQ(4, scheme);
    EXPECT_EQ((Sets{{34, 10}}), processorSets());
}

TEST_F(SchemeTest, SetParamSchemeBeforeInitIsRefused) {
    EXPECT_FALSE(ctl->setParamScheme(0));
    int scheme = 0;
    ctl->getParamScheme(scheme);
    EXPECT_EQ(-1, scheme);
}

TEST_F(SchemeTest, ParamModeIsStoredAndAnOutOfRangeModeIsReported) {
    prepare();
    struct Case {
        int mode;
        bool reported;
    };
    for (const Case& c : {Case{0, false}, Case{1, false}, Case{2, true}, Case{-1, true}}) {
        StdoutCapture out;
        EXPECT_TRUE(ctl->setParamMode(c.mode));
        std::string text = out.stop();
        EXPECT_EQ(c.reported, text.find("0 == p_nMode || 1 == p_nMode") != std::string::npos)
            << c.mode;
        int mode = 99;
        EXPECT_TRUE(ctl->getParamMode(mode));
        EXPECT_EQ(c.mode, mode);
    }
}

TEST_F(SchemeTest, SetParamSchemeWaitsWhileABusyBitIsSet) {
    prepare();
    seam->switchTo(0, false);
    seam->setFlag(restoring_flag);
    std::atomic<bool> done{false};
    bool result = false;
    std::thread host([&] {
        result = ctl->setParamScheme(1);
        done = true;
    });
    // Several of its 500 ms (scaled) waits go by without a switch.
    for (int i = 0; i < 20; ++i) {
        OrvaneTime::wait(OrvaneTime(0, 500000));
    }
    EXPECT_FALSE(done.load());
    seam->clearFlag(restoring_flag);
    host.join();
    EXPECT_TRUE(result);
    int scheme = -1;
    ctl->getParamScheme(scheme);
    EXPECT_EQ(1, scheme);
}

struct WindowCase {
    const char* now;
    int scheme;
    int schedule;
};

class WindowTest : public SchemeTest, public ::testing::WithParamInterface<WindowCase> {};

// Scheme 0 empty (00:00-00:00), 1 08:00-12:00, 2 10:00-18:00, 3 22:00-06:00.
TEST_P(WindowTest, LowestMatchingWindowWins) {
    prepare(4);
    const int windows[4][4] = {{0, 0, 0, 0}, {8, 0, 12, 0}, {10, 0, 18, 0}, {22, 0, 6, 0}};
    for (u32 s = 0; s < 4; ++s) {
        for (u32 i = 0; i < 4; ++i) {
            seam->userKeyVal()[s][1 + i].value = windows[s][i];
        }
    }
    setenv("SENSOR_FAKE_TIME", GetParam().now, 1);
    int scheme = -1;
    int schedule = -1;
    EXPECT_EQ(0, seam->judgeCurScheme(scheme, schedule));
    EXPECT_EQ(GetParam().scheme, scheme);
    EXPECT_EQ(GetParam().schedule, schedule);
}

INSTANTIATE_TEST_SUITE_P(Schedule, WindowTest,
                         ::testing::Values(WindowCase{"07:59", 0, 0}, WindowCase{"08:00", 1, 1},
                                           WindowCase{"11:00", 1, 1}, WindowCase{"11:59", 1, 1},
                                           WindowCase{"12:00", 2, 1}, WindowCase{"17:59", 2, 1},
                                           WindowCase{"18:00", 0, 0}, WindowCase{"23:00", 0, 0},
                                           WindowCase{"00:00", 0, 0}, WindowCase{"05:00", 0, 0}));

TEST_F(SchemeTest, DayNightStateIsReadWithCommand153) {
    prepare();
    int state = -1;
    iasim::setDNState(0, 1);
    EXPECT_TRUE(ctl->getDNState(state));
    EXPECT_EQ(1, state);
    iasim::injectFailure(153, IA_CMD_OPT_GET, -3);
    EXPECT_FALSE(ctl->getDNState(state));
    std::vector<iasim::Call> log = iasim::callLog();
    ASSERT_EQ(2u, log.size());
    EXPECT_EQ(153, log[0].cmd);
    EXPECT_EQ(IA_CMD_OPT_GET, log[0].opt);
}

}  // namespace
