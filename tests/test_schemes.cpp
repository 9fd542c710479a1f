// Scheme switching by hand: what each switch sends to the processor, and the scheme and mode
// operations with their bad input.
#include <memory>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "ControllerSeam.h"
#include "GThread.h"
#include "IaSim.h"
#include "ISensorController.h"
#include "Sandbox.h"

namespace {

using Sets = std::vector<std::pair<int, int>>;

// Scheme keys first, then plain processor keys (144 is the day/night mode).
const std::vector<KeyVal> kFactory = {{8000, 0}, {8001, 0},  {8002, 0}, {8003, 23}, {8004, 59},
                                      {34, 50},  {2337, 50}, {144, 2},  {96, 0}};
const Sets kEveryRecord = {{34, 50}, {2337, 50}, {144, 2}, {96, 0}};

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
    void SetUp() override {
        SandboxTest::SetUp();
        ctl = std::make_unique<ISensorController>();
        seam = std::make_unique<SensorControllerTestSeam>(*ctl);
        seam->prepare(kFactory, 4);
        iasim::clearLog();
    }
    void TearDown() override {
        seam->release();
        seam.reset();
        ctl.reset();
        SandboxTest::TearDown();
    }
    // Made once the sandbox exists: the constructor reads the machine information.
    std::unique_ptr<ISensorController> ctl;
    std::unique_ptr<SensorControllerTestSeam> seam;
};

TEST_F(SchemeTest, ASwitchSendsWhatDiffersFromThePreviousScheme) {
    seam->userKeyVal()[2][5].value = 70;
    seam->switchTo(0, false);
    EXPECT_EQ(kEveryRecord, processorSets());  // no previous scheme: everything
    EXPECT_EQ(-1, seam->lastScheme());
    seam->switchTo(1, false);
    EXPECT_TRUE(processorSets().empty());  // identical scheme: nothing
    seam->switchTo(2, false);
    EXPECT_EQ((Sets{{34, 70}}), processorSets());
    seam->switchTo(3, true);
    EXPECT_EQ(kEveryRecord, processorSets());  // forced: everything
    EXPECT_EQ(3, seam->curScheme());
    EXPECT_EQ(2, seam->lastScheme());
    EXPECT_EQ(70, seam->userKeyVal()[2][5].value);
    EXPECT_EQ(0u, seam->flags() & switching_flag);
}

TEST_F(SchemeTest, LprSwitchSendsDayNightModeZeroButKeepsTheStoredValue) {
    seam->switchTo(0, false);
    processorSets();
    seam->lprSwitchTo(1);
    EXPECT_EQ((Sets{{34, 50}, {2337, 50}, {144, 0}, {96, 0}}), processorSets());
    EXPECT_EQ(2, seam->userKeyVal()[1][7].value);
    EXPECT_EQ(1, seam->curScheme());
}

TEST_F(SchemeTest, SetParamSchemeRefusesIndexesOutsideTheArrays) {
    seam->switchTo(0, false);
    processorSets();
    for (int scheme : {-1, 5, -1000}) {
        StdoutCapture out;
        EXPECT_FALSE(ctl->setParamScheme(scheme));
        EXPECT_NE(std::string::npos,
                  out.stop().find("p_nScheme >= 0 && (u32)p_nScheme <= m_stSysConf.nSchemeSum"));
    }
    EXPECT_TRUE(processorSets().empty());
    seam->userKeyVal()[4][5].value = 10;
    EXPECT_TRUE(ctl->setParamScheme(4));  // the factory scheme
    int scheme = -1;
    EXPECT_TRUE(ctl->getParamScheme(scheme));
    EXPECT_EQ(4, scheme);
    EXPECT_EQ((Sets{{34, 10}}), processorSets());
}

TEST_F(SchemeTest, SetParamSchemeBeforeInitIsRefused) {
    ISensorController fresh;
    EXPECT_FALSE(fresh.setParamScheme(0));
}

TEST_F(SchemeTest, AnyParamModeIsStoredAndOnlyZeroAndOneAreQuiet) {
    for (int mode : {0, 1, 2, -1}) {
        StdoutCapture out;
        EXPECT_TRUE(ctl->setParamMode(mode));
        bool reported = out.stop().find("0 == p_nMode || 1 == p_nMode") != std::string::npos;
        EXPECT_EQ(mode != 0 && mode != 1, reported) << mode;
        int stored = 99;
        EXPECT_TRUE(ctl->getParamMode(stored));
        EXPECT_EQ(mode, stored);
    }
}

}  // namespace
