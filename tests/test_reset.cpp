// restore, restoreAeMode, resetToLastParameters and resetParameters on the bundled device
// data: what reaches the processor, what lands in the files, and who waits for a reset.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
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
#include "SimVideoModule.h"

namespace {

using Sets = std::vector<std::pair<int, int>>;

Sets processorSets() {
    Sets out;
    for (const iasim::Call& call : iasim::callLog()) {
        if (call.opt == IA_CMD_OPT_SET) {
            out.emplace_back(call.cmd, call.value);
        }
    }
    iasim::clearLog();
    std::sort(out.begin(), out.end());
    return out;
}

std::string paramFile(int scheme, const char* kind = "") {
    return "/mnt/mtd/code/config_file/sensor" + std::string(kind) + std::to_string(scheme) + ".cfg";
}

// A video module whose stream query waits while the test holds `gate`: a reset is caught
// inside its init.
struct GateVideoModule : SimVideoModule {
    int getStreamParams(std::vector<AVStreamParam>& out) const override {
        reached = true;
        std::lock_guard<std::mutex> wait(gate);
        return SimVideoModule::getStreamParams(out);
    }
    mutable std::mutex gate;
    mutable std::atomic<bool> reached{false};
};

class ResetTest : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        sandbox->installDeviceData();
        sandbox->writeMachineInfo(1, "Hi3519V101", "IPC-01");
        ctl = std::make_unique<ISensorController>();
        seam = std::make_unique<SensorControllerTestSeam>(*ctl);
        ctl->setVideoStreamModule(&video);
        ModuleConfigure module;
        module.setModuleId(5);
        module.setDetail("(isInfrared=1)(lens=motor)(max_scheme=4)");
        ASSERT_TRUE(ctl->init(module));
        iasim::clearLog();
    }
    void TearDown() override {
        ctl->uinit();
        seam.reset();
        ctl.reset();
        SandboxTest::TearDown();
    }
    int cached(u32 key) {
        u32 value = 0;
        EXPECT_GE(seam->getKeyValFromCache(static_cast<u32>(seam->curScheme()), key, value), 0);
        return static_cast<int>(value);
    }
    std::string schemeBytes(int s) {
        return std::string(reinterpret_cast<const char*>(seam->userKeyVal()[s]),
                           seam->keyValSum() * sizeof(KeyVal));
    }
    GateVideoModule video;
    // Made once the sandbox exists: the constructor reads the machine information.
    std::unique_ptr<ISensorController> ctl;
    std::unique_ptr<SensorControllerTestSeam> seam;
};

TEST_F(ResetTest, RestoreSendsTheCachedValueAgain) {
    const int value = cached(34);
    EXPECT_EQ(0, ctl->restore(34));  // equal to what the processor has: sent all the same
    EXPECT_EQ((Sets{{34, value}}), processorSets());
    ASSERT_EQ(0, ctl->setParameter(34, value + 7, false));
    EXPECT_EQ(0, ctl->restore(34));  // the unsaved change is undone
    EXPECT_EQ((Sets{{34, value}, {34, value + 7}}), processorSets());
    StdoutCapture out;
    EXPECT_EQ(-1, ctl->restore(4));
    const std::string text = out.stop();
    EXPECT_NE(std::string::npos, text.find("-1 != nPos"));
    EXPECT_NE(std::string::npos,
              text.find("restore key(4) failed! make sure it is sensor ui key \n"));
    EXPECT_TRUE(processorSets().empty());
}

TEST_F(ResetTest, RestoreAeModeSendsBothKeysAndStopsAfterAFailedFirst) {
    EXPECT_TRUE(ctl->restoreAeMode());
    EXPECT_EQ((Sets{{16, cached(16)}, {1536, cached(1536)}}), processorSets());
    iasim::injectFailure(1536, IA_CMD_OPT_SET, -5);
    StdoutCapture out;
    EXPECT_FALSE(ctl->restoreAeMode());
    out.stop();
    EXPECT_EQ((Sets{{1536, cached(1536)}}), processorSets());  // the failed try only
}

TEST_F(ResetTest, ResetToLastParametersSendsBackOnlyWhatChangedSinceTheFlush) {
    const int brightness = cached(34);
    const int saturation = cached(2337);
    ASSERT_EQ(0, ctl->setParameter(2353, cached(2353) + 3, true));
    ASSERT_EQ(0, ctl->flush());
    ASSERT_EQ(0, ctl->setParameter(34, brightness + 5, true));
    ASSERT_EQ(0, ctl->setParameter(2337, saturation + 6, true));
    processorSets();
    EXPECT_TRUE(ctl->resetToLastParameters());
    EXPECT_EQ((Sets{{34, brightness}, {2337, saturation}}), processorSets());
    EXPECT_EQ(brightness, cached(34));
    EXPECT_EQ(0u, seam->flags() & restoring_flag);

    ASSERT_EQ(0, ctl->setParameter(34, brightness + 5, true));
    sandbox->remove(paramFile(0));
    processorSets();
    StdoutCapture out;
    EXPECT_FALSE(ctl->resetToLastParameters());  // unreadable file: nothing applied
    EXPECT_NE(std::string::npos,
              out.stop().find("OVS_SUCCESS == keyValFromFile(szTmp, m_pstKeyValTmp, "
                              "m_nKeyValSum)"));
    EXPECT_TRUE(processorSets().empty());

    ASSERT_TRUE(ctl->setParamScheme(4));  // the factory scheme: nothing to reload
    processorSets();
    EXPECT_TRUE(ctl->resetToLastParameters());
    EXPECT_TRUE(iasim::callLog().empty());
}

TEST_F(ResetTest, ResetParametersRebuildsEverySchemeFromTheFactory) {
    const std::string factory = schemeBytes(4);
    ASSERT_EQ(0, ctl->setParameter(34, cached(34) + 5, true));
    ASSERT_EQ(0, ctl->flush());
    ASSERT_TRUE(ctl->setParamScheme(2));
    ASSERT_TRUE(ctl->setParamMode(0));
    sandbox->writeFile(paramFile(0, "-thermal"), "thermal");
    sandbox->writeFile(paramFile(4), "fifth");
    sandbox->writeFile("/mnt/mtd/code/config_backup/sensor2.cfg", "backup");
    EXPECT_TRUE(ctl->resetParameters());
    int scheme = -1;
    int mode = -1;
    ctl->getParamScheme(scheme);
    ctl->getParamMode(mode);
    EXPECT_EQ(0, scheme);
    EXPECT_EQ(1, mode);
    EXPECT_EQ(0u, seam->flags() & (busy_flags_mask | initing_flag | uniniting_flag));
    EXPECT_TRUE(seam->thread()->isRunning());
    for (int s = 0; s < 4; ++s) {
        EXPECT_EQ(factory, sandbox->readFile(paramFile(s))) << s;
        EXPECT_EQ(factory, schemeBytes(s)) << s;
    }
    EXPECT_EQ("thermal", sandbox->readFile(paramFile(0, "-thermal")));
    EXPECT_EQ("fifth", sandbox->readFile(paramFile(4)));
    EXPECT_FALSE(sandbox->exists("/mnt/mtd/code/config_backup/sensor2.cfg"));
}

TEST_F(ResetTest, DebugResetReadsTheModuleDocumentAndFallsBackWhenItHasNone) {
    const std::string module =
        "<moduleConfig><module hardwareModel=\"Hi3519V101\" hardwareCode=\"IPC-01\" id=\"77\" "
        "detail=\"(isInfrared=1)(max_scheme=3)\" parameters=\"\"/></moduleConfig>";
    const std::pair<std::string, int> documents[] = {
        {"", 5}, {"<moduleConfig></moduleConfig>", 5}, {module, 77}};
    sandbox->setDebugSwitch("6\n");
    for (const auto& doc : documents) {
        if (doc.first.empty()) {
            sandbox->remove("/hd1/moduleConfig/moduleConfig.xml");
        } else {
            sandbox->writeFile("/hd1/moduleConfig/moduleConfig.xml", doc.first);
        }
        StdoutCapture out;
        EXPECT_TRUE(ctl->resetParameters());
        const bool reported = out.stop().find("!vecModuleConfigure.empty()") != std::string::npos;
        EXPECT_EQ(doc.second, ctl->getSensorType());
        EXPECT_EQ(doc.second == 5, reported);
        EXPECT_EQ(doc.second == 5 ? 4u : 3u, seam->sysConf().nSchemeSum);
    }
    sandbox->setDebugSwitch("1\n");
}

TEST_F(ResetTest, SetParamSchemeDuringAResetWaitsForIt) {
    std::atomic<bool> switched{false};
    video.gate.lock();
    video.reached = false;
    std::thread resetter([&] { ctl->resetParameters(); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!video.reached && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    // The reset now holds the controller inside its init.
    std::thread host([&] { switched = ctl->setParamScheme(1); });
    for (int i = 0; i < 50; ++i) {
        OrvaneTime::wait(OrvaneTime(1, 0));
    }
    EXPECT_FALSE(switched.load());
    video.gate.unlock();
    resetter.join();
    host.join();
    EXPECT_TRUE(video.reached);
    EXPECT_TRUE(switched.load());
    EXPECT_EQ(1, seam->curScheme());  // switched after the reset made scheme 0 current
}

}  // namespace
