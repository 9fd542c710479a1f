// Fault sweeps on the bundled device data: each operation runs once per processor call, or per
// video-module call, with exactly that call failing (or throwing); afterwards no busy or life-cycle
// bit is left set and the next operation does its work. Leaks show in the sanitizer builds.
#include <atomic>
#include <cstdlib>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ControllerSeam.h"
#include "GThread.h"
#include "IaSim.h"
#include "ISensorController.h"
#include "Sandbox.h"
#include "SimVideoModule.h"

namespace {

const u32 kStateBits = initing_flag | uniniting_flag | busy_flags_mask;

// Throws from its `nth` call of any operation (0: never); counts its calls.
struct FaultyVideo : SimVideoModule {
    void hit() const {
        if (++calls == nth) {
            throw std::runtime_error("video fault");
        }
    }
    int getStreamParams(std::vector<AVStreamParam>& out) const override {
        hit();
        return SimVideoModule::getStreamParams(out);
    }
    int notifySensorParam(int channel, int key, int value) const override {
        hit();
        return SimVideoModule::notifySensorParam(channel, key, value);
    }
    int getLimitedFramesWDRModeParam(int channel, LimitedFramesWDRModeParam& out) const override {
        hit();
        return SimVideoModule::getLimitedFramesWDRModeParam(channel, out);
    }
    int get2ARunRet() const override {
        hit();
        return SimVideoModule::get2ARunRet();
    }
    void arm(int n) {
        calls = 0;
        nth = n;
    }
    mutable std::atomic<int> calls{0};
    std::atomic<int> nth{0};
};

class SweepTest : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        sandbox->installDeviceData();
        sandbox->writeMachineInfo(1);
        module.setDetail("(isInfrared=1)(lens=motor)(max_scheme=4)");
    }
    void TearDown() override {
        if (ctl) {
            ctl->uinit();
        }
        ctl.reset();
        SandboxTest::TearDown();
    }
    // A fresh initialised channel whose thread is stopped, so that the test drives the passes;
    // scheme 1 differs from scheme 0 in brightness and mirror.
    void fresh(int schemeMode) {
        if (ctl) {
            ctl->uinit();
        }
        video.arm(0);
        ctl = std::make_unique<ISensorController>();
        seam = std::make_unique<SensorControllerTestSeam>(*ctl);
        ctl->setVideoStreamModule(&video);
        ASSERT_TRUE(ctl->init(module));
        seam->thread()->stop();
        seam->setKeyValToCache(1, 34, 70, true);
        seam->setKeyValToCache(1, 2384, 1, true);  // the mirror tells the video module
        // Scheme 1's window holds the faked time of day (12:00), the others are empty.
        for (u32 s = 0; s < 4; ++s) {
            for (u32 key : {8001u, 8002u, 8003u, 8004u}) {
                const bool window = s == 1 && (key == 8001 || key == 8003);
                seam->setKeyValToCache(s, key, window ? (key == 8001 ? 10 : 14) : 0, true);
            }
        }
        ASSERT_EQ(0, ctl->setParameter(8000, schemeMode, true));
        iasim::setDNState(0, 0);
        ::setenv("SENSOR_FAKE_TIME", "12:00", 1);
    }
    void expectUsable(const std::string& what) {
        EXPECT_EQ(0u, seam->flags() & kStateBits) << what;
    }
    // Processor calls an operation makes without faults.
    size_t callsOf(const std::function<void()>& prepare, const std::function<void()>& op) {
        prepare();
        iasim::clearLog();
        op();
        return iasim::callLog().size();
    }
    // Runs `op` once per processor call it makes, with that call failing; `next` checks the
    // operation after it.
    void processorSweep(const std::function<void()>& prepare, const std::function<void()>& op,
                        const std::function<void(size_t)>& next) {
        const size_t total = callsOf(prepare, op);
        ASSERT_GT(total, 0u);
        for (size_t n = 1; n <= total; ++n) {
            prepare();
            iasim::failNthCall(static_cast<int>(n), -1);
            op();
            iasim::failNthCall(0, 0);
            expectUsable("processor call " + std::to_string(n));
            next(n);
        }
    }
    // Runs `op` once per video-module call it makes, with that call throwing.
    void videoSweep(const std::function<void()>& prepare, const std::function<void()>& op,
                    const std::function<void(int)>& next) {
        prepare();
        video.arm(0);
        op();
        const int total = video.calls;
        ASSERT_GT(total, 0);
        for (int n = 1; n <= total; ++n) {
            prepare();
            video.arm(n);
            try {
                op();
            } catch (const std::runtime_error&) {
                // reaches the host; the channel must stay usable
            }
            video.arm(0);
            expectUsable("video call " + std::to_string(n));
            next(n);
        }
    }
    // Day/night state 1 then 0, or the clock into scheme 1's window and out: one pass each.
    void switchByDayNight(int state) {
        iasim::setDNState(0, state);
        seam->sensorThreadPass();
    }
    void switchBySchedule(bool inWindow) {
        ::setenv("SENSOR_FAKE_TIME", inWindow ? "12:00" : "15:00", 1);
        seam->sensorThreadPass();
    }
    ModuleConfigure module;
    FaultyVideo video;
    std::unique_ptr<ISensorController> ctl;
    std::unique_ptr<SensorControllerTestSeam> seam;
};

TEST_F(SweepTest, EveryProcessorCallOfInitMayFail) {
    processorSweep(
        [&] {
            if (ctl) {
                ctl->uinit();
            }
            ctl = std::make_unique<ISensorController>();
            seam = std::make_unique<SensorControllerTestSeam>(*ctl);
            ctl->setVideoStreamModule(&video);
        },
        [&] { ctl->init(module); },
        [&](size_t n) {
            ctl->uinit();
            ASSERT_TRUE(ctl->init(module)) << n;
            EXPECT_EQ(1, ctl->getSensorStatus());
            int value = 0;
            EXPECT_TRUE(ctl->getParameter(34, value));
            EXPECT_EQ(50, value);
        });
}

TEST_F(SweepTest, EveryProcessorCallOfADayNightAndAScheduleSwitchMayFail) {
    for (int mode : {2, 1}) {
        auto to = [&](bool scheme1) {
            mode == 2 ? switchByDayNight(scheme1 ? 1 : 0) : switchBySchedule(scheme1);
        };
        processorSweep([&] { fresh(mode); }, [&] { to(true); },
                       [&](size_t n) {
                           to(false);
                           to(true);
                           EXPECT_EQ(1, seam->curScheme()) << mode << " " << n;
                           EXPECT_EQ(70, iasim::getValue(0, 34)) << mode << " " << n;
                       });
    }
}

TEST_F(SweepTest, EveryProcessorCallOfAFactoryResetMayFail) {
    processorSweep([&] { fresh(0); }, [&] { ctl->resetParameters(); },
                   [&](size_t n) {
                       EXPECT_TRUE(ctl->resetParameters()) << n;
                       EXPECT_EQ(1, ctl->getSensorStatus());
                       EXPECT_TRUE(ctl->setParamScheme(1));
                       EXPECT_EQ(0, ctl->setParameter(34, 61, true));
                       EXPECT_EQ(61, iasim::getValue(0, 34));
                   });
}

TEST_F(SweepTest, EveryVideoCallOnHostThreadsMayThrow) {
    const std::vector<std::pair<const char*, std::function<void()>>> ops = {
        {"init", [&] { ctl->init(module); }},       {"scheme", [&] { ctl->setParamScheme(1); }},
        {"reset", [&] { ctl->resetParameters(); }}, {"mirror", [&] { ctl->setMirrorMode(1); }},
        {"style", [&] { ctl->getUIStyleFile(); }},
    };
    for (const auto& op : ops) {
        videoSweep(
            [&] {
                fresh(0);
                if (std::string(op.first) == "init") {
                    ctl->uinit();
                }
            },
            op.second,
            [&](int n) {
                if (ctl->getSensorStatus() == 0 || seam->userKeyVal() == nullptr) {
                    ASSERT_TRUE(ctl->resetParameters()) << op.first << " " << n;
                }
                EXPECT_TRUE(ctl->setParamScheme(2)) << op.first << " " << n;
                EXPECT_EQ(0, ctl->setParameter(34, 62, true)) << op.first << " " << n;
                EXPECT_EQ(62, iasim::getValue(0, 34));
            });
    }
}

TEST_F(SweepTest, EveryVideoCallOfASwitchOnTheSensorThreadMayThrow) {
    for (int mode : {2, 1}) {
        auto to = [&](bool scheme1) {
            mode == 2 ? switchByDayNight(scheme1 ? 1 : 0) : switchBySchedule(scheme1);
        };
        videoSweep([&] { fresh(mode); }, [&] { to(true); },
                   [&](int n) {
                       to(false);
                       EXPECT_EQ(0, seam->curScheme()) << mode << " " << n;
                       to(true);
                       EXPECT_EQ(1, seam->curScheme()) << mode << " " << n;
                       EXPECT_EQ(70, iasim::getValue(0, 34)) << mode << " " << n;
                   });
    }
}

}  // namespace
