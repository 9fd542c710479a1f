// The key handlers: the order in which the video module and the processor hear of a key,
// the records built from the cache, and the states that hold keys back.
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ControllerSeam.h"
#include "IaSim.h"
#include "ISensorController.h"
#include "Sandbox.h"
#include "SimVideoModule.h"

namespace {

using Line = std::vector<std::string>;

// The simulated video module, writing each notification and the processor calls made before
// it onto one time line: "video channel/key/value" and "ia channel/command/value".
class TimelineVideo : public SimVideoModule {
public:
    int notifySensorParam(int channel, int key, int value) const override {
        {
            std::lock_guard<std::mutex> lock(m_lineMutex);
            catchUp();
            m_line.push_back("video " + triple(channel, key, value));
        }
        return SimVideoModule::notifySensorParam(channel, key, value);
    }
    Line timeline() const {
        std::lock_guard<std::mutex> lock(m_lineMutex);
        catchUp();
        return m_line;
    }
    void clear() {
        std::lock_guard<std::mutex> lock(m_lineMutex);
        m_line.clear();
        m_nSeen = 0;
        iasim::clearLog();
    }

private:
    static std::string triple(int a, int b, int c) {
        return std::to_string(a) + "/" + std::to_string(b) + "/" + std::to_string(c);
    }
    void catchUp() const {
        const auto calls = iasim::callLog();
        for (; m_nSeen < calls.size(); ++m_nSeen) {
            const auto& call = calls[m_nSeen];
            m_line.push_back("ia " + triple(call.channel, call.cmd, call.value));
        }
    }
    mutable std::mutex m_lineMutex;
    mutable Line m_line;
    mutable size_t m_nSeen = 0;
};

const std::vector<KeyVal> kFactory = {{8000, 0}, {8001, 0}, {8002, 0}, {8003, 24}, {8004, 0},
                                      {2368, 0}, {2416, 0}, {2384, 0}, {2385, 0},  {2432, 0},
                                      {145, 30}, {146, 20}, {154, 3},  {149, 18},  {150, 5},
                                      {151, 6},  {152, 45}, {9102, 0}, {190, 0}};

class HandlerTest : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        setshowBeawayFalg(true);
        build(kFactory);
    }
    void TearDown() override {
        seam->release();
        setshowBeawayFalg(true);
        SandboxTest::TearDown();
    }
    void build(const std::vector<KeyVal>& factory) {
        if (seam) {
            seam->release();
        }
        controller.reset(new ISensorController());
        seam.reset(new SensorControllerTestSeam(*controller));
        seam->prepare(factory, 2);
        controller->setChannelID(1);
        controller->setVideoStreamModule(&video);
        seam->curScheme() = 0;
        video.clear();
    }
    int cached(u32 key) {
        u32 value = 0;
        EXPECT_GE(seam->getKeyValFromCache(0, key, value), 0) << "key " << key;
        return static_cast<int>(value);
    }
    std::string console(const std::function<void()>& action) {
        sandbox->setDebugSwitch("6\n");
        StdoutCapture capture;
        action();
        return capture.stop();
    }

    TimelineVideo video;
    std::unique_ptr<ISensorController> controller;
    std::unique_ptr<SensorControllerTestSeam> seam;
};

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

TEST_F(HandlerTest, VideoModuleAndProcessorHearOfKeysInTheirOrder) {
    const struct {
        int key;
        Line expected;
    } cases[] = {
        {2368, {"video 1/2370/0", "video 1/2368/1", "ia 0/2368/1", "video 1/2370/1"}},
        {2416, {"video 1/2416/1", "ia 0/2416/1"}},
        {2384, {"video 1/2384/1", "ia 0/2384/1"}},
        {2385, {"video 1/2385/1", "ia 0/2385/1"}},
        {2432, {"ia 0/2432/1", "video 1/2432/1"}},
        {9102, {"video 1/9102/1"}},
        {8100, {"video 1/8100/1"}},
        {190, {"video 1/190/1"}},
    };
    for (const auto& c : cases) {
        video.clear();
        EXPECT_EQ(0, controller->setParameter(c.key, 1, true)) << c.key;
        EXPECT_EQ(c.expected, video.timeline()) << c.key;
    }
    EXPECT_EQ(1, cached(2368));
    EXPECT_EQ(1, cached(9102));
}

TEST_F(HandlerTest, HiddenWdrOrBeawayTurnsTheValueIntoZeroAndSendsNothing) {
    seam->showWDR() = false;
    setshowBeawayFalg(false);
    for (u32 key : {2368u, 2385u}) {
        seam->setKeyValToCache(0, key, 2, false);
        EXPECT_EQ(0, controller->setParameter(static_cast<int>(key), 1, true));
        EXPECT_EQ(0, cached(key));
        keycmd row = {};
        ASSERT_GE(seam->findFromKeyCmdMap(key, row), 0);
        int value = 3;
        EXPECT_EQ(0, seam->callHandler(row.handler, row.ia_cmd, 0, &value));
        EXPECT_EQ(0, value);
    }
    EXPECT_EQ(Line{}, video.timeline());
}

TEST_F(HandlerTest, HandlerResultsFollowTheirOwnRules) {
    iasim::injectFailure(2368, 0, -1);  // WDR: the key notification's result counts
    iasim::injectFailure(2432, 0, -1);  // image adjust: the notification's result counts
    iasim::injectFailure(2416, 0, -4);  // stabilisation: the processor's result counts
    const std::string out = console([&] {
        EXPECT_EQ(0, controller->setParameter(2368, 1, true));
        EXPECT_EQ(0, controller->setParameter(2432, 1, true));
        EXPECT_EQ(-2416, controller->setParameter(2416, 1, true));
    });
    EXPECT_TRUE(contains(out, "OVS_SUCCESS == doIaCmd(p_nKey, p_nDir, p_pVal)   ~~~Assertion"));
    EXPECT_EQ("video 1/2370/1", video.timeline()[3]);

    video.setNotifyResult(-7);  // panorama and test keys succeed whatever the module says
    EXPECT_EQ(0, controller->setParameters("(9102,5)(190,7)", true));
    EXPECT_EQ(-2436, controller->setParameter(2436, 2, false));
    video.setNotifyResult(0);

    controller->setVideoStreamModule(nullptr);  // no module counts as a good notification
    video.clear();
    EXPECT_EQ(0, controller->setParameters("(9102,6)(2436,2)", true));
    EXPECT_EQ(Line{"ia 0/2436/2"}, video.timeline());
}

TEST_F(HandlerTest, ThermalDeviceNotifiesChannelOne) {
    sandbox->writeMachineInfo(13);
    build(kFactory);
    EXPECT_EQ(0, controller->setParameter(9102, 5, true));
    seam->cameraId() = 4;
    EXPECT_EQ(0, controller->setParameter(2384, 1, true));
    EXPECT_EQ((Line{"video 1/9102/5", "video 1/2384/1", "ia 3/2384/1"}), video.timeline());
}

TEST_F(HandlerTest, DayNightRecordsTakeTheOtherFieldsFromTheCurrentScheme) {
    const std::string out = console([&] {
        EXPECT_EQ(0, controller->setParameter(145, 40, true));
        EXPECT_EQ(0, controller->setParameter(152, 30, true));
        seam->setKeyValToCache(0, 2385, 1, false);
        EXPECT_EQ(0, controller->setParameter(2384, 2, true));
    });
    EXPECT_EQ((std::vector<int32_t>{40, 20, 3}), iasim::getRecord(0, 145));
    EXPECT_EQ((std::vector<int32_t>{18, 5, 6, 30}), iasim::getRecord(0, 152));
    EXPECT_TRUE(contains(out,
                         "m_nCurScheme(0) dn_thr_st.d2n_thr(40) dn_thr_st.n2d_thr(20)  "
                         "dn_thr_st.dn_sensitivity(3)\n"));
    EXPECT_TRUE(contains(out,
                         "m_nCurScheme(0) dn_time_st.d2n_hour(18) dn_time_st.d2n_min(5) "
                         "dn_time_st.n2d_hour(6) dn_time_st.n2d_min(30) \n"));
    EXPECT_TRUE(contains(out, "nMirror(2 --> 2), nBeaway:1\n"));

    seam->setKeyValToCache(1, 146, 55, false);
    seam->curScheme() = 1;
    EXPECT_EQ(0, controller->setParameter(154, 7, true));
    EXPECT_EQ((std::vector<int32_t>{30, 55, 7}), iasim::getRecord(0, 154));

    // A field whose key the scheme does not hold is sent as 0.
    build({{8000, 0}, {8001, 0}, {8002, 0}, {8003, 24}, {8004, 0}, {145, 30}});
    EXPECT_EQ(0, controller->setParameter(146, 40, true));
    EXPECT_EQ((std::vector<int32_t>{30, 40, 0}), iasim::getRecord(0, 146));
}

TEST_F(HandlerTest, ThresholdFailureIsMaskedOnlyWhileReloading) {
    iasim::injectFailure(145, 0, -1);
    iasim::injectFailure(149, 0, -1);
    EXPECT_EQ(-145, controller->setParameter(145, 40, true));
    EXPECT_EQ(30, cached(145));
    seam->setFlag(restoring_flag);
    EXPECT_EQ(0, controller->setParameter(145, 40, true));
    EXPECT_EQ(40, cached(145));
    EXPECT_EQ(-149, controller->setParameter(149, 20, true));
}

TEST_F(HandlerTest, OneShotKeysAreIgnoredInBusyStates) {
    const struct {
        u32 flag;
        bool ignored;
    } cases[] = {{initing_flag, true},   {resetting_flag, true},  {restoring_flag, true},
                 {switching_flag, true}, {uniniting_flag, false}, {inited_flag, false}};
    const Line sent = {"ia 0/1539/1", "ia 0/1569/1", "ia 0/83/1", "ia 0/2464/1", "ia 0/8231/1"};
    for (const auto& c : cases) {
        video.clear();
        seam->setFlag(c.flag);
        const std::string out = console([&] {
            for (int key : {1539, 1569, 17, 2497, 8231}) {
                EXPECT_EQ(0, controller->setParameter(key, 1, false)) << key;
            }
        });
        seam->clearFlag(c.flag);
        EXPECT_EQ(c.ignored ? Line{} : sent, video.timeline()) << c.flag;
        EXPECT_EQ(c.ignored, contains(out, "ignored auto focus once !!!\n")) << c.flag;
    }
}

TEST_F(HandlerTest, ZoomFocusLockHoldsBackTheLensCommands) {
    seam->zoomFocus().setLockZoomFocusEnable(true);
    int value = 1;
    for (u32 cmd : {1535u, 1536u, 1600u, 1616u, 1617u}) {
        EXPECT_EQ(0, seam->doIaCmd(cmd, 0, &value)) << cmd;
    }
    EXPECT_EQ((Line{"ia 0/1535/1", "ia 0/1617/1"}), video.timeline());
}
