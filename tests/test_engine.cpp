// The parameter engine: what reaches the processor and the video module, what lands in the
// scheme caches and files, and the text forms of setting and getting parameters.
#include <functional>
#include <initializer_list>
#include <memory>
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

// The five scheme keys first (window 00:00 - 24:00), then the keys the cases use.
const std::vector<KeyVal> kFactory = {
    {8000, 0}, {8001, 0}, {8002, 0}, {8003, 24}, {8004, 0}, {34, 50},  {2337, 50}, {2353, 50},
    {144, 0},  {145, 30}, {154, 3},  {161, 0},   {163, 10}, {165, 10}, {167, 60},  {168, 0},
    {201, 0},  {224, 0},  {2384, 0}, {8201, 0},  {10, 0},   {11, 0}};

using Strings = std::vector<std::string>;

// The set calls of the processor log: "cmd=value", "cmd=[a,b,c]" for a record, " fail" after
// a call that failed.
Strings sets() {
    Strings out;
    for (const iasim::Call& call : iasim::callLog()) {
        std::string value = std::to_string(call.value);
        if (!call.record.empty()) {
            value.clear();
            for (int32_t field : call.record) {
                value += (value.empty() ? "[" : ",") + std::to_string(field);
            }
            value += "]";
        }
        if (call.opt == 0) {
            out.push_back(std::to_string(call.cmd) + "=" + value + (call.result ? " fail" : ""));
        }
    }
    return out;
}

class EngineTest : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        controller.reset(new ISensorController());
        seam.reset(new SensorControllerTestSeam(*controller));
        seam->prepare(kFactory, kSchemes);
        controller->setVideoStreamModule(&video);
        seam->curScheme() = 0;
        iasim::clearLog();
    }
    void TearDown() override {
        seam->release();
        seam.reset();
        controller.reset();
        SandboxTest::TearDown();
    }
    // The cached values of keys in one scheme, "v1,v2,...", "?" for a key not held.
    std::string values(u32 scheme, std::initializer_list<u32> keys) {
        std::string out;
        for (u32 key : keys) {
            u32 value = 0;
            const bool held = seam->getKeyValFromCache(scheme, key, value) >= 0;
            out += (out.empty() ? "" : ",") + (held ? std::to_string(int32_t(value)) : "?");
        }
        return out;
    }
    void cache(u32 scheme, u32 key, int value) {
        ASSERT_GE(seam->setKeyValToCache(scheme, key, static_cast<u32>(value), true), 0);
    }
    std::string console(const std::string& level, const std::function<void()>& action) {
        sandbox->setDebugSwitch(level);
        StdoutCapture capture;
        action();
        return capture.stop();
    }

    SimVideoModule video;
    // Built in SetUp, once the sandbox root is in place.
    std::unique_ptr<ISensorController> controller;
    std::unique_ptr<SensorControllerTestSeam> seam;
};

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

TEST_F(EngineTest, CachedEqualValueIsSkippedWhenSavingAndSentOtherwise) {
    // At level 1 a list prints only its closing newline.
    EXPECT_EQ("\n", console("1", [&] { EXPECT_EQ(0, controller->setParameter(34, 50, true)); }));
    EXPECT_EQ(0, controller->setParameter(34, 50, false));
    EXPECT_EQ(0, controller->setParameter(34, 61, false));
    EXPECT_EQ("50", values(0, {34}));
    EXPECT_EQ(0, controller->setParameter(34, 62, true));
    EXPECT_EQ((Strings{"34=50", "34=61", "34=62"}), sets());
    EXPECT_EQ("62,50", values(0, {34}) + "," + values(1, {34}));
}

TEST_F(EngineTest, SchemeKeysAreStoredAndTheModeSpreadsFromSchemeZero) {
    const struct {
        int mode;
        bool schedule, autoDn;
        const char* schemes;  // scheme-mode values of schemes 0 to 4 afterwards
    } cases[] = {{1, true, false, "1,1,1,1,0"},
                 {2, false, true, "2,2,2,2,0"},
                 {7, false, false, "7,0,0,0,0"}};
    for (const auto& c : cases) {
        EXPECT_EQ(0, controller->setParameter(8000, c.mode, true));
        EXPECT_EQ(c.schedule, seam->scheduleScheme()) << c.mode;
        EXPECT_EQ(c.autoDn, seam->autoScheme()) << c.mode;
        std::string all;
        for (u32 s = 0; s <= kSchemes; ++s) {
            all += (s ? "," : "") + values(s, {8000});
        }
        EXPECT_EQ(c.schemes, all);
    }
    // Outside scheme 0 the mode is only stored, like the window and the two empty keys.
    seam->curScheme() = 2;
    EXPECT_EQ(0, controller->setParameters("(8000,2)(8001,8)(8004,15)(10,1)(11,2)", true));
    EXPECT_FALSE(seam->autoScheme());
    EXPECT_EQ("2,8,15,1,2", values(2, {8000, 8001, 8004, 10, 11}));
    EXPECT_EQ("0", values(1, {8000}));
    EXPECT_EQ(Strings{}, sets());
}

TEST_F(EngineTest, ThermalChannelRoutesItsKeysToTheVideoModule) {
    seam->cameraId() = 2;
    iasim::injectFailure(2384, 0, -1);  // routed results do not stop the list
    EXPECT_EQ(0, controller->setParameters("(8201,1)(8217,2)(2384,3)(34,5)", true));
    EXPECT_EQ(3u, video.notifications().size());
    EXPECT_EQ(2, video.notifications()[2].channel);
    EXPECT_EQ(8217, video.notifications()[1].key);
    EXPECT_EQ((Strings{"2384=3 fail", "34=5"}), sets());
    EXPECT_EQ("1,3,5", values(0, {8201, 2384, 34}));
}

TEST_F(EngineTest, AutoDayNightModeSharesSchemeZerosKeysAndStoresOthers) {
    seam->autoScheme() = true;
    EXPECT_EQ(0, controller->setParameter(144, 1, true));
    EXPECT_EQ("1,1,0", values(0, {144}) + "," + values(1, {144}) + "," + values(2, {144}));
    seam->curScheme() = 1;
    EXPECT_EQ(0, controller->setParameters("(144,2)(145,40)(154,5)", true));
    // Sensitivity stays per scheme and is sent (with the threshold just stored); the shared
    // keys are only stored.
    EXPECT_EQ((Strings{"144=1", "154=[40,0,5]"}), sets());
    EXPECT_EQ("2,40,5", values(1, {144, 145, 154}));
    EXPECT_EQ("1,30,3", values(0, {144, 145, 154}));
}

TEST_F(EngineTest, LightTypeSelectsPlainOrShadowKeys) {
    EXPECT_EQ(0, controller->setParameters("(161,2)(168,5)", true));
    EXPECT_EQ("2,2", values(0, {161, 168}));
    cache(0, 224, 2);
    EXPECT_EQ(0, controller->setParameters("(161,1)(168,3)(201,9)", true));
    // Shadow keys go out under their plain keys, also those without a row of their own.
    EXPECT_EQ((Strings{"161=2", "161=3", "165=9"}), sets());
    EXPECT_EQ("3,3,9,9", values(0, {161, 168, 165, 201}));
    iasim::injectFailure(161, 0, -1);
    EXPECT_EQ(-161, controller->setParameter(168, 4, true));
    EXPECT_EQ("4,3", values(0, {161, 168}));  // the mirror write comes before the dispatch

    // Without a current scheme the light type reads as 0 and nothing is mirrored.
    seam->curScheme() = -1;
    iasim::clearFailures();
    iasim::clearLog();
    EXPECT_EQ(0, controller->setParameters("(168,7)(161,4)", true));
    EXPECT_EQ((Strings{"161=4"}), sets());
    EXPECT_EQ("4,3", values(0, {161, 168}));
}

TEST_F(EngineTest, LimitedIrPowerRejectsTooStrongPairsWithTheFirstKey) {
    seam->limitedIrPower() = true;  // far is cached at 60
    EXPECT_EQ(-34, controller->setParameters("(34,70)(163,41)(2337,40)", true));
    EXPECT_EQ(0, controller->setParameter(163, 40, true));
    EXPECT_EQ(-167, controller->setParameter(167, 61, true));
    EXPECT_EQ((Strings{"34=70", "163=40"}), sets());
    EXPECT_EQ("70,40,50", values(0, {34, 163, 2337}));

    // Without a cached far strength the processor is asked for it.
    seam->release();
    seam->prepare({{8000, 0}, {8001, 0}, {8002, 0}, {8003, 24}, {8004, 0}, {163, 10}}, 2);
    iasim::setValue(0, 167, 90);
    std::string out = console("1", [&] {
        EXPECT_EQ(-163, controller->setParameter(163, 20, true));
        iasim::injectFailure(167, 1, -1);
        EXPECT_EQ(0, controller->setParameter(163, 99, true));
    });
    EXPECT_TRUE(contains(out, "### KEY_IR_MANUAL_STRG_FAR doIaCmd sucess\n"));
    EXPECT_TRUE(contains(out, "### KEY_IR_MANUAL_STRG_FAR doIaCmd error\n"));
}

TEST_F(EngineTest, UnknownKeyGoesToTheProcessorWithTheKeyAsCommand) {
    const std::string out =
        console("6\n", [&] { EXPECT_EQ(0, controller->setParameter(4, 9, true)); });
    EXPECT_EQ((Strings{"4=9"}), sets());
    EXPECT_TRUE(contains(out, "-1 != findFromKeyCmdMap(m_pKeyCmdMap, nKey, stKeyCmdTmp)"));
    EXPECT_TRUE(contains(out, "p_pKeyval[0].key(4)"));
    EXPECT_TRUE(contains(out, "\x1b[0m\x1b[32mnot find (4) \n\x1b[0m"));
    EXPECT_TRUE(contains(out,
                         "====================== set unknow key (4,9) "
                         "func:ISensorController::doIaCmd ia_cmd:4 ====="));
}

TEST_F(EngineTest, HandlerFailureStopsTheListWithTheNegatedKey) {
    iasim::injectFailure(2337, 0, -1);
    const std::string out = console("6\n", [&] {
        EXPECT_EQ(-2337, controller->setParameters("(34,60)(2337,70)(2353,80)", true));
    });
    EXPECT_TRUE(contains(out,
                         "set KEY_SATURATION (2337,70) func:&ISensorController::doIaCmd "
                         "ia_cmd:2337 ~~~failed ia_ret=-1\n"));
    EXPECT_EQ((Strings{"34=60", "2337=70 fail"}), sets());
    EXPECT_EQ("60,50,50", values(0, {34, 2337, 2353}));
}

TEST_F(EngineTest, PairsBeyondTheScratchArrayAreIgnored) {
    std::string text;
    for (u32 i = 0; i < seam->keyValSum(); ++i) {
        text += "(2337," + std::to_string(100 + i) + ")";
    }
    EXPECT_EQ(0, controller->setParameters(text + "(34,77)(2353,78)", true));
    EXPECT_EQ(std::to_string(99 + seam->keyValSum()) + ",50,50", values(0, {2337, 34, 2353}));
    EXPECT_EQ(seam->keyValSum(), sets().size());
}

TEST_F(EngineTest, ReadsAnswerFromCacheInfraredDefaultOrProcessor) {
    cache(0, 2337, 44);
    iasim::setValue(0, 2353, 42);
    iasim::setValue(0, 2369, 43);
    iasim::injectFailure(2369, 1, -1);
    std::string out = "stale";
    const std::string text = console("1", [&] {
        EXPECT_TRUE(controller->getParameters("(34,2369,2337)", out));
        for (const char* bad : {"34,2337", "()", "(34,2337", "", "(34))", "x(34)"}) {
            EXPECT_FALSE(controller->getParameters(bad, out)) << bad;
        }
    });
    EXPECT_EQ("(34,50)(2337,44)", out);
    EXPECT_TRUE(contains(text, "@@ out_Parameters = (34,50)(2337,44) @@\n"));
    EXPECT_TRUE(contains(text, "get key(2369) val from 2a err"));
    EXPECT_TRUE(contains(text, " getParameters fail p_strIds = (34,2337 \n"));
    EXPECT_TRUE(contains(text, " getParameters fail p_strIds =  \n"));

    seam->curScheme() = -1;
    iasim::clearLog();
    for (int key : {160, 161, 163, 165, 167}) {
        int value = 0;
        EXPECT_TRUE(controller->getParameter(key, value));
        EXPECT_EQ(-1, value) << key;
    }
    EXPECT_TRUE(iasim::callLog().empty());
    int value = 0;
    EXPECT_TRUE(controller->getParameter(2353, value));
    EXPECT_EQ(42, value);
}

TEST_F(EngineTest, SensorCheckSendsItsRecordAndAnswersQueries) {
    std::string query = "(1,2,3)", command = "(4,0,6)";
    EXPECT_EQ(0, controller->SensorCheck(query));
    EXPECT_EQ(0, controller->SensorCheck(command));
    for (const char* refused : {"(1,2)", "1,2,3", "()"}) {
        std::string text = refused;
        EXPECT_EQ(0, controller->SensorCheck(text));
        EXPECT_EQ(refused, text);
    }
    const auto log = iasim::callLog();
    ASSERT_EQ(2u, log.size());
    EXPECT_EQ((Strings{"2816=[4,0,6,0]"}), sets());
    ASSERT_EQ(4u, log[0].record.size());
    EXPECT_EQ(1, log[0].opt);
    EXPECT_EQ(std::to_string(log[0].record[3]), query);  // the result the processor wrote
    EXPECT_EQ("(4,0,6)", command);
}

TEST_F(EngineTest, ParamCheckCodesOfTheTimeWindow) {
    const struct {
        int startHour, startMin, endHour, endMin, code;
    } cases[] = {{8, 0, 20, 0, 0}, {20, 0, 8, 0, 507},   {25, 0, 26, 0, 505}, {24, 1, 24, 0, 505},
                 {0, 0, 24, 0, 0}, {24, 0, 24, 30, 506}, {24, 0, 24, 0, 507}, {-1, 0, 8, 0, 505}};
    seam->curScheme() = 1;
    for (const auto& c : cases) {
        KeyVal* window = seam->userKeyVal()[1] + 1;
        window[0].value = c.startHour;
        window[1].value = c.startMin;
        window[2].value = c.endHour;
        window[3].value = c.endMin;
        EXPECT_EQ(c.code, seam->paramCheck())
            << c.startHour << ":" << c.startMin << " - " << c.endHour << ":" << c.endMin;
    }
}

TEST_F(EngineTest, FlushWritesTheCurrentSchemeOnlyWhenThereIsOne) {
    for (int scheme : {-1, static_cast<int>(kSchemes)}) {
        seam->curScheme() = scheme;
        EXPECT_EQ(0, controller->flush());
    }
    seam->curScheme() = 0;
    seam->userKeyVal()[0][1].value = 25;
    EXPECT_EQ(505, controller->flush());
    for (const std::string& file : sandbox->listFiles()) {
        EXPECT_FALSE(contains(file, ".cfg")) << file;
    }
    seam->curScheme() = 3;
    EXPECT_EQ(0, controller->setParameter(34, -2, true));
    EXPECT_EQ(0, controller->flush());
    const std::string bytes = sandbox->readFile("/mnt/mtd/code/config_file/sensor3.cfg");
    ASSERT_EQ(8u * kFactory.size(), bytes.size());
    EXPECT_EQ(std::string("\x40\x1f\0\0\0\0\0\0", 8), bytes.substr(0, 8));
    EXPECT_EQ(std::string("\x22\0\0\0\xfe\xff\xff\xff", 8), bytes.substr(5 * 8, 8));
    seam->cameraId() = 2;
    EXPECT_EQ(0, controller->flush());
    EXPECT_EQ(bytes, sandbox->readFile("/mnt/mtd/code/config_file/sensor-thermal3.cfg"));
}

TEST_F(EngineTest, ConcurrentHostCallsStayConsistent) {
    // Each thread owns one key, so it must always read back what it last wrote.
    const int keys[] = {34, 2337, 2353, 154};
    std::vector<std::thread> threads;
    std::vector<int> mismatches(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            const std::string key = std::to_string(keys[t]);
            for (int i = 0; i < 150; ++i) {
                const std::string value = std::to_string(1000 * (t + 1) + i);
                if (i % 2 == 0) {
                    controller->setParameters("(" + key + "," + value + ")", true);
                } else {
                    controller->setParameter(keys[t], std::stoi(value), true);
                }
                int got = -1;
                std::string text;
                mismatches[t] += !controller->getParameter(keys[t], got) || got != std::stoi(value);
                mismatches[t] += !controller->getParameters("(" + key + ")", text) ||
                                 text != "(" + key + "," + value + ")";
            }
        });
    }
    for (auto& th : threads) {
        th.join();
    }
    EXPECT_EQ((std::vector<int>{0, 0, 0, 0}), mismatches);
    EXPECT_EQ("1149,2149,3149,4149", values(0, {34, 2337, 2353, 154}));
    EXPECT_EQ(1149, iasim::getValue(0, 34));
}
