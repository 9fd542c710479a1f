// The key handlers: the order in which the video module and the processor hear of a key,
// the records built from the cache, and the states that hold keys back.
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

// One event on a shared time line: a notification to the video module or a processor call.
struct Event {
    std::string what;  // "video" or "ia"
    int channel;
    int key;
    int value;
    int opt;
    bool operator==(const Event& o) const {
        return what == o.what && channel == o.channel && key == o.key && value == o.value &&
               opt == o.opt;
    }
};

std::ostream& operator<<(std::ostream& os, const Event& e) {
    return os << e.what << "(ch=" << e.channel << " key=" << e.key << " val=" << e.value
              << " opt=" << e.opt << ")";
}

Event video(int channel, int key, int value) {
    return {"video", channel, key, value, -1};
}
Event ia(int channel, int cmd, int value, int opt = 0) {
    return {"ia", channel, cmd, value, opt};
}

// The simulated video module, remembering how many processor calls preceded each
// notification so that both logs can be merged into one time line.
class OrderedVideo : public SimVideoModule {
  public:
    int notifySensorParam(int channel, int key, int value) const override {
        {
            std::lock_guard<std::mutex> lock(m_orderMutex);
            m_marks.push_back({iasim::callLog().size(), Event{"video", channel, key, value, -1}});
        }
        return SimVideoModule::notifySensorParam(channel, key, value);
    }

    std::vector<Event> timeline() const {
        const auto calls = iasim::callLog();
        std::vector<Event> out;
        size_t next = 0;
        std::lock_guard<std::mutex> lock(m_orderMutex);
        for (const auto& mark : m_marks) {
            for (; next < mark.first; ++next) {
                out.push_back(
                    ia(calls[next].channel, calls[next].cmd, calls[next].value, calls[next].opt));
            }
            out.push_back(mark.second);
        }
        for (; next < calls.size(); ++next) {
            out.push_back(
                ia(calls[next].channel, calls[next].cmd, calls[next].value, calls[next].opt));
        }
        return out;
    }

    void clear() {
        std::lock_guard<std::mutex> lock(m_orderMutex);
        m_marks.clear();
        clearNotifications();
    }

  private:
    mutable std::mutex m_orderMutex;
    mutable std::vector<std::pair<size_t, Event>> m_marks;
};

std::vector<KeyVal> factoryRecords() {
    return {
        {8000, 0}, {8001, 0}, {8002, 0}, {8003, 24}, {8004, 0}, {2368, 0}, {2416, 0}, {2384, 0},
        {2385, 0}, {2432, 0}, {2436, 0}, {145, 30},  {146, 20}, {154, 3},  {149, 18}, {150, 5},
        {151, 6},  {152, 45}, {1539, 0}, {9102, 0},  {190, 0},  {8100, 0}, {34, 50},
    };
}

class HandlerTest : public SandboxTest {
  protected:
    void SetUp() override {
        SandboxTest::SetUp();
        setshowBeawayFalg(true);
        build();
    }
    void TearDown() override {
        destroy();
        setshowBeawayFalg(true);
        SandboxTest::TearDown();
    }

    void build(const std::vector<KeyVal>& factory = factoryRecords()) {
        controller = new ISensorController();
        seam = new SensorControllerTestSeam(*controller);
        seam->prepare(factory, 2);
        controller->setChannelID(1);
        controller->setVideoStreamModule(&videoModule);
        seam->curScheme() = 0;
        iasim::clearLog();
        videoModule.clear();
    }
    void destroy() {
        seam->release();
        delete seam;
        delete controller;
        seam = nullptr;
        controller = nullptr;
    }
    int cached(u32 key) {
        u32 value = 0;
        EXPECT_GE(seam->getKeyValFromCache(0, key, value), 0) << "key " << key;
        return static_cast<int>(value);
    }
    std::vector<Event> timeline() { return videoModule.timeline(); }

    OrderedVideo videoModule;
    ISensorController* controller = nullptr;
    SensorControllerTestSeam* seam = nullptr;
};

}  // namespace

// ---- wide dynamic range ----

TEST_F(HandlerTest, WdrModeIsFramedByTwoChangeNotifications) {
    EXPECT_EQ(0, controller->setParameter(2368, 1, true));
    EXPECT_EQ((std::vector<Event>{video(1, 2370, 0), video(1, 2368, 1), ia(0, 2368, 1),
                                  video(1, 2370, 1)}),
              timeline());
    EXPECT_EQ(1, cached(2368));
}

TEST_F(HandlerTest, HiddenWdrTurnsTheValueIntoZeroAndSendsNothing) {
    seam->showWDR() = false;
    seam->setKeyValToCache(0, 2368, 2, false);
    EXPECT_EQ(0, controller->setParameter(2368, 1, true));
    EXPECT_TRUE(timeline().empty());
    EXPECT_EQ(0, cached(2368));

    // Called through its row, the handler overwrites the caller's value.
    keycmd row = {};
    ASSERT_GE(seam->findFromKeyCmdMap(2368, row), 0);
    int value = 3;
    EXPECT_EQ(0, seam->callHandler(row.handler, row.ia_cmd, 0, &value));
    EXPECT_EQ(0, value);
    EXPECT_TRUE(timeline().empty());
}

TEST_F(HandlerTest, WdrReturnsTheKeyNotificationResultNotTheProcessors) {
    iasim::injectFailure(2368, 0, -1);
    StdoutCapture capture;
    EXPECT_EQ(0, controller->setParameter(2368, 1, true));
    const std::string out = capture.stop();
    EXPECT_NE(std::string::npos,
              out.find("OVS_SUCCESS == doIaCmd(p_nKey, p_nDir, p_pVal)   ~~~Assertion failed.\n"));
    const auto events = timeline();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(video(1, 2370, 1), events.back());

    videoModule.clear();
    iasim::clearFailures();
    videoModule.setNotifyResult(-7);
    EXPECT_EQ(-2368, controller->setParameter(2368, 2, true));
    videoModule.setNotifyResult(0);
}

// ---- stabilisation, image adjust, mirror, Beaway ----

TEST_F(HandlerTest, StabilisationTellsTheVideoModuleFirst) {
    EXPECT_EQ(0, controller->setParameter(2416, 1, true));
    EXPECT_EQ((std::vector<Event>{video(1, 2416, 1), ia(0, 2416, 1)}), timeline());
}

TEST_F(HandlerTest, StabilisationReturnsTheProcessorResult) {
    iasim::injectFailure(2416, 0, -4);
    EXPECT_EQ(-2416, controller->setParameter(2416, 1, true));
    EXPECT_EQ(0, cached(2416));
}

TEST_F(HandlerTest, ImageAdjustTellsTheVideoModuleAfterTheProcessor) {
    for (int key : {2432, 2436}) {
        videoModule.clear();
        iasim::clearLog();
        EXPECT_EQ(0, controller->setParameter(key, 3, true));
        EXPECT_EQ((std::vector<Event>{ia(0, key, 3), video(1, key, 3)}), timeline());
    }
}

TEST_F(HandlerTest, ImageAdjustWithoutVideoModuleSucceedsAfterTheProcessor) {
    controller->setVideoStreamModule(nullptr);
    EXPECT_EQ(0, controller->setParameter(2439, 4, false));
    EXPECT_EQ((std::vector<Event>{ia(0, 2439, 4)}), timeline());
}

TEST_F(HandlerTest, MirrorTellsTheVideoModuleFirstAndTracesTheBeawayValue) {
    sandbox->setDebugSwitch("6\n");
    StdoutCapture capture;
    EXPECT_EQ(0, controller->setParameter(2384, 1, true));
    const std::string out = capture.stop();
    EXPECT_EQ((std::vector<Event>{video(1, 2384, 1), ia(0, 2384, 1)}), timeline());
    EXPECT_NE(std::string::npos, out.find("nMirror(1 --> 1), nBeaway:0\n"));
    EXPECT_EQ(1, cached(2384));
}

TEST_F(HandlerTest, MirrorTraceShowsTheCachedBeaway) {
    seam->setKeyValToCache(0, 2385, 1, false);
    sandbox->setDebugSwitch("6\n");
    StdoutCapture capture;
    controller->setParameter(2384, 2, true);
    EXPECT_NE(std::string::npos, capture.stop().find("nMirror(2 --> 2), nBeaway:1\n"));
}

TEST_F(HandlerTest, BeawayTellsTheVideoModuleFirst) {
    EXPECT_EQ(0, controller->setParameter(2385, 1, true));
    EXPECT_EQ((std::vector<Event>{video(1, 2385, 1), ia(0, 2385, 1)}), timeline());
    EXPECT_EQ(1, cached(2385));
}

TEST_F(HandlerTest, HiddenBeawayTurnsTheValueIntoZeroAndSendsNothing) {
    setshowBeawayFalg(false);
    seam->setKeyValToCache(0, 2385, 1, false);
    EXPECT_EQ(0, controller->setParameter(2385, 2, true));
    EXPECT_TRUE(timeline().empty());
    EXPECT_EQ(0, cached(2385));
}

// ---- panorama and test keys ----

TEST_F(HandlerTest, PanoramaAndTestKeysReachOnlyTheVideoModule) {
    EXPECT_EQ(0, controller->setParameters("(9102,5)(8100,6)(190,7)", true));
    EXPECT_EQ((std::vector<Event>{video(1, 9102, 5), video(1, 8100, 6), video(1, 190, 7)}),
              timeline());
    EXPECT_EQ(5, cached(9102));
    EXPECT_EQ(7, cached(190));
}

TEST_F(HandlerTest, PanoramaAndTestKeysSucceedWhenTheVideoModuleFails) {
    videoModule.setNotifyResult(-1);
    StdoutCapture capture;
    EXPECT_EQ(0, controller->setParameters("(9102,5)(190,7)", true));
    EXPECT_NE(std::string::npos,
              capture.stop().find("OVS_SUCCESS == notifyToVideo(nKey, nVal)   ~~~Assertion"));
    videoModule.setNotifyResult(0);
}

TEST_F(HandlerTest, PanoramaAndTestKeysWithoutVideoModuleDoNothing) {
    controller->setVideoStreamModule(nullptr);
    EXPECT_EQ(0, controller->setParameters("(9102,5)(190,7)", true));
    EXPECT_TRUE(timeline().empty());
    EXPECT_EQ(5, cached(9102));
}

TEST_F(HandlerTest, ThermalDeviceNotifiesChannelOne) {
    destroy();
    sandbox->writeMachineInfo(13);
    build();
    EXPECT_EQ(0, controller->setParameters("(9102,5)(2416,1)", true));
    seam->cameraId() = 4;
    EXPECT_EQ(0, controller->setParameters("(2368,1)", true));
    for (const Event& e : timeline()) {
        if (e.what == "video") {
            EXPECT_EQ(1, e.channel) << e;
        }
    }
    EXPECT_EQ(5u, videoModule.notifications().size());
    EXPECT_EQ(1, iasim::callLog()[0].channel);  // processor channel: id 2 - 1
}

// ---- day/night thresholds and times ----

TEST_F(HandlerTest, ThresholdRecordTakesTheOtherFieldsFromTheCache) {
    EXPECT_EQ(0, controller->setParameter(145, 40, true));
    EXPECT_EQ((std::vector<int32_t>{40, 20, 3}), iasim::getRecord(0, 145));
    EXPECT_EQ(0, controller->setParameter(154, 7, true));
    EXPECT_EQ((std::vector<int32_t>{40, 20, 7}), iasim::getRecord(0, 154));
    EXPECT_EQ(0, controller->setParameter(146, 25, true));
    EXPECT_EQ((std::vector<int32_t>{40, 25, 7}), iasim::getRecord(0, 146));
}

TEST_F(HandlerTest, TimeRecordTakesTheOtherFieldsFromTheCache) {
    EXPECT_EQ(0, controller->setParameter(152, 30, true));
    EXPECT_EQ((std::vector<int32_t>{18, 5, 6, 30}), iasim::getRecord(0, 152));
    EXPECT_EQ(0, controller->setParameter(149, 19, true));
    EXPECT_EQ((std::vector<int32_t>{19, 5, 6, 30}), iasim::getRecord(0, 149));
}

TEST_F(HandlerTest, RecordsUseTheCurrentSchemesCache) {
    seam->setKeyValToCache(1, 146, 55, false);
    seam->curScheme() = 1;
    EXPECT_EQ(0, controller->setParameter(145, 41, true));
    EXPECT_EQ((std::vector<int32_t>{41, 55, 3}), iasim::getRecord(0, 145));
}

TEST_F(HandlerTest, UncachedRecordFieldsAreZero) {
    destroy();
    build({{8000, 0}, {8001, 0}, {8002, 0}, {8003, 24}, {8004, 0}, {145, 30}});
    EXPECT_EQ(0, controller->setParameter(145, 40, true));
    EXPECT_EQ((std::vector<int32_t>{40, 0, 0}), iasim::getRecord(0, 145));
    EXPECT_EQ(0, controller->setParameter(151, 7, true));
    EXPECT_EQ((std::vector<int32_t>{0, 0, 7, 0}), iasim::getRecord(0, 151));
}

TEST_F(HandlerTest, RecordTracesShowEveryField) {
    sandbox->setDebugSwitch("6\n");
    StdoutCapture capture;
    controller->setParameter(145, 40, true);
    controller->setParameter(150, 9, true);
    const std::string out = capture.stop();
    EXPECT_NE(std::string::npos,
              out.find("m_nCurScheme(0) dn_thr_st.d2n_thr(40) dn_thr_st.n2d_thr(20)  "
                       "dn_thr_st.dn_sensitivity(3)\n"));
    EXPECT_NE(std::string::npos,
              out.find("m_nCurScheme(0) dn_time_st.d2n_hour(18) dn_time_st.d2n_min(9) "
                       "dn_time_st.n2d_hour(6) dn_time_st.n2d_min(45) \n"));
}

TEST_F(HandlerTest, ThresholdFailureIsMaskedOnlyWhileReloading) {
    iasim::injectFailure(145, 0, -1);
    EXPECT_EQ(-145, controller->setParameter(145, 40, true));
    EXPECT_EQ(30, cached(145));

    seam->setFlag(restoring_flag);
    EXPECT_EQ(0, controller->setParameter(145, 40, true));
    EXPECT_EQ(40, cached(145));

    iasim::injectFailure(149, 0, -1);
    EXPECT_EQ(-149, controller->setParameter(149, 20, true));
    seam->clearFlag(restoring_flag);
}

// ---- one-shot keys ----

struct QuietCase {
    u32 flag;
    bool ignored;
};

class OneShotTest : public HandlerTest, public ::testing::WithParamInterface<QuietCase> {};

TEST_P(OneShotTest, OneShotKeysFollowTheStateFlags) {
    sandbox->setDebugSwitch("6\n");
    seam->setFlag(GetParam().flag);
    StdoutCapture capture;
    for (int key : {1539, 1569, 17, 2497, 8231}) {
        EXPECT_EQ(0, controller->setParameter(key, 1, false)) << key;
    }
    const std::string out = capture.stop();
    seam->clearFlag(GetParam().flag);
    const auto calls = iasim::callLog();
    if (GetParam().ignored) {
        EXPECT_TRUE(calls.empty());
        EXPECT_NE(std::string::npos, out.find("ignored auto focus once !!!\n"));
    } else {
        ASSERT_EQ(5u, calls.size());
        EXPECT_EQ(1539, calls[0].cmd);
        EXPECT_EQ(1569, calls[1].cmd);
        EXPECT_EQ(83, calls[2].cmd);
        EXPECT_EQ(2464, calls[3].cmd);
        EXPECT_EQ(8231, calls[4].cmd);
        EXPECT_EQ(std::string::npos, out.find("ignored auto focus once"));
    }
}

INSTANTIATE_TEST_SUITE_P(Flags, OneShotTest,
                         ::testing::Values(QuietCase{initing_flag, true},
                                           QuietCase{resetting_flag, true},
                                           QuietCase{restoring_flag, true},
                                           QuietCase{switching_flag, true},
                                           QuietCase{uniniting_flag, false},
                                           QuietCase{inited_flag, false}, QuietCase{0, false}));

// ---- the base handler ----

TEST_F(HandlerTest, ZoomFocusLockHoldsBackTheLensCommandRange) {
    seam->zoomFocus().setLockZoomFocusEnable(true);
    int value = 1;
    for (u32 cmd : {1535u, 1536u, 1600u, 1616u, 1617u}) {
        EXPECT_EQ(0, seam->doIaCmd(cmd, 0, &value)) << cmd;
    }
    const auto calls = iasim::callLog();
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ(1535, calls[0].cmd);
    EXPECT_EQ(1617, calls[1].cmd);

    seam->zoomFocus().setLockZoomFocusEnable(false);
    EXPECT_EQ(0, seam->doIaCmd(1536, 0, &value));
    EXPECT_EQ(3u, iasim::callLog().size());
}

TEST_F(HandlerTest, BaseHandlerTracesBeforeAndAfterTheCall) {
    seam->cameraId() = 3;
    iasim::setValue(2, 2369, 17);
    sandbox->setDebugSwitch("6\n");
    int value = -5;
    StdoutCapture capture;
    EXPECT_EQ(0, seam->doIaCmd(2369, 1, &value));
    const std::string out = capture.stop();
    EXPECT_EQ(17, value);
    EXPECT_NE(std::string::npos, out.find("====================== cmd:2369 dir:1 val:-5 "
                                          "======m_nCameraID=(3)===============begin\n"));
    EXPECT_NE(std::string::npos,
              out.find("====================== cmd:2369 dir:1 val:17 =====================end\n"));
}

TEST_F(HandlerTest, BaseHandlerReturnsTheProcessorResult) {
    iasim::injectFailure(34, -1, 12);
    int value = 1;
    EXPECT_EQ(12, seam->doIaCmd(34, 0, &value));
    EXPECT_EQ(12, seam->doIaCmd(34, 1, &value));
}

TEST_F(HandlerTest, NotificationWithoutVideoModuleSucceeds) {
    controller->setVideoStreamModule(nullptr);
    EXPECT_EQ(0, seam->notifyToVideo(2384, 1));
    controller->setVideoStreamModule(&videoModule);
    videoModule.setNotifyResult(-3);
    EXPECT_EQ(-3, seam->notifyToVideo(2384, 1));
    videoModule.setNotifyResult(0);
}
