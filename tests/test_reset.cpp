// restore, restoreAeMode, resetToLastParameters and resetParameters on the bundled device
// data: what reaches the processor, what lands in the parameter files, and how a factory reset
// keeps other host calls waiting.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
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
const char* const kDetail = "(isInfrared=1)(lens=motor)(max_scheme=4)";

std::string paramFile(int scheme, bool thermal = false) {
    char name[96];
    std::snprintf(name, sizeof(name), "/mnt/mtd/code/config_file/sensor%s%d.cfg",
                  thermal ? "-thermal" : "", scheme);
    return name;
}

std::string bytesOf(const KeyVal* records, u32 count) {
    return std::string(reinterpret_cast<const char*>(records), count * sizeof(KeyVal));
}

Sets processorSets() {
    Sets out;
    for (const iasim::Call& call : iasim::callLog()) {
        if (call.opt == IA_CMD_OPT_SET) {
            out.emplace_back(call.cmd, call.value);
        }
    }
    return out;
}

ModuleConfigure moduleWith(const std::string& detail, int id) {
    ModuleConfigure module;
    module.setModuleId(id);
    module.setDetail(detail);
    module.setParameters("(34,50)");
    return module;
}

// A video module whose stream query can be held, to catch a factory reset in the middle
// of its init.
class GateVideoModule : public SimVideoModule {
public:
    int getStreamParams(std::vector<AVStreamParam>& out) const override {
        std::unique_lock<std::mutex> lock(m_gate);
        if (m_bArmed) {
            m_bReached = true;
            m_cv.notify_all();
            m_cv.wait(lock, [this] { return !m_bArmed; });
        }
        lock.unlock();
        return SimVideoModule::getStreamParams(out);
    }
    void arm() {
        std::lock_guard<std::mutex> lock(m_gate);
        m_bArmed = true;
        m_bReached = false;
    }
    bool waitReached() {
        std::unique_lock<std::mutex> lock(m_gate);
        return m_cv.wait_for(lock, std::chrono::seconds(20), [this] { return m_bReached; });
    }
    void open() {
        std::lock_guard<std::mutex> lock(m_gate);
        m_bArmed = false;
        m_cv.notify_all();
    }

private:
    mutable std::mutex m_gate;
    mutable std::condition_variable m_cv;
    bool m_bArmed = false;
    mutable bool m_bReached = false;
};

class ResetTest : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        sandbox->installDeviceData();
        sandbox->writeMachineInfo(1, "Hi3519V101", "IPC-01");
    }
    void TearDown() override {
        if (ctl) {
            ctl->uinit();
        }
        seam.reset();
        ctl.reset();
        SandboxTest::TearDown();
    }
    void initChannel(int channel = 1) {
        ctl = std::make_unique<ISensorController>();
        seam = std::make_unique<SensorControllerTestSeam>(*ctl);
        ctl->setChannelID(channel);
        ctl->setVideoStreamModule(&video);
        ASSERT_TRUE(ctl->init(moduleWith(kDetail, 5)));
        iasim::clearLog();
    }
    int cached(u32 key) {
        u32 value = 0;
        EXPECT_GE(seam->getKeyValFromCache(static_cast<u32>(seam->curScheme()), key, value), 0)
            << key;
        return static_cast<int>(value);
    }
    bool hasKey(u32 key) {
        for (u32 i = 0; i < seam->keyValSum(); ++i) {
            if (seam->fctKeyVal()[i].key == key) {
                return true;
            }
        }
        return false;
    }
    std::string factoryBytes() { return bytesOf(seam->fctKeyVal(), seam->keyValSum()); }
    GateVideoModule video;
    std::unique_ptr<ISensorController> ctl;
    std::unique_ptr<SensorControllerTestSeam> seam;
};

TEST_F(ResetTest, RestoreSendsTheCachedValueEvenWhenTheProcessorHasIt) {
    initChannel();
    const int value = cached(34);
    EXPECT_EQ(0, ctl->restore(34));
    EXPECT_EQ((Sets{{34, value}}), processorSets());
}

TEST_F(ResetTest, RestoreUndoesAChangeThatWasNotSaved) {
    initChannel();
    const int value = cached(34);
    ASSERT_EQ(0, ctl->setParameter(34, value + 7, false));
    EXPECT_EQ(value, cached(34));
    iasim::clearLog();
    EXPECT_EQ(0, ctl->restore(34));
    EXPECT_EQ((Sets{{34, value}}), processorSets());
    EXPECT_EQ(value, iasim::getValue(0, 34));
}

TEST_F(ResetTest, RestoreOfAKeyTheSchemeLacksIsReportedAndSendsNothing) {
    initChannel();
    StdoutCapture out;
    EXPECT_EQ(-1, ctl->restore(4));
    std::string text = out.stop();
    EXPECT_NE(std::string::npos, text.find("-1 != nPos")) << text;
    EXPECT_NE(std::string::npos,
              text.find("restore key(4) failed! make sure it is sensor ui key \n"));
    EXPECT_TRUE(iasim::callLog().empty());
}

TEST_F(ResetTest, RestoreReturnsTheHandlersFailure) {
    initChannel();
    iasim::injectFailure(34, IA_CMD_OPT_SET, -4);
    EXPECT_EQ(-34, ctl->restore(34));
}

TEST_F(ResetTest, RestoreAeModeStopsAfterAFailedFirstKey) {
    initChannel();
    ASSERT_TRUE(hasKey(1536));
    ASSERT_TRUE(hasKey(16));
    iasim::injectFailure(1536, IA_CMD_OPT_SET, -5);
    StdoutCapture out;
    EXPECT_FALSE(ctl->restoreAeMode());
    out.stop();
    for (const auto& set : processorSets()) {
        EXPECT_NE(16, set.first);
    }
}

TEST_F(ResetTest, RestoreAeModeSendsFocusModeThenExposureMode) {
    initChannel();
    EXPECT_TRUE(ctl->restoreAeMode());
    EXPECT_EQ((Sets{{1536, cached(1536)}, {16, cached(16)}}), processorSets());
}

TEST_F(ResetTest, ResetToLastParametersSendsBackOnlyWhatChangedSinceTheFlush) {
    initChannel();
    const int brightness = cached(34);
    const int saturation = cached(2337);
    const int contrast = cached(2353);
    ASSERT_EQ(0, ctl->setParameter(2353, contrast + 3, true));
    ASSERT_EQ(0, ctl->flush());
    ASSERT_EQ(0, ctl->setParameter(34, brightness + 5, true));
    ASSERT_EQ(0, ctl->setParameter(2337, saturation + 6, true));
    iasim::clearLog();
    EXPECT_TRUE(ctl->resetToLastParameters());
    Sets sent = processorSets();
    std::sort(sent.begin(), sent.end());
    EXPECT_EQ((Sets{{34, brightness}, {2337, saturation}}), sent);
    EXPECT_EQ(brightness, cached(34));
    EXPECT_EQ(saturation, cached(2337));
    EXPECT_EQ(contrast + 3, cached(2353));
    EXPECT_EQ(0u, seam->flags() & restoring_flag);
}

TEST_F(ResetTest, ResetToLastParametersDoesNothingWhileTheFactorySchemeIsCurrent) {
    initChannel();
    ASSERT_TRUE(ctl->setParamScheme(4));
    iasim::clearLog();
    EXPECT_TRUE(ctl->resetToLastParameters());
    EXPECT_TRUE(iasim::callLog().empty());
}

TEST_F(ResetTest, ResetToLastParametersSkipsTheApplyWhenTheFileCannotBeRead) {
    initChannel();
    const int brightness = cached(34);
    ASSERT_EQ(0, ctl->setParameter(34, brightness + 5, true));
    sandbox->remove(paramFile(0));
    iasim::clearLog();
    StdoutCapture out;
    EXPECT_FALSE(ctl->resetToLastParameters());
    std::string text = out.stop();
    EXPECT_NE(std::string::npos,
              text.find("OVS_SUCCESS == keyValFromFile(szTmp, m_pstKeyValTmp, m_nKeyValSum)"))
        << text;
    EXPECT_TRUE(processorSets().empty());
    EXPECT_EQ(brightness + 5, cached(34));
    EXPECT_EQ(0u, seam->flags() & restoring_flag);
}

TEST_F(ResetTest, ResetParametersRebuildsEverySchemeFromTheFactory) {
    initChannel();
    const std::string factory = factoryBytes();
    ASSERT_EQ(0, ctl->setParameter(34, cached(34) + 5, true));
    ASSERT_EQ(0, ctl->flush());
    ASSERT_TRUE(ctl->setParamScheme(2));
    ASSERT_EQ(0, ctl->setParameter(2337, cached(2337) + 6, true));
    ASSERT_EQ(0, ctl->flush());
    ASSERT_TRUE(ctl->setParamMode(0));
    sandbox->writeFile(paramFile(0, true), "thermal");
    sandbox->writeFile("/mnt/mtd/code/config_backup/sensor2.cfg", "backup");
    sandbox->writeFile("/mnt/mtd/code/config_file/other.cfg", "other");

    EXPECT_TRUE(ctl->resetParameters());
    int scheme = -1;
    ctl->getParamScheme(scheme);
    EXPECT_EQ(0, scheme);
    int mode = -1;
    ctl->getParamMode(mode);
    EXPECT_EQ(1, mode);
    EXPECT_EQ(1, ctl->getSensorStatus());
    EXPECT_EQ(0u, seam->flags() & (busy_flags_mask | initing_flag | uniniting_flag));
    EXPECT_TRUE(seam->thread()->isRunning());
    EXPECT_EQ(factory, factoryBytes());
    for (int s = 0; s < 4; ++s) {
        EXPECT_EQ(factory, sandbox->readFile(paramFile(s))) << s;
        EXPECT_EQ(factory, bytesOf(seam->userKeyVal()[s], seam->keyValSum())) << s;
    }
    EXPECT_EQ("thermal", sandbox->readFile(paramFile(0, true)));
    EXPECT_EQ("other", sandbox->readFile("/mnt/mtd/code/config_file/other.cfg"));
    EXPECT_FALSE(sandbox->exists("/mnt/mtd/code/config_backup/sensor2.cfg"));
    EXPECT_EQ(5, ctl->getSensorType());
}

TEST_F(ResetTest, ResetOnTheThermalChannelRemovesOnlyThermalFiles) {
    initChannel(2);
    sandbox->writeFile(paramFile(0), "visible");
    sandbox->writeFile(paramFile(3, true), "stale");
    EXPECT_TRUE(ctl->resetParameters());
    EXPECT_EQ("visible", sandbox->readFile(paramFile(0)));
    EXPECT_EQ(factoryBytes(), sandbox->readFile(paramFile(3, true)));
}

struct DebugResetCase {
    const char* name;
    bool present;
    const char* document;
    int moduleId;
    bool reported;
};

class DebugResetTest : public ResetTest, public ::testing::WithParamInterface<DebugResetCase> {};

TEST_P(DebugResetTest, DebugResetRebuildsTheModuleFromTheDocumentOrTheKeptRecord) {
    initChannel();
    if (GetParam().present) {
        sandbox->writeFile("/hd1/moduleConfig/moduleConfig.xml", GetParam().document);
    } else {
        sandbox->remove("/hd1/moduleConfig/moduleConfig.xml");
    }
    sandbox->setDebugSwitch("6\n");
    StdoutCapture out;
    EXPECT_TRUE(ctl->resetParameters());
    std::string text = out.stop();
    sandbox->setDebugSwitch("1\n");
    EXPECT_EQ(GetParam().moduleId, ctl->getSensorType());
    EXPECT_EQ(GetParam().reported, text.find("!vecModuleConfigure.empty()") != std::string::npos);
    EXPECT_EQ(1, ctl->getSensorStatus());
}

INSTANTIATE_TEST_SUITE_P(
    Documents, DebugResetTest,
    ::testing::Values(
        DebugResetCase{"missing", false, "", 5, true},
        DebugResetCase{"empty", true, "<?xml version=\"1.0\"?>\n<moduleConfig>\n</moduleConfig>\n",
                       5, true},
        DebugResetCase{"otherBoard", true,
                       "<moduleConfig>\n<module hardwareModel=\"Hi3516EV200\" hardwareCode=\"X\" "
                       "id=\"9\" detail=\"(max_scheme=4)\" parameters=\"\"/>\n</moduleConfig>\n",
                       5, true},
        DebugResetCase{"matching", true,
                       "<moduleConfig>\n<module hardwareModel=\"Hi3519V101\" "
                       "hardwareCode=\"IPC-01\" id=\"77\" detail=\"(isInfrared=1)(max_scheme=3)\" "
                       "parameters=\"\"/>\n</moduleConfig>\n",
                       77, false}),
    [](const ::testing::TestParamInfo<DebugResetCase>& info) {
        return std::string(info.param.name);
    });

TEST_F(ResetTest, DebugResetTakesTheSchemeCountOfTheDocument) {
    initChannel();
    sandbox->writeFile("/hd1/moduleConfig/moduleConfig.xml",
                       "<moduleConfig>\n<module hardwareModel=\"Hi3519V101\" "
                       "hardwareCode=\"IPC-01\" id=\"77\" detail=\"(isInfrared=1)(max_scheme=3)\" "
                       "parameters=\"\"/>\n</moduleConfig>\n");
    sandbox->setDebugSwitch("6\n");
    StdoutCapture out;
    ctl->resetParameters();
    out.stop();
    sandbox->setDebugSwitch("1\n");
    EXPECT_EQ(3u, seam->sysConf().nSchemeSum);
}

TEST_F(ResetTest, SetParamSchemeDuringAResetWaitsForIt) {
    initChannel();
    std::atomic<int> finished{0};
    int resetOrder = 0;
    int schemeOrder = 0;
    bool switched = false;
    video.arm();
    std::thread resetter([&] {
        ctl->resetParameters();
        resetOrder = ++finished;
    });
    ASSERT_TRUE(video.waitReached());
    std::thread host([&] {
        switched = ctl->setParamScheme(1);
        schemeOrder = ++finished;
    });
    // The reset holds the controller while its init is held here.
    for (int i = 0; i < 50; ++i) {
        OrvaneTime::wait(OrvaneTime(1, 0));
    }
    EXPECT_EQ(0, finished.load());
    EXPECT_NE(0u, seam->flags() & resetting_flag);
    video.open();
    resetter.join();
    host.join();
    EXPECT_EQ(1, resetOrder);
    EXPECT_EQ(2, schemeOrder);
    EXPECT_TRUE(switched);
    int scheme = -1;
    ctl->getParamScheme(scheme);
    EXPECT_EQ(1, scheme);
}

}  // namespace
