// Named controls of the controller (engine accessors, direct processor controls, lens lock,
// zoom, shutter, illuminators) and its UI documents (ranges, parameter list, style, languages).
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <numeric>
#include <tuple>

#include "ControllerSeam.h"
#include "IaSim.h"
#include "ISensorController.h"
#include "Sandbox.h"
#include "SimVideoModule.h"

namespace {

const std::vector<KeyVal> kFactory = {
    {8000, 0}, {8001, 0}, {8002, 0}, {8003, 24}, {8004, 0}, {144, 0},  {2368, 0}, {2369, 0},
    {112, 0},  {113, 0},  {128, 0},  {130, 0},   {2400, 0}, {2401, 0}, {2304, 0}, {2305, 0},
    {2306, 0}, {2307, 0}, {2308, 0}, {2309, 0},  {2312, 0}, {2313, 0}, {2385, 0}, {2384, 0},
    {160, 0},  {170, 0},  {171, 0},  {224, 0},   {49, 0}};

using Action = std::function<bool(ISensorController&)>;
using Sent = std::vector<std::string>;
int g_sink = 0;  // what the direct getters read
bool g_heat = false;
unsigned g_af = 0;

std::string bytesOf(const KeyVal* records, size_t count) {
    return std::string(reinterpret_cast<const char*>(records), count * sizeof(KeyVal));
}

class ControlsTest : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();  // the controller reads its files in the sandbox
        ctl.reset(new ISensorController());
        seam.reset(new SensorControllerTestSeam(*ctl));
        seam->prepare(kFactory, 4);
        seam->curScheme() = 0;
    }
    void TearDown() override {
        seam->release();  // the controller's destructor frees the style text
        SandboxTest::TearDown();
    }
    // "command/option=value" of each call since the log was cleared (range queries left out).
    static Sent calls() {
        Sent out;
        for (const iasim::Call& c : iasim::callLog()) {
            if (c.cmd != IA_CMD_DYNAMIC_PARAMS_CMDS_GET && c.opt != IA_CMD_OPT_GET_PARAM_RNAGE) {
                out.push_back(std::to_string(c.cmd) + "/" + std::to_string(c.opt) + "=" +
                              std::to_string(c.value));
            }
        }
        return out;
    }
    int cached(u32 key) {
        u32 v = 0xdead;
        seam->getKeyValFromCache(0, key, v);
        return static_cast<int>(v);
    }
    // The processor's value of `cmd` and the cached value of `key`; the call log cleared.
    void state(int cmd, u32 key, int processor, int cache) {
        iasim::setValue(0, cmd, processor);
        seam->setKeyValToCache(0, key, static_cast<u32>(cache), false);
        iasim::clearLog();
    }

    std::unique_ptr<ISensorController> ctl;
    std::unique_ptr<SensorControllerTestSeam> seam;
};

#define SETTER(s) [](ISensorController& c, int v) { return c.s(v); }
#define GETTER(g) [](ISensorController& c, int& v) { return c.g(v); }
#define ACT(call) [](ISensorController& c) { return c.call; }

TEST_F(ControlsTest, EngineAccessorsReachTheirKeysAndLightTypeIsBounded) {
    using Set = std::function<bool(ISensorController&, int)>;
    using Get = std::function<bool(ISensorController&, int&)>;  // null: setter only
    const std::tuple<Set, Get, u32, int> rows[] = {
        // setter, getter, key, command sent
        {SETTER(setDNMode), GETTER(getDNMode), 144, 144},
        {SETTER(setWDRSwitch), GETTER(getWDRSwitch), 2368, 2368},
        {SETTER(setWDRStrength), GETTER(getWDRStrength), 2369, 2369},
        {SETTER(setHLCSwitch), GETTER(getHLCSwitch), 112, 112},
        {SETTER(setHLCStrength), GETTER(getHLCStrength), 113, 113},
        {SETTER(setBLCSwitch), GETTER(getBLCSwitch), 128, 128},
        {SETTER(setBLCStrength), GETTER(getBLCStrength), 130, 130},
        {SETTER(setDefogSwitch), GETTER(getDefogSwitch), 2400, 2400},
        {SETTER(setDefogStrength), GETTER(getDefogStrength), 2401, 2401},
        {SETTER(set2DSwitch), GETTER(get2DSwitch), 2304, 2304},
        {SETTER(set2DMode), GETTER(get2DMode), 2305, 2305},
        {SETTER(set2DAutoMaxStrength), GETTER(get2DAutoMaxStrength), 2306, 2306},
        {SETTER(set2DManualMaxStrength), GETTER(get2DManualMaxStrength), 2307, 2307},
        {SETTER(set3DSwitch), GETTER(get3DSwitch), 2308, 2308},
        {SETTER(set3DMode), GETTER(get3DMode), 2309, 2309},
        {SETTER(set3DAutoMaxStrength), GETTER(get3DAutoMaxStrength), 2312, 2312},
        {SETTER(set3DManualMaxStrength), GETTER(get3DManualMaxStrength), 2313, 2313},
        {SETTER(setBeaway), GETTER(getBeaway), 2385, 2385},
        {SETTER(setMirrorMode), GETTER(getMirrorValue), 2384, 2384},
        {SETTER(setIRSwitch), nullptr, 160, 160},
        {SETTER(setWhiteSwitch), nullptr, 170, 168},
        {SETTER(setWhiteMode), nullptr, 171, 169},
        {SETTER(setLightType), nullptr, 224, 224},
    };
    for (const auto& [set, get, key, cmd] : rows) {
        iasim::clearLog();
        EXPECT_TRUE(set(*ctl, 3)) << key;
        EXPECT_EQ(3, cached(key)) << key;
        EXPECT_EQ(std::to_string(cmd) + "/0=3", calls().back()) << key;
        int v = -1;
        EXPECT_TRUE(!get || (get(*ctl, v) && v == 3)) << key;
    }
    iasim::clearLog();
    EXPECT_FALSE(ctl->setLightType(4));
    EXPECT_FALSE(ctl->setLightType(-1));
    EXPECT_EQ(Sent(), calls());
    EXPECT_EQ(3, cached(224));
}

TEST_F(ControlsTest, DirectControlsReachTheProcessorUnlessTheLensIsLocked) {
    const std::tuple<Action, bool, Sent> rows[] = {
        // control, lens command, calls
        // clang-format off
        {ACT(getFocusValue(g_sink)),       true,  {"1552/1=9"}},
        {ACT(getFocusMode(g_sink)),        true,  {"1536/1=9"}},
        {ACT(getWDR(g_sink)),              false, {"2368/1=9"}},
        {ACT(getIRSwitch(g_sink)),         false, {"160/1=9"}},
        {ACT(getWhiteSwitch(g_sink)),      false, {"168/1=9"}},
        {ACT(getIrisValue(g_sink)),        false, {"82/1=9"}},
        {ACT(getHeatStatus(g_heat)),       true,  {"1606/1=9"}},
        {ACT(getAFStatistic(g_af)),        false, {"1648/1=9"}},
        {ACT(zoomIn()),                    true,  {"1569/0=1"}},
        {ACT(setZoomValue(7)),             true,  {"1568/0=7"}},
        {ACT(setFocusValue(5)),            true,  {"1552/0=5"}},
        {ACT(setFocusMode(2)),             true,  {"1536/0=2"}},
        {ACT(focusFar()),                  true,  {"1536/0=1", "1554/0=1"}},
        {ACT(setPTZRunState(2)),           false, {"1632/0=2"}},
        {ACT(setDNState(1)),               false, {"153/0=1"}},
        {ACT(setExposureStrategy(g_sink)), false, {"225/0=9"}},
        {ACT(irisUp()),                    false, {"16/0=3", "83/0=1"}},
        {ACT(setIrisValue(100)),           false, {"16/0=3", "82/0=256"}},
        {ACT(setIrisValue(30000)),         false, {"16/0=3", "82/0=1048576"}},
        // clang-format on
    };
    for (bool locked : {false, true}) {
        SensorZoomFocusParam lock;
        lock.setLockZoomFocusEnable(locked);
        EXPECT_EQ(0, ctl->setSensorZoomFocusParam(lock));
        for (const auto& [act, lens, sent] : rows) {
            for (int cmd : {1552, 1536, 2368, 160, 168, 82, 1606, 1648}) {
                iasim::setValue(0, cmd, 9);
            }
            g_sink = 9;
            iasim::clearLog();
            EXPECT_TRUE(act(*ctl)) << sent.back();
            EXPECT_EQ(locked && lens ? Sent() : sent, calls()) << locked;
        }
    }
}

TEST_F(ControlsTest, ZoomRatioAndVersionText) {
    const std::pair<int, int> zoom[] = {
        {16384, 1000}, {20480, 1500}, {24576, 2000}, {31424, 16000}, {31425, -7}};
    for (const auto& [position, ratio] : zoom) {
        iasim::setValue(0, 1568, position);
        int pos = 0, r = -7;
        EXPECT_TRUE(ctl->getZoomValue(pos, r));
        EXPECT_EQ(std::make_pair(position, ratio), std::make_pair(pos, r));
    }
    for (size_t n : {4, 49, 50, 60}) {  // 49 characters at most: the 50 bytes have no terminator
        iasim::setVersionText(0, std::string(n, 'v'));
        std::string text;
        EXPECT_TRUE(ctl->getCameraVerInf(text));
        EXPECT_EQ(std::string(std::min<size_t>(n, 49), 'v'), text);
    }
}

TEST_F(ControlsTest, OnlyTheFirstThirtyOfFortyShutterStepsCanBeReached) {
    std::vector<int> items(40);
    std::iota(items.begin(), items.end(), 100);
    iasim::setDynamicCmds(0, {49});
    iasim::setDiscreteRange(0, 49, 100, items);
    const std::tuple<int, bool, bool, Sent> rows[] = {
        // current, up, succeeds, calls
        {105, true, true, {"49/1=105", "49/0=106"}},
        {105, false, true, {"49/1=105", "49/0=104"}},
        {129, true, true, {"49/1=129", "49/0=129"}},  // at the top: applied again
        {135, true, false, {"49/1=135"}}};
    for (const auto& [current, up, ok, sent] : rows) {
        state(49, 49, current, 0);
        EXPECT_EQ(ok, up ? ctl->shutterUp() : ctl->shutterDown()) << current;
        EXPECT_EQ(sent, calls()) << current;
    }
    EXPECT_TRUE(ctl->setShutterValue(29));
    EXPECT_EQ(129, cached(49));
    EXPECT_FALSE(ctl->setShutterValue(30));
}

TEST_F(ControlsTest, SwitchingOneIlluminatorOnSwitchesTheOtherOff) {
    const std::tuple<int, int, Action, Sent> rows[] = {
        // infrared, white light, action, calls
        {0, 1, ACT(setIRSwitch(1)), {"168/1=1", "168/0=0", "160/0=1"}},
        {1, 1, ACT(setIRSwitch(0)), {"160/0=0"}},
        {1, 0, ACT(setWhiteSwitch(1)), {"160/1=1", "160/0=0", "168/0=1"}}};
    for (const auto& [ir, white, act, sent] : rows) {
        state(160, 160, ir, ir);
        state(168, 170, white, white);
        EXPECT_TRUE(act(*ctl)) << sent.back();
        EXPECT_EQ(sent, calls());
    }
}

TEST_F(ControlsTest, MirrorWritesTheCurrentSchemeFileEvenWhenUnchanged) {
    seam->curScheme() = 2;
    for (int v : {0, 1}) {
        sandbox->remove("/mnt/mtd/code/config_file/sensor2.cfg");
        EXPECT_TRUE(ctl->setMirrorMode(v));
        EXPECT_EQ(bytesOf(seam->userKeyVal()[2], kFactory.size()),
                  sandbox->readFile("/mnt/mtd/code/config_file/sensor2.cfg"));
    }
}

TEST_F(ControlsTest, RangeOfTheFourRangeCommandsOnlyWhenListed) {
    for (int cmd : {49, 50, 82, 1537}) {
        iasim::setDynamicCmds(0, {34, cmd});
        iasim::setDiscreteRange(0, cmd, 2, {1, 2, 4});
        int def = -1;
        std::string range;
        StdoutCapture out;
        EXPECT_TRUE(ctl->getSensorParamRange(cmd, def, range)) << cmd;
        EXPECT_EQ("cmd=" + std::to_string(cmd) + " DefaltParam=2 strParamRange=1 2 4\n",
                  out.stop());  // prints the outputs
    }
    iasim::setDiscreteRange(0, 34, 2, {1, 2, 4});
    int def = -5;
    std::string range = "keep";
    EXPECT_FALSE(ctl->getSensorParamRange(34, def, range));  // listed, not a range command
    EXPECT_FALSE(ctl->getSensorParamRange(49, def, range));  // no longer listed
    iasim::setDynamicCmds(0, {49, 50});
    iasim::setRange(0, 50, ia_dynamic_params_attr_st{1, 30, 10, 90, 2, {10, 90}});
    EXPECT_TRUE(ctl->getSensorParamRange(50, def, range));  // not discrete: outputs kept
    EXPECT_EQ(-5, def);
    EXPECT_EQ("keep", range);
    iasim::setDiscreteRange(0, 49, 7, {});
    range.clear();
    EXPECT_TRUE(ctl->getSensorParamRange(49, def, range));
    EXPECT_EQ(7, def);
    EXPECT_EQ("", range);
}

TEST_F(ControlsTest, AllParametersCorrectedBelowStyleValue200ElseAsSaved) {
    seam->release();
    seam->prepare({{8000, 0}, {49, 25}, {34, 50}}, 4);
    const KeyVal saved[] = {{8000, 0}, {49, 33}, {34, 60}};
    sandbox->writeFile("/mnt/mtd/code/config_file/sensor0.cfg", bytesOf(saved, 3));
    iasim::setDynamicCmds(0, {49});
    iasim::setDiscreteRange(0, 49, 18, {1, 18});
    const std::string style = "<style><tab key=\"e\"><param id=\"49\" value=\"";
    sandbox->writeFile("/tmp/merge_style_ch1.xml", style + "150\"/></tab></style>");
    std::string out;
    EXPECT_TRUE(ctl->getAllParameters(out));
    EXPECT_TRUE(ctl->getAllParameters(out));
    EXPECT_EQ("(8000,0)(49,18)(34,50)(8000,0)(49,18)(34,50)", out);
    sandbox->writeFile("/tmp/merge_style_ch1.xml", style + "250\"/></tab></style>");
    out.clear();
    EXPECT_TRUE(ctl->getAllParameters(out));
    EXPECT_EQ("(8000,0)(49,33)(34,60)", out);
}

TEST_F(ControlsTest, StyleFileWaitsForTheProcessorAndLanguageFilesNeedTheTable) {
    seam->sysConf().szUIStyle = strdup("<style><tab key=\"a\"/></style>");
    iasim::setDynamicCmds(0, {});
    SimVideoModule video;
    video.setReadyAfter(2);
    ctl->setVideoStreamModule(&video);
    StdoutCapture out;
    EXPECT_NE(std::string::npos, ctl->getUIStyleFile().find("<tab key=\"a\""));
    EXPECT_EQ("### m_pVideoStreamModule->get2ARunRet() is ok! count = 2\n", out.stop());
    EXPECT_EQ(3, video.pollCount());

    EXPECT_EQ("", ctl->getUILanguageFile(1));  // no language table
    EXPECT_EQ("", ctl->getUICommonFile(1));
}

}  // namespace
