// The parameter engine: what reaches the processor and the video module, what lands in the
// scheme caches and files, and the text forms of setting and getting parameters.
#include <algorithm>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ControllerSeam.h"
#include "IaSim.h"
#include "ISensorController.h"
#include "Sandbox.h"
#include "SimVideoModule.h"

namespace {

const u32 kSchemes = 4;

// Factory records: the five scheme keys first (window 00:00 - 24:00), then the keys the cases
// use.
std::vector<KeyVal> factoryRecords() {
    return {
        {8000, 0},  {8001, 0}, {8002, 0}, {8003, 24}, {8004, 0}, {34, 50},  {2337, 50},
        {2353, 50}, {83, 1},   {144, 0},  {145, 30},  {146, 60}, {149, 18}, {150, 0},
        {151, 6},   {152, 0},  {154, 3},  {160, 0},   {161, 0},  {163, 10}, {165, 10},
        {167, 60},  {168, 0},  {200, 0},  {201, 0},   {224, 0},  {2384, 0}, {2416, 0},
        {8201, 0},  {8217, 0}, {10, 0},   {11, 0},    {2368, 0}, {2385, 0},
    };
}

std::vector<iasim::Call> setCalls() {
    std::vector<iasim::Call> out;
    for (const iasim::Call& call : iasim::callLog()) {
        if (call.opt == 0) {
            out.push_back(call);
        }
    }
    return out;
}

class EngineTest : public SandboxTest {
  protected:
    void SetUp() override {
        SandboxTest::SetUp();
        controller = new ISensorController();
        seam = new SensorControllerTestSeam(*controller);
        seam->prepare(factoryRecords(), kSchemes);
        controller->setChannelID(1);
        controller->setVideoStreamModule(&video);
        seam->curScheme() = 0;
        iasim::clearLog();
    }
    void TearDown() override {
        seam->release();
        delete seam;
        delete controller;
        SandboxTest::TearDown();
    }

    int cached(u32 scheme, u32 key) {
        u32 value = 0;
        EXPECT_GE(seam->getKeyValFromCache(scheme, key, value), 0) << "key " << key;
        return static_cast<int>(value);
    }
    void cache(u32 scheme, u32 key, int value) {
        ASSERT_GE(seam->setKeyValToCache(scheme, key, static_cast<u32>(value), true), 0);
    }

    SimVideoModule video;
    ISensorController* controller = nullptr;
    SensorControllerTestSeam* seam = nullptr;
};

}  // namespace

// ---- skip of unchanged values and the store ----

TEST_F(EngineTest, CachedEqualRecordIsSkippedWhenSaving) {
    EXPECT_EQ(0, controller->setParameter(34, 50, true));
    EXPECT_TRUE(iasim::callLog().empty());
}

TEST_F(EngineTest, CachedEqualRecordIsSentWhenNotSaving) {
    EXPECT_EQ(0, controller->setParameter(34, 50, false));
    const auto calls = setCalls();
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ(34, calls[0].cmd);
    EXPECT_EQ(50, calls[0].value);
    EXPECT_EQ(0, calls[0].channel);
}

TEST_F(EngineTest, ChangedValueIsSentAndStoredInTheCurrentSchemeOnly) {
    seam->curScheme() = 2;
    EXPECT_EQ(0, controller->setParameter(34, 61, true));
    ASSERT_EQ(1u, setCalls().size());
    EXPECT_EQ(61, iasim::getValue(0, 34));
    EXPECT_EQ(61, cached(2, 34));
    EXPECT_EQ(50, cached(0, 34));
    EXPECT_EQ(50, cached(kSchemes, 34));
}

TEST_F(EngineTest, NotSavingLeavesTheCacheAlone) {
    EXPECT_EQ(0, controller->setParameter(34, 70, false));
    EXPECT_EQ(70, iasim::getValue(0, 34));
    EXPECT_EQ(50, cached(0, 34));
}

TEST_F(EngineTest, WhileSwitchingTheLastSchemeDecidesWhatIsUnchanged) {
    // Switching from scheme 1 (34 = 77) to scheme 0: a record equal to scheme 1's value is not
    // sent again, even though scheme 0 holds another value; one that differs is sent.
    cache(1, 34, 77);
    seam->lastScheme() = 1;
    seam->curScheme() = 0;
    seam->setFlag(switching_flag);
    KeyVal records[] = {{34, 77}, {2337, 51}};
    EXPECT_EQ(0, seam->setParameters(records, 2, true));
    seam->clearFlag(switching_flag);
    const auto calls = setCalls();
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ(2337, calls[0].cmd);
    EXPECT_EQ(50, cached(0, 34));
    EXPECT_EQ(51, cached(0, 2337));
}

TEST_F(EngineTest, SkipTraceNamesTheRecordAndTheSchemes) {
    sandbox->setDebugSwitch("6\n");
    StdoutCapture capture;
    controller->setParameter(34, 50, true);
    const std::string out = capture.stop();
    EXPECT_NE(std::string::npos,
              out.find("ignore, (34,50) is newest, m_nFlags.switching_flag(0), m_nLastScheme(-1), "
                       "m_nCurScheme(0)!!!\n"));
}

TEST_F(EngineTest, ListEndsWithANewlineOnTheConsole) {
    StdoutCapture capture;
    EXPECT_EQ(0, controller->setParameter(34, 51, true));
    EXPECT_EQ("\n", capture.stop());
}

TEST_F(EngineTest, RecordOfAKeyTheSchemeLacksIsAppliedButNotStored) {
    EXPECT_EQ(0, controller->setParameter(2369, 5, true));
    ASSERT_EQ(1u, setCalls().size());
    u32 value = 0;
    EXPECT_EQ(-1, seam->getKeyValFromCache(0, 2369, value));
}

TEST_F(EngineTest, BeforeAnySchemeRecordsAreAppliedAndNothingIsStored) {
    seam->curScheme() = -1;
    EXPECT_EQ(0, controller->setParameter(34, 50, true));
    EXPECT_EQ(0, controller->setParameter(34, 51, true));
    EXPECT_EQ(2u, setCalls().size());
    for (u32 s = 0; s <= kSchemes; ++s) {
        EXPECT_EQ(50, cached(s, 34));
    }
}

// ---- keys that are only stored ----

TEST_F(EngineTest, StoredOnlyKeysNeverReachTheProcessor) {
    EXPECT_EQ(0,
              controller->setParameters("(10,1)(11,2)(8001,8)(8002,30)(8003,20)(8004,15)", true));
    EXPECT_TRUE(iasim::callLog().empty());
    EXPECT_TRUE(video.notifications().empty());
    EXPECT_EQ(1, cached(0, 10));
    EXPECT_EQ(2, cached(0, 11));
    EXPECT_EQ(8, cached(0, 8001));
    EXPECT_EQ(30, cached(0, 8002));
    EXPECT_EQ(20, cached(0, 8003));
    EXPECT_EQ(15, cached(0, 8004));
}

struct SchemeModeCase {
    int mode;
    bool schedule;
    bool autoDn;
    int spread;
};

class SchemeModeTest : public EngineTest, public ::testing::WithParamInterface<SchemeModeCase> {};

TEST_P(SchemeModeTest, InSchemeZeroTheModeDecidesSwitchingAndSpreads) {
    const SchemeModeCase& c = GetParam();
    seam->scheduleScheme() = !c.schedule;
    seam->autoScheme() = !c.autoDn;
    EXPECT_EQ(0, controller->setParameter(8000, c.mode, true));
    EXPECT_EQ(c.schedule, seam->scheduleScheme());
    EXPECT_EQ(c.autoDn, seam->autoScheme());
    EXPECT_EQ(c.mode, cached(0, 8000));
    for (u32 s = 1; s < kSchemes; ++s) {
        EXPECT_EQ(c.spread, cached(s, 8000)) << "scheme " << s;
    }
    EXPECT_EQ(0, cached(kSchemes, 8000));
    EXPECT_TRUE(iasim::callLog().empty());
}

INSTANTIATE_TEST_SUITE_P(Modes, SchemeModeTest,
                         ::testing::Values(SchemeModeCase{1, true, false, 1},
                                           SchemeModeCase{2, false, true, 2},
                                           SchemeModeCase{7, false, false, 0},
                                           SchemeModeCase{-1, false, false, 0}));

TEST_F(EngineTest, SchemeModeOutsideSchemeZeroIsOnlyStored) {
    seam->curScheme() = 2;
    EXPECT_EQ(0, controller->setParameter(8000, 1, true));
    EXPECT_FALSE(seam->scheduleScheme());
    EXPECT_FALSE(seam->autoScheme());
    EXPECT_EQ(1, cached(2, 8000));
    EXPECT_EQ(0, cached(0, 8000));
    EXPECT_EQ(0, cached(1, 8000));
    EXPECT_EQ(0, cached(3, 8000));
    EXPECT_TRUE(iasim::callLog().empty());
}

// ---- the thermal channel ----

TEST_F(EngineTest, ThermalChannelRoutesItsKeysToTheVideoModule) {
    seam->cameraId() = 2;
    EXPECT_EQ(0, controller->setParameters("(8201,1)(8217,1)(2384,1)(2416,1)", true));
    const auto notes = video.notifications();
    ASSERT_EQ(4u, notes.size());
    EXPECT_EQ(8201, notes[0].key);
    EXPECT_EQ(8217, notes[1].key);
    EXPECT_EQ(2384, notes[2].key);
    EXPECT_EQ(2416, notes[3].key);
    for (const auto& n : notes) {
        EXPECT_EQ(2, n.channel);
        EXPECT_EQ(1, n.value);
    }
    // Mirror and stabilisation also reach the processor; the other two only the video module.
    const auto calls = setCalls();
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ(2384, calls[0].cmd);
    EXPECT_EQ(2416, calls[1].cmd);
    EXPECT_EQ(1, calls[0].channel);
    EXPECT_EQ(1, cached(0, 8201));
    EXPECT_EQ(1, cached(0, 8217));
    EXPECT_EQ(1, cached(0, 2384));
    EXPECT_EQ(1, cached(0, 2416));
}

TEST_F(EngineTest, ThermalRoutedResultsDoNotStopTheList) {
    seam->cameraId() = 2;
    iasim::injectFailure(2384, 0, -1);
    video.setNotifyResult(-3);
    EXPECT_EQ(0, controller->setParameters("(2384,1)(8201,1)(34,55)", true));
    EXPECT_EQ(1, cached(0, 2384));
    EXPECT_EQ(55, cached(0, 34));
}

TEST_F(EngineTest, OtherChannelsSendThermalKeysToTheProcessor) {
    EXPECT_EQ(0, controller->setParameter(8201, 1, true));
    EXPECT_TRUE(video.notifications().empty());
    ASSERT_EQ(1u, setCalls().size());
    EXPECT_EQ(8201, setCalls()[0].cmd);
}

// ---- day/night keys in automatic day/night mode ----

TEST_F(EngineTest, AutoModeInSchemeZeroAppliesAndSharesWithSchemeOne) {
    seam->autoScheme() = true;
    EXPECT_EQ(0, controller->setParameter(144, 1, true));
    ASSERT_EQ(1u, setCalls().size());
    EXPECT_EQ(1, cached(0, 144));
    EXPECT_EQ(1, cached(1, 144));
    EXPECT_EQ(0, cached(2, 144));
}

TEST_F(EngineTest, AutoModeOutsideSchemeZeroStoresDayNightKeysWithoutSending) {
    seam->autoScheme() = true;
    seam->curScheme() = 1;
    EXPECT_EQ(0, controller->setParameters("(144,2)(145,40)(152,30)", true));
    EXPECT_TRUE(setCalls().empty());
    EXPECT_EQ(2, cached(1, 144));
    EXPECT_EQ(40, cached(1, 145));
    EXPECT_EQ(30, cached(1, 152));
    EXPECT_EQ(0, cached(0, 144));
}

TEST_F(EngineTest, AutoModeKeepsSensitivityPerScheme) {
    seam->autoScheme() = true;
    seam->curScheme() = 1;
    EXPECT_EQ(0, controller->setParameter(154, 5, true));
    ASSERT_EQ(1u, setCalls().size());
    EXPECT_EQ(154, setCalls()[0].cmd);
    seam->curScheme() = 0;
    EXPECT_EQ(0, controller->setParameter(154, 4, true));
    EXPECT_EQ(5, cached(1, 154));
}

TEST_F(EngineTest, WithoutAutoModeDayNightKeysAreNotShared) {
    EXPECT_EQ(0, controller->setParameter(144, 1, true));
    EXPECT_EQ(0, cached(1, 144));
}

// ---- light type and the shadow keys ----

TEST_F(EngineTest, IntelligentLightIgnoresPlainKeysAndSendsShadowKeysAsPlain) {
    cache(0, 224, 2);
    EXPECT_EQ(0, controller->setParameter(161, 1, true));
    EXPECT_TRUE(iasim::callLog().empty());
    EXPECT_EQ(0, cached(0, 161));

    EXPECT_EQ(0, controller->setParameter(168, 3, true));
    auto calls = setCalls();
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ(161, calls[0].cmd);
    EXPECT_EQ(3, calls[0].value);
    EXPECT_EQ(3, cached(0, 168));
    EXPECT_EQ(3, cached(0, 161));

    // A shadow key without a row of its own goes out under its plain key.
    iasim::clearLog();
    EXPECT_EQ(0, controller->setParameter(201, 9, true));
    calls = setCalls();
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ(165, calls[0].cmd);
    EXPECT_EQ(9, cached(0, 165));
}

TEST_F(EngineTest, PlainLightSendsPlainKeysAndMirrorsThemIntoShadows) {
    EXPECT_EQ(0, controller->setParameter(161, 2, true));
    ASSERT_EQ(1u, setCalls().size());
    EXPECT_EQ(161, setCalls()[0].cmd);
    EXPECT_EQ(2, cached(0, 161));
    EXPECT_EQ(2, cached(0, 168));

    iasim::clearLog();
    EXPECT_EQ(0, controller->setParameter(168, 5, true));
    EXPECT_TRUE(iasim::callLog().empty());
    EXPECT_EQ(2, cached(0, 168));
}

TEST_F(EngineTest, FailedShadowKeyStopsWithThePlainKey) {
    cache(0, 224, 2);
    iasim::injectFailure(161, 0, -1);
    EXPECT_EQ(-161, controller->setParameter(168, 3, true));
}

TEST_F(EngineTest, WithoutCurrentSchemeShadowKeysAreIgnoredAndNothingIsMirrored) {
    seam->curScheme() = -1;
    EXPECT_EQ(0, controller->setParameter(168, 3, true));
    EXPECT_TRUE(iasim::callLog().empty());
    EXPECT_EQ(0, controller->setParameter(161, 4, true));
    ASSERT_EQ(1u, setCalls().size());
    for (u32 s = 0; s <= kSchemes; ++s) {
        EXPECT_EQ(0, cached(s, 168));
    }
}

// ---- infrared power limit ----

TEST_F(EngineTest, LimitedIrPowerRejectsTooStrongNearWithTheFirstKey) {
    seam->limitedIrPower() = true;
    EXPECT_EQ(-34, controller->setParameters("(34,70)(163,41)(2337,40)", true));
    auto calls = setCalls();
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ(34, calls[0].cmd);
    EXPECT_EQ(70, cached(0, 34));
    EXPECT_EQ(10, cached(0, 163));
    EXPECT_EQ(50, cached(0, 2337));

    iasim::clearLog();
    EXPECT_EQ(0, controller->setParameter(163, 40, true));
    calls = setCalls();
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ(163, calls[0].cmd);
    EXPECT_EQ(40, cached(0, 163));
}

TEST_F(EngineTest, LimitedIrPowerChecksFarAgainstNear) {
    seam->limitedIrPower() = true;
    cache(0, 163, 30);
    EXPECT_EQ(-167, controller->setParameter(167, 71, true));
    EXPECT_EQ(0, controller->setParameter(167, 70, true));
}

TEST_F(EngineTest, UnlimitedIrPowerAcceptsAnySum) {
    EXPECT_EQ(0, controller->setParameter(163, 90, true));
    EXPECT_EQ(90, cached(0, 163));
}

TEST_F(EngineTest, StrengthSumIsTakenAsUnsigned) {
    // Far is cached at 60: -61 + 60 wraps to the largest number, -1 + 60 to 59.
    seam->limitedIrPower() = true;
    EXPECT_EQ(-163, controller->setParameter(163, -61, true));
    EXPECT_EQ(0, controller->setParameter(163, -1, true));
    EXPECT_EQ(-1, cached(0, 163));
}

class IrPartnerReadTest : public SandboxTest {
  protected:
    void SetUp() override {
        SandboxTest::SetUp();
        controller = new ISensorController();
        seam = new SensorControllerTestSeam(*controller);
        // No far strength in the schemes: the engine asks the processor for it.
        seam->prepare({{8000, 0}, {8001, 0}, {8002, 0}, {8003, 24}, {8004, 0}, {163, 10}}, 2);
        seam->curScheme() = 0;
        seam->limitedIrPower() = true;
        iasim::clearLog();
    }
    void TearDown() override {
        seam->release();
        delete seam;
        delete controller;
        SandboxTest::TearDown();
    }
    ISensorController* controller = nullptr;
    SensorControllerTestSeam* seam = nullptr;
};

TEST_F(IrPartnerReadTest, UncachedPartnerIsReadFromTheProcessor) {
    iasim::setValue(0, 167, 90);
    StdoutCapture capture;
    EXPECT_EQ(-163, controller->setParameter(163, 20, true));
    EXPECT_EQ(0, controller->setParameter(163, 10 + 0, true));  // unchanged: skipped
    EXPECT_EQ(0, controller->setParameter(163, 9, true));
    const std::string out = capture.stop();
    EXPECT_NE(std::string::npos, out.find("### KEY_IR_MANUAL_STRG_FAR doIaCmd sucess"));
    const auto log = iasim::callLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(167, log[0].cmd);
    EXPECT_EQ(1, log[0].opt);
}

TEST_F(IrPartnerReadTest, FailedPartnerReadLeavesTheLimitOpen) {
    iasim::injectFailure(167, 1, -1);
    StdoutCapture capture;
    EXPECT_EQ(0, controller->setParameter(163, 99, true));
    const std::string out = capture.stop();
    EXPECT_NE(std::string::npos, out.find("### KEY_IR_MANUAL_STRG_FAR doIaCmd error"));
    EXPECT_EQ(99, iasim::getValue(0, 163));
}

// ---- dispatch ----

TEST_F(EngineTest, UnknownKeyGoesToTheProcessorWithTheKeyAsCommand) {
    sandbox->setDebugSwitch("6\n");
    StdoutCapture capture;
    EXPECT_EQ(0, controller->setParameter(4, 9, true));
    const std::string out = capture.stop();
    const auto calls = setCalls();
    ASSERT_EQ(1u, calls.size());
    EXPECT_EQ(4, calls[0].cmd);
    EXPECT_EQ(9, calls[0].value);
    EXPECT_NE(std::string::npos,
              out.find("-1 != findFromKeyCmdMap(m_pKeyCmdMap, nKey, stKeyCmdTmp)   ~~~Assertion "
                       "failed.\n"));
    EXPECT_NE(std::string::npos, out.find("p_pKeyval[0].key(4)"));
    EXPECT_NE(std::string::npos, out.find("\x1b[0m\x1b[32mnot find (4) \n\x1b[0m"));
    EXPECT_NE(
        std::string::npos,
        out.find("====================== set unknow key (4,9) func:ISensorController::doIaCmd "
                 "ia_cmd:4 =====================\n"));
}

TEST_F(EngineTest, RowCommandIsWhatTheProcessorReceives) {
    EXPECT_EQ(0, controller->setParameter(83, 7, true));
    ASSERT_EQ(1u, setCalls().size());
    EXPECT_EQ(85, setCalls()[0].cmd);
}

TEST_F(EngineTest, SetTraceShowsKeyNameHandlerAndCommand) {
    sandbox->setDebugSwitch("6\n");
    StdoutCapture capture;
    controller->setParameter(83, 7, true);
    const std::string out = capture.stop();
    EXPECT_NE(std::string::npos,
              out.find("====================== set KEY_IRIS_SIZE (83,7) "
                       "func:&ISensorController::doIaCmd ia_cmd:85 =====================\n"));
}

TEST_F(EngineTest, HandlerFailureStopsTheListWithTheNegatedKey) {
    iasim::injectFailure(2337, 0, -1);
    EXPECT_EQ(-2337, controller->setParameters("(34,60)(2337,70)(2353,80)", true));
    EXPECT_EQ(60, cached(0, 34));
    EXPECT_EQ(50, cached(0, 2337));
    EXPECT_EQ(50, cached(0, 2353));
    for (const auto& call : setCalls()) {
        EXPECT_NE(2353, call.cmd);
    }
}

TEST_F(EngineTest, FailureOfARowWithItsOwnCommandReturnsTheKey) {
    iasim::injectFailure(85, 0, 3);
    EXPECT_EQ(-83, controller->setParameter(83, 7, true));
    EXPECT_EQ(1, cached(0, 83));
}

struct FailureTraceCase {
    int result;
    bool traced;
};

class FailureTraceTest : public EngineTest,
                         public ::testing::WithParamInterface<FailureTraceCase> {};

TEST_P(FailureTraceTest, OnlySomeResultsAreTracedAsErrors) {
    sandbox->setDebugSwitch("6\n");
    iasim::injectFailure(34, 0, GetParam().result);
    StdoutCapture capture;
    EXPECT_EQ(-34, controller->setParameter(34, 66, true));
    const std::string out = capture.stop();
    const std::string line =
        "set KEY_BRIGHTNESS (34,66) func:&ISensorController::doIaCmd "
        "ia_cmd:34 ~~~failed ia_ret=" +
        std::to_string(GetParam().result) + "\n";
    EXPECT_EQ(GetParam().traced, out.find(line) != std::string::npos) << out;
    if (GetParam().traced) {
        EXPECT_NE(std::string::npos, out.find("[sensor err]"));
    }
}

INSTANTIATE_TEST_SUITE_P(Results, FailureTraceTest,
                         ::testing::Values(FailureTraceCase{-1, true}, FailureTraceCase{-4, true},
                                           FailureTraceCase{-5, true}, FailureTraceCase{-2, false},
                                           FailureTraceCase{7, false}));

// ---- parsing bounds ----

TEST_F(EngineTest, PairsBeyondTheScratchArrayAreIgnored) {
    const u32 capacity = seam->keyValSum();
    std::string text;
    for (u32 i = 0; i < capacity; ++i) {
        text += "(2337," + std::to_string(100 + i) + ")";
    }
    text += "(34,77)(2353,78)";
    EXPECT_EQ(0, controller->setParameters(text, true));
    EXPECT_EQ(static_cast<int>(100 + capacity - 1), cached(0, 2337));
    EXPECT_EQ(50, cached(0, 34));
    EXPECT_EQ(50, cached(0, 2353));
    EXPECT_EQ(capacity, setCalls().size());
}

TEST_F(EngineTest, TextWithoutPairsAppliesNothing) {
    EXPECT_EQ(0, controller->setParameters("", true));
    EXPECT_EQ(0, controller->setParameters("nothing here (", true));
    EXPECT_TRUE(iasim::callLog().empty());
}

// ---- reading ----

TEST_F(EngineTest, GetParameterAnswersFromTheCurrentScheme) {
    cache(2, 34, 12);
    seam->curScheme() = 2;
    int value = 0;
    EXPECT_TRUE(controller->getParameter(34, value));
    EXPECT_EQ(12, value);
    EXPECT_TRUE(iasim::callLog().empty());
}

TEST_F(EngineTest, UncachedInfraredKeysReadAsMinusOneWithoutTheProcessor) {
    seam->curScheme() = -1;
    for (int key : {160, 161, 163, 165, 167}) {
        int value = 0;
        EXPECT_TRUE(controller->getParameter(key, value)) << key;
        EXPECT_EQ(-1, value) << key;
    }
    EXPECT_TRUE(iasim::callLog().empty());
}

TEST_F(EngineTest, OtherUncachedKeysAreReadFromTheProcessor) {
    iasim::setValue(0, 2369, 42);
    int value = 0;
    EXPECT_TRUE(controller->getParameter(2369, value));
    EXPECT_EQ(42, value);
    const auto log = iasim::callLog();
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ(2369, log[0].cmd);
    EXPECT_EQ(1, log[0].opt);
}

TEST_F(EngineTest, FailedProcessorReadIsReportedAndFalse) {
    iasim::injectFailure(2369, 1, -1);
    StdoutCapture capture;
    int value = 0;
    EXPECT_FALSE(controller->getParameter(2369, value));
    const std::string out = capture.stop();
    EXPECT_NE(std::string::npos,
              out.find("OVS_SUCCESS == doIaCmd(p_nKey, IA_CMD_OPT_GET, &p_nVal)   ~~~Assertion "
                       "failed.\n"));
    EXPECT_NE(std::string::npos, out.find("get key(2369) val from 2a err"));
}

TEST_F(EngineTest, GetParametersListsTheIdsInOrder) {
    cache(0, 2337, 44);
    StdoutCapture capture;
    std::string out = "stale";
    EXPECT_TRUE(controller->getParameters("(34,2337)", out));
    EXPECT_EQ("(34,50)(2337,44)", out);
    EXPECT_EQ("@@ out_Parameters = (34,50)(2337,44) @@\n", capture.stop());
}

TEST_F(EngineTest, GetParametersLeavesOutKeysThatFail) {
    iasim::injectFailure(2369, 1, -1);
    std::string out;
    EXPECT_TRUE(controller->getParameters("(2369,34,abc)", out));
    // "abc" reads as key 0, which the processor answers.
    EXPECT_EQ("(34,50)(0,0)", out);
}

TEST_F(EngineTest, GetParametersRefusesMalformedIdTexts) {
    for (const char* text : {"34,2337", "()", "(34,2337", "", "(34)x", "x(34)", "(34))"}) {
        StdoutCapture capture;
        std::string out = "kept";
        EXPECT_FALSE(controller->getParameters(text, out)) << text;
        EXPECT_EQ("kept", out);
        const std::string console = capture.stop();
        EXPECT_NE(std::string::npos,
                  console.find(std::string(" getParameters fail p_strIds = ") + text + " \n"))
            << console;
    }
    EXPECT_TRUE(iasim::callLog().empty());
}

TEST_F(EngineTest, ParseSplitsTheIdsBetweenOneParenthesisPair) {
    std::vector<std::string> ids;
    EXPECT_TRUE(seam->parseSensorParameter("(34,2337)", ids));
    EXPECT_EQ((std::vector<std::string>{"34", "2337"}), ids);
    EXPECT_TRUE(seam->parseSensorParameter("(7)", ids));
    EXPECT_EQ((std::vector<std::string>{"7"}), ids);
    EXPECT_FALSE(seam->parseSensorParameter("(", ids));
    EXPECT_FALSE(seam->parseSensorParameter(")(", ids));
}

// ---- the sensor check ----

TEST_F(EngineTest, SensorCheckQueryReturnsTheResultAsText) {
    std::string text = "(1,2,3)";
    EXPECT_EQ(0, controller->SensorCheck(text));
    const auto log = iasim::callLog();
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ(2816, log[0].cmd);
    EXPECT_EQ(1, log[0].opt);
    ASSERT_EQ(4u, log[0].record.size());
    EXPECT_EQ(1, log[0].record[0]);
    EXPECT_EQ(2, log[0].record[1]);
    EXPECT_EQ(3, log[0].record[2]);
    EXPECT_EQ(std::to_string(log[0].record[3]), text);
}

TEST_F(EngineTest, SensorCheckCommandKeepsTheText) {
    std::string text = "(4,0,6)";
    EXPECT_EQ(0, controller->SensorCheck(text));
    EXPECT_EQ("(4,0,6)", text);
    const auto log = iasim::callLog();
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ(0, log[0].opt);
    EXPECT_EQ((std::vector<int32_t>{4, 0, 6}),
              std::vector<int32_t>(log[0].record.begin(), log[0].record.begin() + 3));
}

TEST_F(EngineTest, SensorCheckReturnsTheProcessorFailure) {
    iasim::injectFailure(2816, -1, -9);
    std::string text = "(1,2,3)";
    EXPECT_EQ(-9, controller->SensorCheck(text));
}

TEST_F(EngineTest, SensorCheckRefusesShortOrMalformedLists) {
    for (const char* given : {"(1,2)", "(5)", "1,2,3", "()"}) {
        std::string text = given;
        StdoutCapture capture;
        EXPECT_EQ(0, controller->SensorCheck(text)) << given;
        EXPECT_EQ(given, text);
        EXPECT_NE(std::string::npos, capture.stop().find("getParameters fail p_strIds = "));
    }
    EXPECT_TRUE(iasim::callLog().empty());
}

// ---- the cache functions ----

TEST_F(EngineTest, CacheWritesRespectTheSchemeRange) {
    EXPECT_EQ(5, seam->setKeyValToCache(1, 34, 9, false));
    EXPECT_EQ(-2, seam->setKeyValToCache(kSchemes, 34, 9, false));
    EXPECT_EQ(5, seam->setKeyValToCache(kSchemes, 34, 9, true));
    EXPECT_EQ(-2, seam->setKeyValToCache(kSchemes + 1, 34, 9, true));
    EXPECT_EQ(-1, seam->setKeyValToCache(1, 4242, 9, false));
    u32 value = 0;
    EXPECT_EQ(5, seam->getKeyValFromCache(kSchemes, 34, value));
    EXPECT_EQ(9u, value);
    value = 123;
    EXPECT_EQ(-1, seam->getKeyValFromCache(kSchemes + 1, 34, value));
    EXPECT_EQ(-1, seam->getKeyValFromCache(0, 4242, value));
    EXPECT_EQ(123u, value);
}

TEST_F(EngineTest, InvalidSchemeReadIsTraced) {
    sandbox->setDebugSwitch("6\n");
    StdoutCapture capture;
    u32 value = 0;
    seam->getKeyValFromCache(9, 34, value);
    EXPECT_NE(std::string::npos, capture.stop().find("can not find val, invalid sheme(9) \n"));
}

// ---- the time window and flush ----

struct WindowCase {
    int startHour, startMin, endHour, endMin;
    int expected;
};

class ParamCheckTest : public EngineTest, public ::testing::WithParamInterface<WindowCase> {};

TEST_P(ParamCheckTest, WindowCodes) {
    const WindowCase& c = GetParam();
    KeyVal* scheme = seam->userKeyVal()[1];
    scheme[1].value = c.startHour;
    scheme[2].value = c.startMin;
    scheme[3].value = c.endHour;
    scheme[4].value = c.endMin;
    seam->curScheme() = 1;
    EXPECT_EQ(c.expected, seam->paramCheck());
}

INSTANTIATE_TEST_SUITE_P(
    Windows, ParamCheckTest,
    ::testing::Values(WindowCase{8, 0, 20, 0, 0}, WindowCase{20, 0, 8, 0, 507},
                      WindowCase{25, 0, 26, 0, 505}, WindowCase{24, 1, 24, 0, 505},
                      WindowCase{0, 0, 24, 0, 0}, WindowCase{24, 0, 24, 30, 506},
                      WindowCase{10, 0, 25, 0, 506}, WindowCase{24, 0, 24, 0, 507},
                      WindowCase{8, 0, 8, 0, 507}, WindowCase{-1, 0, 8, 0, 505}));

TEST_F(EngineTest, FailedWindowIsTraced) {
    sandbox->setDebugSwitch("6\n");
    KeyVal* scheme = seam->userKeyVal()[0];
    scheme[1].value = 20;
    scheme[3].value = 8;
    StdoutCapture capture;
    EXPECT_EQ(507, controller->flush());
    EXPECT_NE(
        std::string::npos,
        capture.stop().find("failed!!!! nParamSchemeStartTime(2000) nParamSchemeEndTime(800)\n"));
}

TEST_F(EngineTest, FlushBeforeAnySchemeWritesNothing) {
    seam->curScheme() = -1;
    EXPECT_EQ(0, controller->flush());
    EXPECT_FALSE(sandbox->exists("/mnt/mtd/code/config_file/sensor0.cfg"));
    seam->curScheme() = static_cast<int>(kSchemes);
    EXPECT_EQ(0, controller->flush());
    for (const std::string& file : sandbox->listFiles()) {
        EXPECT_EQ(std::string::npos, file.find(".cfg")) << file;
    }
}

TEST_F(EngineTest, FlushWritesTheCurrentSchemeByteForByte) {
    seam->curScheme() = 3;
    EXPECT_EQ(0, controller->setParameter(34, -2, true));
    EXPECT_EQ(0, controller->flush());
    const std::string bytes = sandbox->readFile("/mnt/mtd/code/config_file/sensor3.cfg");
    ASSERT_EQ(8u * seam->keyValSum(), bytes.size());
    std::string expected;
    for (u32 i = 0; i < seam->keyValSum(); ++i) {
        const KeyVal& r = seam->userKeyVal()[3][i];
        const uint32_t fields[2] = {r.key, static_cast<uint32_t>(r.value)};
        for (uint32_t f : fields) {
            for (int b = 0; b < 4; ++b) {
                expected.push_back(static_cast<char>((f >> (8 * b)) & 0xff));
            }
        }
    }
    EXPECT_EQ(expected, bytes);
    EXPECT_EQ(std::string("\x22\x00\x00\x00\xfe\xff\xff\xff", 8), bytes.substr(5 * 8, 8));
}

TEST_F(EngineTest, FlushWithAnInvalidWindowWritesNothing) {
    seam->userKeyVal()[0][1].value = 25;
    EXPECT_EQ(505, controller->flush());
    EXPECT_FALSE(sandbox->exists("/mnt/mtd/code/config_file/sensor0.cfg"));
}

// ---- host threads at once ----

TEST_F(EngineTest, ConcurrentHostCallsStayConsistent) {
    const int kThreads = 4;
    const int kRounds = 150;
    // Each thread owns one key, so it must always read back what it last wrote.
    const int keys[kThreads] = {34, 2337, 2353, 154};
    std::vector<std::thread> threads;
    std::vector<int> mismatches(kThreads, 0);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            const int key = keys[t];
            for (int i = 0; i < kRounds; ++i) {
                const int value = 1000 * (t + 1) + i;
                int got = -1;
                if (i % 3 == 0) {
                    controller->setParameters(
                        "(" + std::to_string(key) + "," + std::to_string(value) + ")", true);
                } else {
                    controller->setParameter(key, value, true);
                }
                if (!controller->getParameter(key, got) || got != value) {
                    ++mismatches[t];
                }
                std::string text;
                controller->getParameters("(" + std::to_string(key) + ")", text);
            }
        });
    }
    for (auto& th : threads) {
        th.join();
    }
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(0, mismatches[t]) << "key " << keys[t];
        const int last = 1000 * (t + 1) + kRounds - 1;
        EXPECT_EQ(last, cached(0, keys[t]));
    }
    EXPECT_EQ(1000 + kRounds - 1, iasim::getValue(0, 34));
    EXPECT_EQ(2000 + kRounds - 1, iasim::getValue(0, 2337));
}
