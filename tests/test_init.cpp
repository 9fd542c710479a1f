// init and uinit on the bundled device data: the parameter files and the version stamp, the
// LPR scheme 1, the WDR and Beaway decisions, the first scheme, bad files and styles.
#include <sys/stat.h>

#include <cstring>
#include <memory>
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

const char* const kStamp = "/mnt/mtd/code/config_file/ovsversion.cfg";
const std::string kStamp8("\x08\0\0\0", 4);

std::string paramFile(int scheme) {
    return "/mnt/mtd/code/config_file/sensor" + std::to_string(scheme) + ".cfg";
}

std::string bytesOf(const KeyVal* records, size_t count) {
    return std::string(reinterpret_cast<const char*>(records), count * sizeof(KeyVal));
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
    void initWith(const std::string& detail = "(isInfrared=1)(max_scheme=4)") {
        destroy();
        ctl = std::make_unique<ISensorController>();
        seam = std::make_unique<SensorControllerTestSeam>(*ctl);
        ctl->setVideoStreamModule(&video);
        ModuleConfigure module;
        module.setModuleId(5);
        module.setDetail(detail);
        ASSERT_TRUE(ctl->init(module));
    }
    void destroy() {
        if (ctl) {
            ctl->uinit();
        }
        seam.reset();
        ctl.reset();
    }
    std::string factoryBytes() { return bytesOf(seam->fctKeyVal(), seam->keyValSum()); }
    int at(u32 key) {
        for (u32 i = 0; i < seam->keyValSum(); ++i) {
            if (seam->fctKeyVal()[i].key == key) {
                return static_cast<int>(i);
            }
        }
        ADD_FAILURE() << "no key " << key;
        return 0;
    }
    // Rewrites one value of a scheme's parameter file.
    void editFile(int scheme, u32 key, int32_t value) {
        std::string bytes = sandbox->readFile(paramFile(scheme));
        std::memcpy(&bytes[at(key) * sizeof(KeyVal) + 4], &value, 4);
        sandbox->writeFile(paramFile(scheme), bytes);
    }
    int cached(int scheme, u32 key) { return seam->userKeyVal()[scheme][at(key)].value; }
    SimVideoModule video;
    std::unique_ptr<ISensorController> ctl;
    std::unique_ptr<SensorControllerTestSeam> seam;
};

TEST_F(InitTest, FirstInitWritesTheFactoryRecordsAndASecondKeepsTheFiles) {
    ctl = std::make_unique<ISensorController>();
    seam = std::make_unique<SensorControllerTestSeam>(*ctl);
    EXPECT_EQ(0, ctl->getSensorStatus());
    EXPECT_EQ(160u, seam->keyCmdNum());
    initWith();
    EXPECT_EQ(1, ctl->getSensorStatus());
    EXPECT_EQ(155u, seam->keyCmdNum());
    EXPECT_EQ(8000u, seam->fctKeyVal()[0].key);
    for (int s = 0; s < 4; ++s) {
        EXPECT_EQ(factoryBytes(), sandbox->readFile(paramFile(s))) << s;
    }
    EXPECT_FALSE(sandbox->exists(paramFile(4)));
    EXPECT_EQ(kStamp8, sandbox->readFile(kStamp));
    editFile(1, 34, 77);
    const std::string edited = sandbox->readFile(paramFile(1));
    initWith();
    EXPECT_EQ(edited, sandbox->readFile(paramFile(1)));
    EXPECT_EQ(77, cached(1, 34));
}

// Six schemes: a version change recreates the files of schemes 0 to 3 only.
TEST_F(InitTest, AStaleMissingOrShortStampRecreatesTheFirstFourFiles) {
    for (const std::string& stamp :
         {std::string("\x07\0\0\0", 4), std::string("\x08\0\0", 3), std::string()}) {
        initWith("(isInfrared=1)(max_scheme=6)");
        editFile(1, 34, 77);
        editFile(5, 34, 79);
        if (stamp.empty()) {
            sandbox->remove(kStamp);
        } else {
            sandbox->writeFile(kStamp, stamp);
        }
        initWith("(isInfrared=1)(max_scheme=6)");
        EXPECT_EQ(factoryBytes(), sandbox->readFile(paramFile(1))) << stamp.size();
        EXPECT_EQ(79, cached(5, 34));
        EXPECT_EQ(kStamp8, sandbox->readFile(kStamp));
    }
}

TEST_F(InitTest, LprDeviceWritesSchemeOneWithTheFiveLprKeys) {
    sandbox->writeMachineInfo(8);
    StdoutCapture out;
    initWith("(isInfrared=17)(max_scheme=4)");
    EXPECT_NE(std::string::npos, out.stop().find("#### m_bisLimitedIrPower is true!"));
    ASSERT_TRUE(seam->lprMode() && seam->limitedIrPower());
    std::vector<KeyVal> expected(seam->fctKeyVal(), seam->fctKeyVal() + seam->keyValSum());
    for (const KeyVal& lpr :
         {KeyVal{144, 0}, KeyVal{49, 18}, KeyVal{96, 1}, KeyVal{161, 2}, KeyVal{163, 40}}) {
        expected[at(lpr.key)].value = lpr.value;
    }
    EXPECT_NE(factoryBytes(), sandbox->readFile(paramFile(1)));
    EXPECT_EQ(bytesOf(expected.data(), expected.size()), sandbox->readFile(paramFile(1)));
    EXPECT_EQ(factoryBytes(), sandbox->readFile(paramFile(2)));
    initWith("(isInfrared=1)(max_scheme=4)");  // infrared marker: no LPR
    EXPECT_FALSE(seam->lprMode() || seam->limitedIrPower());
}

TEST_F(InitTest, UinitBeforeInitDoesNothingAndTwiceReleasesNothingTwice) {
    ISensorController fresh;
    fresh.uinit();
    EXPECT_EQ(0, fresh.getSensorStatus());
    initWith();
    ctl->uinit();
    ctl->uinit();
    EXPECT_EQ(nullptr, seam->userKeyVal());
    EXPECT_EQ(-1, seam->curScheme());
    EXPECT_EQ(1, ctl->getSensorStatus());
    EXPECT_FALSE(seam->thread()->isRunning());
}

struct VideoCase {
    const char* model;
    std::vector<AVStreamParam> streams;
    int limitedWdr;
    bool wdr;
    bool beaway;
};

TEST_F(InitTest, TheVideoModuleDecidesWdrAndBeaway) {
    const VideoCase cases[] = {
        {"Hi3519V101", {stream(30)}, 0, true, true},
        {"Hi3519V101", {stream(25), stream(60)}, 0, false, true},
        {"Hi3519V101", {stream(50)}, 0, false, true},
        {"Hi3519V101", {stream(30)}, 1, false, true},
        {"Hi3519V101", {stream(25, 1, 240)}, 0, true, true},
        {"Hi3516AV200", {stream(25, 1, 255)}, 0, true, false},
        {"Hi3516AV200Thermal", {stream(25, 1, 240)}, 0, true, false},
        {"Hi3516AV200", {stream(25, 1, 256), stream(25, 0, 240)}, 0, true, true},
    };
    for (const VideoCase& c : cases) {
        sandbox->writeMachineInfo(1, c.model);
        video.setStreams(c.streams);
        LimitedFramesWDRModeParam limited;
        limited.setLimitWdr(c.limitedWdr);
        video.setLimitedFramesWDR(limited);
        initWith();
        EXPECT_EQ(c.wdr, seam->showWDR()) << c.model << " " << c.streams[0].getFrameRate();
        EXPECT_EQ(c.beaway, getshowBeawayFalg()) << c.model;
    }
}

// Scheme 0 holds the mode; the windows of schemes 0 and 1 are empty, scheme 2's holds 12:00.
TEST_F(InitTest, SchemeModeInSchemeZeroDecidesTheFirstScheme) {
    for (int mode : {0, 1}) {
        initWith();
        const int edits[][3] = {{0, 8000, mode}, {0, 8003, 0},  {0, 8004, 0},
                                {0, 34, 11},     {1, 8003, 0},  {1, 8004, 0},
                                {2, 8001, 10},   {2, 8003, 18}, {2, 34, 33}};
        for (const auto& e : edits) {
            editFile(e[0], static_cast<u32>(e[1]), e[2]);
        }
        destroy();
        iasim::clearLog();
        initWith();
        std::vector<int> brightness;
        for (const iasim::Call& call : iasim::callLog()) {
            if (call.cmd == 34 && call.opt == IA_CMD_OPT_SET) {
                brightness.push_back(call.value);
            }
        }
        EXPECT_EQ(mode == 0 ? 0 : 2, seam->curScheme()) << mode;
        EXPECT_EQ(std::vector<int>{mode == 0 ? 11 : 33}, brightness) << mode;
    }
}

TEST_F(InitTest, BadParameterFilesKeepTheFactoryValuesWhereTheyHoldNone) {
    initWith();
    const u32 sum = seam->keyValSum();
    const KeyVal last = seam->fctKeyVal()[sum - 1];
    editFile(1, 34, 61);
    editFile(2, 34, 62);
    std::string bytes = sandbox->readFile(paramFile(1));
    sandbox->writeFile(paramFile(1), bytes + std::string(8, '\x01'));  // long
    bytes = sandbox->readFile(paramFile(2));
    sandbox->writeFile(paramFile(2), bytes.substr(0, bytes.size() - 8));  // short
    sandbox->remove(paramFile(3));
    ASSERT_EQ(0, ::mkdir(sandbox->path(paramFile(3)).c_str(), 0755));  // unreadable
    StdoutCapture out;
    initWith();
    const std::string text = out.stop();
    EXPECT_NE(std::string::npos, text.find("nSize == sizeof(KeyVal)*p_nKeyValNum")) << text;
    EXPECT_EQ(61, cached(1, 34));
    EXPECT_EQ(62, cached(2, 34));
    EXPECT_EQ(bytesOf(&last, 1), bytesOf(&seam->userKeyVal()[2][sum - 1], 1));
    EXPECT_EQ(factoryBytes(), bytesOf(seam->userKeyVal()[3], sum));
}

TEST_F(InitTest, AStyleWithoutParametersGivesAnEmptyWorkingChannel) {
    sandbox->writeFile("/hd1/moduleConfig/sensorConfig/style/Style.xml",
                       "<?xml version=\"1.0\"?>\n<ImageStyle></ImageStyle>\n");
    StdoutCapture out;
    initWith();
    out.stop();
    EXPECT_EQ(0u, seam->keyValSum());
    EXPECT_EQ("", sandbox->readFile(paramFile(3)));
    EXPECT_TRUE(ctl->setParamScheme(2));
    EXPECT_TRUE(ctl->resetToLastParameters());
}

}  // namespace
