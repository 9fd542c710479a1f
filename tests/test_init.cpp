// init and uinit on the bundled device data: parameter files and the version stamp, the LPR
// variant of scheme 1, the device markers, the WDR and Beaway decisions, the first scheme,
// and bad files and styles.
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
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

const char* const kStamp = "/mnt/mtd/code/config_file/ovsversion.cfg";
const char* const kDetail = "(isInfrared=1)(max_scheme=4)";

std::string paramFile(int scheme, bool thermal = false) {
    char name[96];
    std::snprintf(name, sizeof(name), "/mnt/mtd/code/config_file/sensor%s%d.cfg",
                  thermal ? "-thermal" : "", scheme);
    return name;
}

std::string bytesOf(const KeyVal* records, u32 count) {
    return std::string(reinterpret_cast<const char*>(records), count * sizeof(KeyVal));
}

std::vector<KeyVal> recordsOf(const std::string& bytes) {
    std::vector<KeyVal> out(bytes.size() / sizeof(KeyVal));
    if (!out.empty()) {
        std::memcpy(out.data(), bytes.data(), out.size() * sizeof(KeyVal));
    }
    return out;
}

int indexOf(const KeyVal* records, u32 count, u32 key) {
    for (u32 i = 0; i < count; ++i) {
        if (records[i].key == key) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

ModuleConfigure moduleWith(const std::string& detail, int id = 5) {
    ModuleConfigure module;
    module.setModuleId(id);
    module.setDetail(detail);
    module.setParameters("(34,50)");
    return module;
}

AVStreamParam stream(int fps, int encoder = 0, int height = 1080) {
    AVStreamParam param;
    param.setFrameRate(fps);
    param.setVideoEncoderType(encoder);
    param.setVideoHeight(height);
    return param;
}

class InitTest : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        sandbox->installDeviceData();
        sandbox->writeMachineInfo(1);
        setshowBeawayFalg(true);
    }
    void TearDown() override {
        destroy();
        SandboxTest::TearDown();
    }
    // A controller for channel 1 with the video module attached (constructed after the
    // machine information is in place).
    void create(int channel = 1, bool withVideo = true) {
        destroy();
        ctl = std::make_unique<ISensorController>();
        seam = std::make_unique<SensorControllerTestSeam>(*ctl);
        ctl->setChannelID(channel);
        if (withVideo) {
            ctl->setVideoStreamModule(&video);
        }
    }
    void initWith(const std::string& detail = kDetail, int channel = 1) {
        create(channel);
        ASSERT_TRUE(ctl->init(moduleWith(detail)));
    }
    void destroy() {
        if (ctl) {
            ctl->uinit();
        }
        seam.reset();
        ctl.reset();
    }
    std::string factoryBytes() { return bytesOf(seam->fctKeyVal(), seam->keyValSum()); }
    // Rewrites one value of a parameter file.
    void editFile(int scheme, u32 key, int32_t value) {
        std::vector<KeyVal> records = recordsOf(sandbox->readFile(paramFile(scheme)));
        int at = indexOf(records.data(), static_cast<u32>(records.size()), key);
        ASSERT_GE(at, 0) << key;
        records[at].value = value;
        sandbox->writeFile(paramFile(scheme), bytesOf(records.data(), records.size()));
    }
    int cached(u32 scheme, u32 key) {
        u32 value = 0;
        EXPECT_GE(seam->getKeyValFromCache(scheme, key, value), 0) << key;
        return static_cast<int>(value);
    }
    SimVideoModule video;
    std::unique_ptr<ISensorController> ctl;
    std::unique_ptr<SensorControllerTestSeam> seam;
};

TEST_F(InitTest, FirstInitWritesEverySchemeFromTheFactoryRecordsAndTheStamp) {
    create();
    EXPECT_EQ(0, ctl->getSensorStatus());
    EXPECT_EQ(160u, seam->keyCmdNum());
    ASSERT_TRUE(ctl->init(moduleWith(kDetail)));
    EXPECT_EQ(1, ctl->getSensorStatus());
    EXPECT_EQ(155u, seam->keyCmdNum());
    EXPECT_EQ(0u, seam->flags() & initing_flag);
    EXPECT_TRUE(seam->thread()->isRunning());
    EXPECT_EQ(5, ctl->getSensorType());

    ASSERT_EQ(4u, seam->sysConf().nSchemeSum);
    const u32 sum = seam->keyValSum();
    ASSERT_GT(sum, 5u);
    const u32 schemeKeys[] = {8000, 8001, 8002, 8003, 8004};
    for (u32 i = 0; i < 5; ++i) {
        EXPECT_EQ(schemeKeys[i], seam->fctKeyVal()[i].key);
    }
    EXPECT_EQ(0, seam->fctKeyVal()[0].value);
    EXPECT_EQ(seam->userKeyVal()[4], seam->fctKeyVal());
    for (int s = 0; s < 4; ++s) {
        EXPECT_EQ(factoryBytes(), sandbox->readFile(paramFile(s))) << s;
        EXPECT_EQ(factoryBytes(), bytesOf(seam->userKeyVal()[s], sum)) << s;
    }
    EXPECT_FALSE(sandbox->exists(paramFile(4)));
    EXPECT_EQ(std::string("\x08\x00\x00\x00", 4), sandbox->readFile(kStamp));
    EXPECT_EQ(0, seam->curScheme());
}

TEST_F(InitTest, SecondInitKeepsTheFilesAndLoadsThem) {
    initWith();
    destroy();
    editFile(1, 34, 77);
    const std::string edited = sandbox->readFile(paramFile(1));
    initWith();
    EXPECT_EQ(edited, sandbox->readFile(paramFile(1)));
    EXPECT_EQ(77, cached(1, 34));
    EXPECT_EQ(factoryBytes(), sandbox->readFile(paramFile(0)));
}

struct StampCase {
    const char* name;
    bool present;
    std::string bytes;
};

class StampTest : public InitTest, public ::testing::WithParamInterface<StampCase> {};

TEST_P(StampTest, AnUnusableStampRecreatesTheFilesFromTheFactory) {
    initWith();
    destroy();
    editFile(1, 34, 77);
    editFile(3, 34, 78);
    if (GetParam().present) {
        sandbox->writeFile(kStamp, GetParam().bytes);
    } else {
        sandbox->remove(kStamp);
    }
    initWith();
    for (int s = 0; s < 4; ++s) {
        EXPECT_EQ(factoryBytes(), sandbox->readFile(paramFile(s))) << s;
    }
    const int brightness = indexOf(seam->fctKeyVal(), seam->keyValSum(), 34);
    ASSERT_GE(brightness, 0);
    EXPECT_EQ(seam->fctKeyVal()[brightness].value, cached(1, 34));
    EXPECT_EQ(std::string("\x08\x00\x00\x00", 4), sandbox->readFile(kStamp));
}

INSTANTIATE_TEST_SUITE_P(Stamps, StampTest,
                         ::testing::Values(StampCase{"seven", true, std::string("\x07\0\0\0", 4)},
                                           StampCase{"missing", false, ""},
                                           StampCase{"short", true, std::string("\x08\0\0", 3)}),
                         [](const ::testing::TestParamInfo<StampCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(InitTest, VersionChangeIsWarnedWithTheStoredStamp) {
    initWith();
    destroy();
    sandbox->writeFile(kStamp, std::string("\x07\0\0\0", 4));
    sandbox->setDebugSwitch("4\n");
    StdoutCapture out;
    initWith();
    std::string text = out.stop();
    EXPECT_NE(std::string::npos,
              text.find("check the sensor version,   local(7) --> libtarnis.so(8), source the "
                        "cmd: rm -rf /mnt/mtd/code/config*/sensor*\n"))
        << text;
}

TEST_F(InitTest, FilesOfSchemesFourAndUpSurviveAVersionChange) {
    initWith("(isInfrared=1)(max_scheme=6)");
    ASSERT_EQ(6u, seam->sysConf().nSchemeSum);
    destroy();
    editFile(1, 34, 77);
    editFile(5, 34, 79);
    const std::string kept = sandbox->readFile(paramFile(5));
    sandbox->writeFile(kStamp, std::string("\x07\0\0\0", 4));
    initWith("(isInfrared=1)(max_scheme=6)");
    EXPECT_EQ(factoryBytes(), sandbox->readFile(paramFile(1)));
    EXPECT_EQ(kept, sandbox->readFile(paramFile(5)));
    EXPECT_EQ(79, cached(5, 34));
}

TEST_F(InitTest, LprDeviceWritesSchemeOneWithTheFiveLprKeys) {
    sandbox->writeMachineInfo(8);
    initWith("(max_scheme=4)");
    ASSERT_TRUE(seam->lprMode());
    const u32 sum = seam->keyValSum();
    std::vector<KeyVal> expected(seam->fctKeyVal(), seam->fctKeyVal() + sum);
    const std::pair<u32, int32_t> lpr[] = {{144, 0}, {49, 18}, {96, 1}, {161, 2}, {163, 40}};
    int changed = 0;
    for (const auto& kv : lpr) {
        int at = indexOf(expected.data(), sum, kv.first);
        if (at >= 0 && expected[at].value != kv.second) {
            expected[at].value = kv.second;
            ++changed;
        }
    }
    EXPECT_GE(changed, 3);
    EXPECT_EQ(bytesOf(expected.data(), sum), sandbox->readFile(paramFile(1)));
    EXPECT_EQ(bytesOf(expected.data(), sum), bytesOf(seam->userKeyVal()[1], sum));
    for (int s : {0, 2, 3}) {
        EXPECT_EQ(factoryBytes(), sandbox->readFile(paramFile(s))) << s;
    }
}

struct MarkerCase {
    int deviceType;
    const char* detail;
    bool lpr;
    bool limitedIr;
};

class MarkerTest : public InitTest, public ::testing::WithParamInterface<MarkerCase> {};

TEST_P(MarkerTest, DeviceTypeAndInfraredMarkersDecideTheModes) {
    sandbox->writeMachineInfo(GetParam().deviceType);
    StdoutCapture out;
    initWith(GetParam().detail);
    std::string text = out.stop();
    EXPECT_EQ(GetParam().lpr, seam->lprMode());
    EXPECT_EQ(GetParam().limitedIr, seam->limitedIrPower());
    EXPECT_EQ(GetParam().limitedIr,
              text.find("#### m_bisLimitedIrPower is true!") != std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Markers, MarkerTest,
    ::testing::Values(MarkerCase{8, "(max_scheme=4)", true, false},
                      MarkerCase{8, "(isInfrared=0)(max_scheme=4)", false, false},
                      MarkerCase{8, "(isInfrared=1)(max_scheme=4)", false, false},
                      MarkerCase{8, "(isInfrared=17)(max_scheme=4)", true, true},
                      MarkerCase{1, "(max_scheme=4)", false, false},
                      MarkerCase{1, "(isInfrared=17)(max_scheme=4)", false, true}));

TEST_F(InitTest, UinitBeforeInitDoesNothingAndUinitTwiceIsSafe) {
    create();
    ctl->uinit();
    EXPECT_EQ(0, ctl->getSensorStatus());
    EXPECT_FALSE(seam->thread()->isRunning());
    ASSERT_TRUE(ctl->init(moduleWith(kDetail)));
    ctl->uinit();
    EXPECT_FALSE(seam->thread()->isRunning());
    EXPECT_EQ(nullptr, seam->userKeyVal());
    EXPECT_EQ(nullptr, seam->keyCmdMap());
    EXPECT_EQ(nullptr, seam->fctKeyVal());
    EXPECT_EQ(0u, seam->keyValSum());
    EXPECT_EQ(-1, seam->curScheme());
    EXPECT_EQ(1, seam->paramMode());
    EXPECT_EQ(1, ctl->getSensorStatus());
    StdoutCapture out;
    ctl->uinit();
    EXPECT_EQ("", out.stop());
    ASSERT_TRUE(ctl->init(moduleWith(kDetail)));
    EXPECT_EQ(155u, seam->keyCmdNum());
    EXPECT_TRUE(seam->thread()->isRunning());
}

TEST_F(InitTest, UinitStopsTheThreadWhileAPassWaitsForTheMutex) {
    initWith();
    // Day/night mode keeps every pass wanting the mutex.
    ASSERT_EQ(0, ctl->setParameter(8000, 2, true));
    seam->mutex().Lock(__FILE__, __LINE__);
    // A few passes (scaled seconds) bring the thread to its try-lock loop.
    for (int i = 0; i < 20; ++i) {
        OrvaneTime::wait(OrvaneTime(1, 0));
    }
    std::atomic<bool> released{false};
    std::thread host([&] {
        ctl->uinit();
        released = true;
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!released.load() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const bool releasedWhileHeld = released.load();
    seam->mutex().Unlock(__FILE__, __LINE__);
    host.join();
    EXPECT_TRUE(releasedWhileHeld);
    EXPECT_FALSE(seam->thread()->isRunning());
    EXPECT_EQ(nullptr, seam->userKeyVal());
}

struct VideoCase {
    const char* name;
    std::vector<AVStreamParam> streams;
    int limitedMode;
    int limitedWdr;
    bool showWdr;
};

class WdrTest : public InitTest, public ::testing::WithParamInterface<VideoCase> {};

TEST_P(WdrTest, StreamsAndLimitedFramesDecideWdr) {
    video.setStreams(GetParam().streams);
    LimitedFramesWDRModeParam limited;
    limited.setLimitFramesModeId(GetParam().limitedMode);
    limited.setLimitWdr(GetParam().limitedWdr);
    video.setLimitedFramesWDR(limited);
    initWith();
    EXPECT_EQ(GetParam().showWdr, seam->showWDR());
}

INSTANTIATE_TEST_SUITE_P(
    Video, WdrTest,
    ::testing::Values(VideoCase{"fps30", {stream(30)}, 0, 0, true},
                      VideoCase{"fps60", {stream(60)}, 0, 0, false},
                      VideoCase{"fps50", {stream(25), stream(50)}, 0, 0, false},
                      VideoCase{"limitedWdr", {stream(30)}, 0, 1, false},
                      VideoCase{"limitedOtherMode", {stream(30)}, 1, 1, true}),
    [](const ::testing::TestParamInfo<VideoCase>& info) { return std::string(info.param.name); });

TEST_F(InitTest, WithoutAVideoModuleWdrStaysOffered) {
    create(1, false);
    ASSERT_TRUE(ctl->init(moduleWith(kDetail)));
    EXPECT_TRUE(seam->showWDR());
    EXPECT_EQ(1, ctl->getSensorStatus());
}

struct BeawayCase {
    const char* model;
    int encoder;
    int height;
    bool shown;
};

class BeawayTest : public InitTest, public ::testing::WithParamInterface<BeawayCase> {};

TEST_P(BeawayTest, SmallStreamsOnTwoModelsHideBeaway) {
    sandbox->writeMachineInfo(1, GetParam().model);
    video.setStreams({stream(25), stream(25, GetParam().encoder, GetParam().height)});
    initWith();
    EXPECT_EQ(GetParam().shown, getshowBeawayFalg());
}

INSTANTIATE_TEST_SUITE_P(Models, BeawayTest,
                         ::testing::Values(BeawayCase{"Hi3516AV200", 1, 240, false},
                                           BeawayCase{"Hi3516AV200Thermal", 1, 255, false},
                                           BeawayCase{"Hi3516AV200", 1, 256, true},
                                           BeawayCase{"Hi3516AV200", 0, 240, true},
                                           BeawayCase{"Hi3519V101", 1, 240, true}));

class FirstSchemeTest : public InitTest, public ::testing::WithParamInterface<int> {};

// Scheme 0 holds the mode; the windows of schemes 0 and 1 are empty, scheme 2's holds 12:00.
TEST_P(FirstSchemeTest, SchemeModeInSchemeZeroDecidesTheFirstScheme) {
    initWith();
    destroy();
    editFile(0, 8000, GetParam());
    editFile(0, 8003, 0);
    editFile(0, 8004, 0);
    editFile(0, 34, 11);
    editFile(1, 8003, 0);
    editFile(1, 8004, 0);
    const std::pair<u32, int32_t> window[] = {{8001, 10}, {8002, 0}, {8003, 18}, {8004, 0}};
    for (const auto& kv : window) {
        editFile(2, kv.first, kv.second);
    }
    editFile(2, 34, 33);
    iasim::clearLog();
    initWith();
    std::vector<int> brightness;
    for (const iasim::Call& call : iasim::callLog()) {
        if (call.cmd == 34 && call.opt == IA_CMD_OPT_SET) {
            brightness.push_back(call.value);
        }
    }
    int scheme = -1;
    ctl->getParamScheme(scheme);
    if (GetParam() == 0) {
        EXPECT_EQ(0, scheme);
        EXPECT_EQ(std::vector<int>{11}, brightness);
    } else {
        EXPECT_TRUE(seam->scheduleScheme());
        EXPECT_EQ(2, scheme);
        EXPECT_EQ(std::vector<int>{33}, brightness);
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, FirstSchemeTest, ::testing::Values(0, 1));

TEST_F(InitTest, ParameterFileLongerThanASchemeLoadsSilently) {
    initWith();
    destroy();
    editFile(2, 34, 61);
    sandbox->writeFile(paramFile(2), sandbox->readFile(paramFile(2)) + std::string(8, '\x01'));
    StdoutCapture out;
    initWith();
    std::string text = out.stop();
    EXPECT_EQ(std::string::npos, text.find("[sensor assert]")) << text;
    EXPECT_EQ(61, cached(2, 34));
}

TEST_F(InitTest, ShortParameterFileIsReportedAndItsTailKeepsTheFactoryValues) {
    initWith();
    const u32 sum = seam->keyValSum();
    KeyVal last = seam->fctKeyVal()[sum - 1];
    destroy();
    std::vector<KeyVal> records = recordsOf(sandbox->readFile(paramFile(2)));
    records.back().value = last.value + 1000;
    records[5].value = 4242;
    sandbox->writeFile(paramFile(2), bytesOf(records.data(), sum - 1));
    StdoutCapture out;
    initWith();
    std::string text = out.stop();
    EXPECT_NE(std::string::npos, text.find("nSize == sizeof(KeyVal)*p_nKeyValNum")) << text;
    EXPECT_EQ(4242, seam->userKeyVal()[2][5].value);
    EXPECT_EQ(last.key, seam->userKeyVal()[2][sum - 1].key);
    EXPECT_EQ(last.value, seam->userKeyVal()[2][sum - 1].value);
}

TEST_F(InitTest, UnreadableParameterFileLeavesTheFactoryValues) {
    initWith();
    destroy();
    sandbox->remove(paramFile(3));
    ASSERT_EQ(0, ::mkdir(sandbox->path(paramFile(3)).c_str(), 0755));
    StdoutCapture out;
    initWith();
    std::string text = out.stop();
    EXPECT_NE(std::string::npos, text.find("[sensor assert]")) << text;
    EXPECT_EQ(factoryBytes(), bytesOf(seam->userKeyVal()[3], seam->keyValSum()));
    EXPECT_EQ(1, ctl->getSensorStatus());
}

TEST_F(InitTest, MissingParameterFileIsCreatedAndOthersKept) {
    initWith();
    destroy();
    editFile(1, 34, 71);
    sandbox->remove(paramFile(2));
    initWith();
    EXPECT_EQ(factoryBytes(), sandbox->readFile(paramFile(2)));
    EXPECT_EQ(71, cached(1, 34));
}

TEST_F(InitTest, StyleWithoutParametersGivesAnEmptyButWorkingChannel) {
    sandbox->writeFile("/hd1/moduleConfig/sensorConfig/style/Style.xml",
                       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<style></style>\n");
    StdoutCapture out;
    initWith();
    out.stop();
    EXPECT_EQ(0u, seam->keyValSum());
    EXPECT_EQ(1, ctl->getSensorStatus());
    for (int s = 0; s < 4; ++s) {
        EXPECT_TRUE(sandbox->exists(paramFile(s)));
        EXPECT_EQ("", sandbox->readFile(paramFile(s)));
    }
    EXPECT_TRUE(ctl->setParamScheme(2));
    EXPECT_TRUE(ctl->resetToLastParameters());
}

TEST_F(InitTest, ThermalChannelUsesItsOwnFiles) {
    initWith(kDetail, 2);
    for (int s = 0; s < 4; ++s) {
        EXPECT_TRUE(sandbox->exists(paramFile(s, true))) << s;
        EXPECT_FALSE(sandbox->exists(paramFile(s))) << s;
    }
}

}  // namespace
