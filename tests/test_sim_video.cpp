// The simulated video module, driven through the interface the library sees.
#include <vector>

#include <gtest/gtest.h>

#include "SimVideoModule.h"

namespace {

TEST(SimVideoModuleTest, BecomesReadyAfterTheConfiguredPolls) {
    for (int readyAfter : {0, 1, 3}) {
        SimVideoModule sim;
        const VideoStreamModule& module = sim;
        module.get2ARunRet();
        sim.setReadyAfter(readyAfter);  // restarts the count
        std::vector<int> answers;
        for (int poll = 0; poll < readyAfter + 2; ++poll) {
            answers.push_back(module.get2ARunRet() != 0);
        }
        std::vector<int> expected(readyAfter, 1);
        expected.insert(expected.end(), {0, 0});
        EXPECT_EQ(expected, answers) << readyAfter;
        EXPECT_EQ(readyAfter + 2, sim.pollCount());
    }
}

TEST(SimVideoModuleTest, LogsNotificationsAndCopiesOutItsConfiguration) {
    SimVideoModule sim;
    const VideoStreamModule& module = sim;
    EXPECT_EQ(0, module.notifySensorParam(1, 2370, 0));
    sim.setNotifyResult(-5);
    EXPECT_EQ(-5, module.notifySensorParam(2, 2368, 1));
    std::vector<SimVideoModule::Notification> log = sim.notifications();
    ASSERT_EQ(2u, log.size());
    EXPECT_EQ((std::vector<int>{1, 2370, 0, 2, 2368, 1}),
              (std::vector<int>{log[0].channel, log[0].key, log[0].value, log[1].channel,
                                log[1].key, log[1].value}));
    sim.clearNotifications();
    EXPECT_TRUE(sim.notifications().empty());

    std::vector<AVStreamParam> out(3);
    EXPECT_EQ(0, module.getStreamParams(out));
    EXPECT_TRUE(out.empty());
    AVStreamParam a;
    a.setFrameRate(25);
    a.setVideoHeight(1080);
    sim.setStreams({a, AVStreamParam()});
    EXPECT_EQ(0, module.getStreamParams(out));
    ASSERT_EQ(2u, out.size());
    EXPECT_EQ(25, out[0].getFrameRate());
    EXPECT_EQ(1080, out[0].getVideoHeight());

    LimitedFramesWDRModeParam wdr;
    wdr.setLimitFramesModeId(3);
    wdr.setLimitWdr(1);
    sim.setLimitedFramesWDR(wdr);
    LimitedFramesWDRModeParam got;
    EXPECT_EQ(0, module.getLimitedFramesWDRModeParam(1, got));
    EXPECT_EQ(3, got.getLimitFramesModeId());
    EXPECT_EQ(1, got.getLimitWdr());
}

}  // namespace
