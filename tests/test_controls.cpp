// Named lens, exposure and light controls: the engine accessors by key, the direct processor
// controls, zoom ratio and iris bounds, shutter stepping, the illuminators' exclusion and the
// zoom/focus lock.
#include <functional>
#include <memory>

#include "ControllerSeam.h"
#include "IaSim.h"
#include "ISensorController.h"
#include "Sandbox.h"

namespace {

const std::vector<KeyVal> kFactory = {
    {8000, 0}, {8001, 0}, {8002, 0}, {8003, 24}, {8004, 0}, {144, 0},  {2368, 0}, {2369, 0},
    {112, 0},  {113, 0},  {128, 0},  {130, 0},   {2400, 0}, {2401, 0}, {2304, 0}, {2305, 0},
    {2306, 0}, {2307, 0}, {2308, 0}, {2309, 0},  {2312, 0}, {2313, 0}, {2385, 0}, {2384, 0},
    {160, 0},  {170, 0},  {171, 0},  {224, 0},   {49, 0}};

using Action = std::function<bool(ISensorController&)>;
int g_sink = 0;  // receives what the direct getters read

class ControlsTest : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        setshowBeawayFalg(true);
        ctl.reset(new ISensorController());
        seam.reset(new SensorControllerTestSeam(*ctl));
        seam->prepare(kFactory, 4);
        seam->curScheme() = 0;
        seam->showWDR() = true;
        iasim::clearLog();
    }
    void TearDown() override {
        seam->release();
        seam.reset();
        ctl.reset();
        SandboxTest::TearDown();
    }
    // "command/option=value" of each logged call (range queries left out).
    static std::vector<std::string> calls() {
        std::vector<std::string> out;
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
    void cache(u32 key, int v) { seam->setKeyValToCache(0, key, static_cast<u32>(v), false); }

    std::unique_ptr<ISensorController> ctl;
    std::unique_ptr<SensorControllerTestSeam> seam;
};

#define SETTER(s) [](ISensorController& c, int v) { return c.s(v); }
#define GETTER(g) [](ISensorController& c, int& v) { return c.g(v); }
#define ACT(call) [](ISensorController& c) { return c.call; }
// One row: the call as its own name, the call, the processor calls it makes.
// clang-format off
#define DIRECT(call, ...) {#call, ACT(call), {__VA_ARGS__}}
// clang-format on

TEST_F(ControlsTest, EngineAccessorsReachTheirKeys) {
    struct Row {
        const char* name;
        std::function<bool(ISensorController&, int)> set;
        std::function<bool(ISensorController&, int&)> get;  // null: setter only
        u32 key;
        int cmd;
    };
    const Row rows[] = {
        {"DNMode", SETTER(setDNMode), GETTER(getDNMode), 144, 144},
        {"WDRSwitch", SETTER(setWDRSwitch), GETTER(getWDRSwitch), 2368, 2368},
        {"WDRStrength", SETTER(setWDRStrength), GETTER(getWDRStrength), 2369, 2369},
        {"HLCSwitch", SETTER(setHLCSwitch), GETTER(getHLCSwitch), 112, 112},
        {"HLCStrength", SETTER(setHLCStrength), GETTER(getHLCStrength), 113, 113},
        {"BLCSwitch", SETTER(setBLCSwitch), GETTER(getBLCSwitch), 128, 128},
        {"BLCStrength", SETTER(setBLCStrength), GETTER(getBLCStrength), 130, 130},
        {"DefogSwitch", SETTER(setDefogSwitch), GETTER(getDefogSwitch), 2400, 2400},
        {"DefogStrength", SETTER(setDefogStrength), GETTER(getDefogStrength), 2401, 2401},
        {"2DSwitch", SETTER(set2DSwitch), GETTER(get2DSwitch), 2304, 2304},
        {"2DMode", SETTER(set2DMode), GETTER(get2DMode), 2305, 2305},
        {"2DAuto", SETTER(set2DAutoMaxStrength), GETTER(get2DAutoMaxStrength), 2306, 2306},
        {"2DManual", SETTER(set2DManualMaxStrength), GETTER(get2DManualMaxStrength), 2307, 2307},
        {"3DSwitch", SETTER(set3DSwitch), GETTER(get3DSwitch), 2308, 2308},
        {"3DMode", SETTER(set3DMode), GETTER(get3DMode), 2309, 2309},
        {"3DAuto", SETTER(set3DAutoMaxStrength), GETTER(get3DAutoMaxStrength), 2312, 2312},
        {"3DManual", SETTER(set3DManualMaxStrength), GETTER(get3DManualMaxStrength), 2313, 2313},
        {"Beaway", SETTER(setBeaway), GETTER(getBeaway), 2385, 2385},
        {"Mirror", SETTER(setMirrorMode), GETTER(getMirrorValue), 2384, 2384},
        {"IRSwitch", SETTER(setIRSwitch), nullptr, 160, 160},
        {"WhiteSwitch", SETTER(setWhiteSwitch), nullptr, 170, 168},
        {"WhiteMode", SETTER(setWhiteMode), nullptr, 171, 169},
        {"LightType", SETTER(setLightType), nullptr, 224, 224},
    };
    for (const Row& r : rows) {
        iasim::clearLog();
        EXPECT_TRUE(r.set(*ctl, 3)) << r.name;
        EXPECT_EQ(3, cached(r.key)) << r.name;
        const std::string sent = std::to_string(r.cmd) + "/0=3";
        EXPECT_EQ(sent, calls().back()) << r.name;
        int v = -1;
        if (r.get) {
            EXPECT_TRUE(r.get(*ctl, v)) << r.name;
            EXPECT_EQ(3, v) << r.name;
        }
    }
}

TEST_F(ControlsTest, ReferenceSetterDoesNotWriteBackAHiddenFeaturesZero) {
    seam->showWDR() = false;
    int v = 1;
    EXPECT_TRUE(ctl->setWDRSwitch(v));
    EXPECT_EQ(1, v);
    EXPECT_EQ(0, cached(2368));
    EXPECT_TRUE(calls().empty());
}

TEST_F(ControlsTest, DirectControlsReachTheProcessorAtOnce) {
    struct Row {
        const char* name;
        Action act;
        std::vector<std::string> sent;
    };
    for (int cmd : {1552, 1536, 2368, 160, 168, 169, 224, 82}) {
        iasim::setValue(0, cmd, 9);
    }
    const Row rows[] = {
        DIRECT(getFocusValue(g_sink), "1552/1=9"),
        DIRECT(getFocusMode(g_sink), "1536/1=9"),
        DIRECT(getWDR(g_sink), "2368/1=9"),
        DIRECT(getIRSwitch(g_sink), "160/1=9"),
        DIRECT(getWhiteSwitch(g_sink), "168/1=9"),
        DIRECT(getWhiteMode(g_sink), "169/1=9"),
        DIRECT(getLightType(g_sink), "224/1=9"),
        DIRECT(getIrisValue(g_sink), "82/1=9"),
        DIRECT(zoomIn(), "1569/0=1"),
        DIRECT(zoomOut(), "1570/0=1"),
        DIRECT(setZoomValue(7), "1568/0=7"),
        DIRECT(setPTZRunState(2), "1632/0=2"),
        DIRECT(setFocusValue(5), "1552/0=5"),
        DIRECT(setFocusMode(2), "1536/0=2"),
        DIRECT(setDNState(1), "153/0=1"),
        DIRECT(setExposureStrategy(g_sink), "225/0=9"),
        DIRECT(focusFar(), "1536/0=1", "1554/0=1"),
        DIRECT(focusNear(), "1536/0=1", "1553/0=1"),
        DIRECT(irisUp(), "16/0=3", "83/0=1"),
        DIRECT(irisDown(), "16/0=3", "84/0=1"),
        DIRECT(setIrisValue(100), "16/0=3", "82/0=256"),
        DIRECT(setIrisValue(-5), "16/0=3", "82/0=256"),
        DIRECT(setIrisValue(25600), "16/0=3", "82/0=25600"),
        DIRECT(setIrisValue(25601), "16/0=3", "82/0=1048576"),
        DIRECT(setIrisValue(30000), "16/0=3", "82/0=1048576"),
    };
    for (const Row& r : rows) {
        iasim::clearLog();
        EXPECT_TRUE(r.act(*ctl)) << r.name;
        EXPECT_EQ(r.sent, calls()) << r.name;
    }
    iasim::clearLog();
    iasim::injectFailure(16, IA_CMD_OPT_SET, -1);
    EXPECT_FALSE(ctl->setIrisValue(300));
    EXPECT_FALSE(ctl->irisUp());
    EXPECT_EQ(2u, calls().size());  // the two failed exposure-mode sets only
    iasim::injectFailure(1536, IA_CMD_OPT_SET, -1);
    EXPECT_TRUE(ctl->focusFar());
}

TEST_F(ControlsTest, ZoomRatio) {
    const std::pair<int, int> rows[] = {{0, 1000},     {16384, 1000},  {20480, 1500}, {24576, 2000},
                                        {27264, 3000}, {31424, 16000}, {31425, -7},   {-1, -7}};
    for (const auto& r : rows) {
        iasim::setValue(0, 1568, r.first);
        int pos = 0, ratio = -7;
        EXPECT_TRUE(ctl->getZoomValue(pos, ratio)) << r.first;
        EXPECT_EQ(r.first, pos);
        EXPECT_EQ(r.second, ratio) << r.first;
    }
    iasim::injectFailure(1568, IA_CMD_OPT_GET, -1);
    int pos = 0, ratio = -7;
    EXPECT_FALSE(ctl->getZoomValue(pos, ratio));
    EXPECT_EQ(-7, ratio);
}

TEST_F(ControlsTest, ZoomFocusLockKeepsLensCommandsFromTheProcessor) {
    SensorZoomFocusParam lock;
    lock.setLockZoomFocusEnable(true);
    EXPECT_EQ(0, ctl->setSensorZoomFocusParam(lock));
    bool heat = false;
    unsigned af = 0;
    EXPECT_TRUE(ctl->zoomIn());
    EXPECT_TRUE(ctl->focusFar());
    EXPECT_TRUE(ctl->setFocusValue(5));
    EXPECT_TRUE(ctl->getHeatStatus(heat));
    EXPECT_TRUE(calls().empty());
    EXPECT_TRUE(ctl->setPTZRunState(1));
    EXPECT_TRUE(ctl->getAFStatistic(af));
    EXPECT_EQ((std::vector<std::string>{"1632/0=1", "1648/1=0"}), calls());
}

TEST_F(ControlsTest, LightTypeOutOfRangeIsRefusedUnsent) {
    EXPECT_FALSE(ctl->setLightType(4));
    EXPECT_FALSE(ctl->setLightType(-1));
    EXPECT_TRUE(calls().empty());
    EXPECT_EQ(0, cached(224));
}

TEST_F(ControlsTest, HeatStatusAndVersionText) {
    bool heat = false;
    iasim::setValue(0, 1606, 5);
    EXPECT_TRUE(ctl->getHeatStatus(heat));
    EXPECT_TRUE(heat);
    iasim::setValue(0, 1606, 0);
    EXPECT_TRUE(ctl->getHeatStatus(heat));
    EXPECT_FALSE(heat);
    const std::pair<std::string, std::string> versions[] = {
        {"V1.2", "V1.2"},
        {std::string(49, 'a'), std::string(49, 'a')},
        {std::string(50, 'b'), std::string(49, 'b')},
        {std::string(60, 'c'), std::string(49, 'c')}};
    for (const auto& v : versions) {
        iasim::setVersionText(0, v.first);
        std::string text;
        EXPECT_TRUE(ctl->getCameraVerInf(text));
        EXPECT_EQ(v.second, text);
    }
    iasim::injectFailure(2496, IA_CMD_OPT_GET, -1);
    iasim::injectFailure(1606, IA_CMD_OPT_GET, -1);
    std::string text = "old";
    heat = true;
    EXPECT_FALSE(ctl->getCameraVerInf(text));
    EXPECT_FALSE(ctl->getHeatStatus(heat));
    EXPECT_EQ("old", text);
    EXPECT_TRUE(heat);
}

class ShutterTest : public ControlsTest {
protected:
    void SetUp() override {
        ControlsTest::SetUp();
        std::vector<int> items;
        for (int i = 0; i < 40; ++i) {
            items.push_back(100 + i);
        }
        iasim::setDynamicCmds(0, {49});
        iasim::setDiscreteRange(0, 49, 100, items);
    }
    // The processor's and the cache's current shutter.
    void current(int v) {
        iasim::setValue(0, 49, v);
        cache(49, v);
        iasim::clearLog();
    }
};

TEST_F(ShutterTest, OnlyTheFirstThirtyStepsCanBeReached) {
    EXPECT_TRUE(ctl->setShutterValue(29));
    EXPECT_EQ(129, cached(49));
    iasim::clearLog();
    EXPECT_FALSE(ctl->setShutterValue(30));
    EXPECT_FALSE(ctl->setShutterValue(-1));
    int index = -3;
    current(135);
    EXPECT_FALSE(ctl->getShutterValue(index));
    EXPECT_FALSE(ctl->shutterUp());
    EXPECT_EQ(-3, index);
    current(107);
    EXPECT_TRUE(ctl->getShutterValue(index));
    EXPECT_EQ(7, index);
    EXPECT_EQ(std::vector<std::string>{"49/1=107"}, calls());
}

TEST_F(ShutterTest, SteppingUpAndDown) {
    const struct {
        int cur;
        bool up;
        const char* sent;  // null: nothing sent (the cache already holds it)
    } rows[] = {{105, true, "49/0=106"},
                {105, false, "49/0=104"},
                {129, true, nullptr},
                {100, false, nullptr}};
    for (const auto& r : rows) {
        current(r.cur);
        EXPECT_TRUE(r.up ? ctl->shutterUp() : ctl->shutterDown()) << r.cur;
        std::vector<std::string> expected = {"49/1=" + std::to_string(r.cur)};
        if (r.sent != nullptr) {
            expected.push_back(r.sent);
        }
        EXPECT_EQ(expected, calls()) << r.cur;
    }
    cache(49, 0);
    iasim::clearLog();
    EXPECT_TRUE(ctl->shutterDown());  // at the bottom the same value is applied again
    EXPECT_EQ("49/0=100", calls().back());
}

TEST_F(ShutterTest, NoRangeMeansNoSteps) {
    iasim::setDynamicCmds(0, {});
    current(105);
    int index = -3;
    EXPECT_FALSE(ctl->setShutterValue(0));
    EXPECT_FALSE(ctl->shutterUp());
    EXPECT_FALSE(ctl->getShutterValue(index));
    EXPECT_EQ(-3, index);
}

TEST_F(ControlsTest, SwitchingOneIlluminatorOnSwitchesTheOtherOff) {
    const struct {
        int ir, white;  // processor and cache state before
        Action act;
        std::vector<std::string> sent;
    } rows[] = {
        {0, 1, ACT(setIRSwitch(1)), {"168/1=1", "168/0=0", "160/0=1"}},
        {0, 0, ACT(setIRSwitch(1)), {"168/1=0", "160/0=1"}},
        {1, 1, ACT(setIRSwitch(0)), {"160/0=0"}},
        {1, 0, ACT(setWhiteSwitch(1)), {"160/1=1", "160/0=0", "168/0=1"}},
        {1, 1, ACT(setWhiteSwitch(0)), {"168/0=0"}},
    };
    for (const auto& r : rows) {
        iasim::setValue(0, 160, r.ir);
        iasim::setValue(0, 168, r.white);
        cache(160, r.ir);
        cache(170, r.white);
        iasim::clearLog();
        EXPECT_TRUE(r.act(*ctl)) << r.sent.back();
        EXPECT_EQ(r.sent, calls());
    }
    iasim::injectFailure(168, IA_CMD_OPT_GET, -1);
    iasim::clearLog();
    EXPECT_FALSE(ctl->setIRSwitch(1));
    EXPECT_EQ(1u, calls().size());
}

TEST_F(ControlsTest, MirrorWritesTheCurrentSchemeFileEvenWhenUnchanged) {
    const char file[] = "/mnt/mtd/code/config_file/sensor0.cfg";
    sandbox->remove(file);
    EXPECT_TRUE(ctl->setMirrorMode(0));
    EXPECT_TRUE(calls().empty());
    const std::string bytes(reinterpret_cast<const char*>(seam->userKeyVal()[0]),
                            kFactory.size() * sizeof(KeyVal));
    EXPECT_EQ(bytes, sandbox->readFile(file));
    EXPECT_TRUE(ctl->setMirrorMode(1));
    EXPECT_EQ(1, cached(2384));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(seam->userKeyVal()[0]), bytes.size()),
              sandbox->readFile(file));
}

}  // namespace
