// The channel's life cycle on the bundled device data: init and uinit (files, version stamp,
// first scheme, LPR, WDR and Beaway, bad input), restore and reset, and a stress run.
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "ControllerSeam.h"
#include "IaSim.h"
#include "ISensorController.h"
#include "OrvaneTime.h"
#include "Sandbox.h"
#include "SimVideoModule.h"

namespace {

using Sets = std::vector<std::pair<int, int>>;
const char* const kStamp = "/mnt/mtd/code/config_file/ovsversion.cfg";
const std::string kStamp8("\x08\0\0\0", 4);

std::string paramFile(int scheme, const char* kind = "") {
    return "/mnt/mtd/code/config_file/sensor" + std::string(kind) + std::to_string(scheme) + ".cfg";
}

// The values set on the processor since the last call (of `key` only, when given).
Sets processorSets(int key = -1) {
    Sets out;
    for (const iasim::Call& call : iasim::callLog()) {
        if (call.opt == IA_CMD_OPT_SET && (key < 0 || call.cmd == key)) {
            out.emplace_back(call.cmd, call.value);
        }
    }
    iasim::clearLog();
    return out;
}

// Its stream query waits while the test holds `gate`: a reset is caught inside its init.
struct GateVideoModule : SimVideoModule {
    int getStreamParams(std::vector<AVStreamParam>& out) const override {
        std::lock_guard<std::mutex> wait(gate);
        return SimVideoModule::getStreamParams(out);
    }
    mutable std::mutex gate;
};

struct Uinit {
    void operator()(ISensorController* ctl) const {
        ctl->uinit();
        delete ctl;
    }
};

class LifeTest : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        sandbox->installDeviceData();
        sandbox->writeMachineInfo(1);
        setshowBeawayFalg(true);  // process-wide: a previous test may have cleared it
    }
    void TearDown() override {
        ctl.reset();
        SandboxTest::TearDown();
    }
    void initWith(const std::string& detail = "(isInfrared=1)(lens=motor)(max_scheme=4)") {
        ctl.reset(new ISensorController);  // reads the sandbox's machine information
        seam = std::make_unique<SensorControllerTestSeam>(*ctl);
        ctl->setVideoStreamModule(&video);
        ModuleConfigure module;
        module.setModuleId(5);
        module.setDetail(detail);
        ASSERT_TRUE(ctl->init(module));
    }
    std::string bytes(const KeyVal* records) {
        return {reinterpret_cast<const char*>(records), seam->keyValSum() * sizeof(KeyVal)};
    }
    int at(u32 key) {
        const KeyVal* f = seam->fctKeyVal();
        auto same = [key](const KeyVal& r) { return r.key == key; };
        const int i = static_cast<int>(std::find_if(f, f + seam->keyValSum(), same) - f);
        EXPECT_LT(i, static_cast<int>(seam->keyValSum())) << "no key " << key;
        return i;
    }
    // Rewrites one value of a scheme's parameter file and returns the file.
    std::string editFile(int scheme, u32 key, int32_t value) {
        std::string file = sandbox->readFile(paramFile(scheme));
        std::memcpy(&file[at(key) * sizeof(KeyVal) + 4], &value, 4);
        sandbox->writeFile(paramFile(scheme), file);
        return file;
    }
    int cached(int scheme, u32 key) { return seam->userKeyVal()[scheme][at(key)].value; }
    GateVideoModule video;
    std::unique_ptr<ISensorController, Uinit> ctl;
    std::unique_ptr<SensorControllerTestSeam> seam;
};

// Six schemes on an empty root; a version change recreates the files of schemes 0 to 3 only.
TEST_F(LifeTest, InitWritesTheFactoryFilesAndKeepsThemUntilTheStampChanges) {
    initWith("(isInfrared=1)(max_scheme=6)");
    for (int s = 0; s < 6; ++s) {
        EXPECT_EQ(bytes(seam->fctKeyVal()), sandbox->readFile(paramFile(s))) << s;
    }
    EXPECT_FALSE(sandbox->exists(paramFile(6)));
    for (const std::string& stamp :
         {kStamp8, std::string("\x07\0\0\0", 4), std::string("\x08\0\0", 3), std::string()}) {
        editFile(1, 34, 77);
        editFile(5, 34, 79);
        if (stamp.empty()) {
            sandbox->remove(kStamp);
        } else {
            sandbox->writeFile(kStamp, stamp);
        }
        initWith("(isInfrared=1)(max_scheme=6)");
        EXPECT_EQ(stamp == kStamp8 ? 77 : seam->fctKeyVal()[at(34)].value, cached(1, 34));
        EXPECT_EQ(79, cached(5, 34)) << stamp.size();
        EXPECT_EQ(kStamp8, sandbox->readFile(kStamp));
    }
}

TEST_F(LifeTest, LprDeviceWritesSchemeOneWithTheFiveLprKeys) {
    sandbox->writeMachineInfo(8);
    initWith("(isInfrared=17)(max_scheme=4)");  // 17 is no infrared marker
    ASSERT_TRUE(seam->lprMode());
    std::vector<KeyVal> expected(seam->fctKeyVal(), seam->fctKeyVal() + seam->keyValSum());
    for (const KeyVal& lpr :
         {KeyVal{144, 0}, KeyVal{49, 18}, KeyVal{96, 1}, KeyVal{161, 2}, KeyVal{163, 40}}) {
        expected[at(lpr.key)].value = lpr.value;
    }
    EXPECT_EQ(bytes(expected.data()), sandbox->readFile(paramFile(1)));
    EXPECT_EQ(bytes(seam->fctKeyVal()), sandbox->readFile(paramFile(2)));
}

TEST_F(LifeTest, StatusAndUinitBeforeInitAndTwice) {
    ISensorController fresh;
    fresh.uinit();  // nothing to release
    EXPECT_EQ(0, fresh.getSensorStatus());
    initWith();
    EXPECT_EQ(1, ctl->getSensorStatus());
    ctl->uinit();
    ctl->uinit();
    EXPECT_EQ(nullptr, seam->userKeyVal());
}

// One stream a row: 50 or 60 fps or the limited-frames mode hides WDR; the two AV200 models hide
// Beaway for an encoder-1 stream at most 255 lines high.
TEST_F(LifeTest, TheVideoModuleDecidesWdrAndBeaway) {
    struct {
        const char* model;
        int fps, encoder, height, limitWdr;
        bool wdr, beaway;
    } const cases[] = {
        {"Hi3519V101", 30, 0, 1080, 0, true, true},
        {"Hi3519V101", 60, 0, 1080, 0, false, true},  // the frame rate hides WDR
        {"Hi3519V101", 50, 0, 1080, 0, false, true},
        {"Hi3519V101", 30, 0, 1080, 1, false, true},  // so does the limited-frames mode
        {"Hi3519V101", 25, 1, 240, 0, true, true},    // another model shows Beaway
        {"Hi3516AV200", 25, 1, 255, 0, true, false},
        {"Hi3516AV200Thermal", 25, 1, 240, 0, true, false},
        {"Hi3516AV200", 25, 1, 256, 0, true, true},  // too high
        {"Hi3516AV200", 25, 0, 240, 0, true, true},  // another encoder
    };
    for (const auto& c : cases) {
        sandbox->writeMachineInfo(1, c.model);
        AVStreamParam stream;
        stream.setFrameRate(c.fps);
        stream.setVideoEncoderType(c.encoder);
        stream.setVideoHeight(c.height);
        video.setStreams({stream});
        LimitedFramesWDRModeParam limited;
        limited.setLimitWdr(c.limitWdr);
        video.setLimitedFramesWDR(limited);
        initWith();
        EXPECT_EQ(c.wdr, seam->showWDR()) << c.model << " " << c.fps;
        EXPECT_EQ(c.beaway, getshowBeawayFalg()) << c.model << " " << c.height;
    }
}

// Manual scheme mode applies scheme 0; day/night mode leaves the choice to the sensor thread.
TEST_F(LifeTest, SchemeModeInSchemeZeroDecidesTheFirstScheme) {
    iasim::setDNState(0, 1);
    for (int mode : {0, 2}) {
        initWith();
        editFile(0, 8000, mode);
        editFile(0, 34, 11);
        editFile(1, 34, 33);
        ctl.reset();
        iasim::clearLog();
        initWith();
        EXPECT_EQ(mode == 0 ? 0 : 1, seam->curScheme()) << mode;
        EXPECT_EQ((Sets{{34, mode == 0 ? 11 : 33}}), processorSets(34)) << mode;
    }
}

// The factory records fill what a short or unreadable file leaves; a long file's tail is unused.
TEST_F(LifeTest, ShortLongAndUnreadableParameterFiles) {
    initWith();
    const std::string one = editFile(1, 34, 61);
    const std::string two = editFile(2, 34, 62);
    sandbox->writeFile(paramFile(1), one + std::string(8, '\x01'));
    sandbox->writeFile(paramFile(2), two.substr(0, two.size() - 8));
    sandbox->remove(paramFile(3));
    ASSERT_EQ(0, ::mkdir(sandbox->path(paramFile(3)).c_str(), 0755));
    StdoutCapture quiet;
    initWith();
    EXPECT_EQ(one, bytes(seam->userKeyVal()[1]));
    EXPECT_EQ(two, bytes(seam->userKeyVal()[2]));
    EXPECT_EQ(bytes(seam->fctKeyVal()), bytes(seam->userKeyVal()[3]));
}

// Broken device data: the channel works on what it has but writes no parameter file.
TEST_F(LifeTest, AStyleWithoutParametersGivesAnEmptyWorkingChannel) {
    sandbox->writeFile("/hd1/moduleConfig/sensorConfig/style/Style.xml",
                       "<?xml version=\"1.0\"?>\n<ImageStyle></ImageStyle>\n");
    StdoutCapture quiet;
    initWith();
    quiet.stop();
    EXPECT_EQ(0u, seam->keyValSum());
    EXPECT_FALSE(sandbox->exists(paramFile(3)));
    EXPECT_TRUE(ctl->setParamScheme(2));
    EXPECT_TRUE(ctl->resetToLastParameters());
    EXPECT_EQ(509, ctl->flush());
}

TEST_F(LifeTest, RestoreSendsTheCachedValueEvenWhenEqualAndRestoreAeModeStopsOnAFailure) {
    initWith();
    const int value = cached(0, 34);
    processorSets();
    EXPECT_EQ(0, ctl->restore(34));  // the processor holds it already: sent all the same
    EXPECT_EQ(0, ctl->restore(34));
    EXPECT_EQ(-1, ctl->restore(4));  // a key the scheme lacks
    EXPECT_EQ((Sets{{34, value}, {34, value}}), processorSets());
    EXPECT_TRUE(ctl->restoreAeMode());
    EXPECT_EQ((Sets{{1536, cached(0, 1536)}, {16, cached(0, 16)}}), processorSets());
    iasim::injectFailure(1536, IA_CMD_OPT_SET, -5);
    EXPECT_FALSE(ctl->restoreAeMode());
    EXPECT_EQ((Sets{{1536, cached(0, 1536)}}), processorSets());
}

TEST_F(LifeTest, ResetToLastParametersSendsBackOnlyWhatChangedSinceTheFlush) {
    initWith();
    const int brightness = cached(0, 34);
    const int saturation = cached(0, 2337);
    ASSERT_EQ(0, ctl->setParameter(2353, cached(0, 2353) + 3, true));
    ASSERT_EQ(0, ctl->flush());
    ASSERT_EQ(0, ctl->setParameter(34, brightness + 5, true));
    ASSERT_EQ(0, ctl->setParameter(2337, saturation + 6, true));
    processorSets();
    EXPECT_TRUE(ctl->resetToLastParameters());
    EXPECT_EQ((Sets{{34, brightness}, {2337, saturation}}), processorSets());
    EXPECT_EQ(brightness, cached(0, 34));
    ASSERT_TRUE(ctl->setParamScheme(4));  // the factory scheme: nothing to reload
    ASSERT_EQ(0, ctl->setParameter(34, brightness + 5, true));
    processorSets();
    EXPECT_TRUE(ctl->resetToLastParameters());
    EXPECT_TRUE(processorSets().empty());
}

TEST_F(LifeTest, ResetToLastParametersTakesNoLockForTheFactoryAndReadsThroughTheFileRead) {
    initWith();
    ASSERT_TRUE(ctl->setParamScheme(4));  // the factory scheme
    seam->mutex().Lock(__FILE__, __LINE__);
    auto reload = std::async(std::launch::async, [&] { return ctl->resetToLastParameters(); });
    const bool returned = reload.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    seam->mutex().Unlock(__FILE__, __LINE__);
    EXPECT_TRUE(returned);
    EXPECT_TRUE(reload.get());

    // Missing file: the read's own report; the cache stays and nothing is sent.
    ASSERT_TRUE(ctl->setParamScheme(0));
    const int brightness = cached(0, 34);
    ASSERT_EQ(0, ctl->setParameter(34, brightness + 5, true));
    const std::string saved = sandbox->readFile(paramFile(0));
    sandbox->remove(paramFile(0));
    processorSets();
    StdoutCapture capture;
    EXPECT_TRUE(ctl->resetToLastParameters());
    EXPECT_NE(std::string::npos,
              capture.stop().find("file.open(file_name)   ~~~Assertion failed."));
    EXPECT_TRUE(processorSets().empty());
    EXPECT_EQ(brightness + 5, cached(0, 34));

    // Short file: the records it holds come back; the last one keeps the cached value.
    const u32 last = seam->userKeyVal()[0][seam->keyValSum() - 1].key;
    const int lastValue = cached(0, last);
    ASSERT_EQ(0, ctl->setParameter(last, lastValue + 1, true));
    sandbox->writeFile(paramFile(0), saved.substr(0, saved.size() - sizeof(KeyVal)));
    processorSets();
    StdoutCapture shortRead;
    EXPECT_TRUE(ctl->resetToLastParameters());
    EXPECT_NE(std::string::npos,
              shortRead.stop().find("nSize == sizeof(KeyVal)*p_nKeyValNum   ~~~Assertion failed."));
    EXPECT_EQ((Sets{{34, brightness}}), processorSets());
    EXPECT_EQ(lastValue + 1, cached(0, last));
}

TEST_F(LifeTest, ResetParametersRebuildsEverySchemeOfTheChannelKindFromTheFactory) {
    initWith();
    editFile(1, 34, 61);
    ASSERT_EQ(0, ctl->setParameter(34, cached(0, 34) + 5, true));
    ASSERT_EQ(0, ctl->flush());
    ASSERT_TRUE(ctl->setParamScheme(2));
    sandbox->writeFile(paramFile(0, "-thermal"), "thermal");
    EXPECT_TRUE(ctl->resetParameters());
    EXPECT_EQ(0, seam->curScheme());
    for (int s = 0; s < 4; ++s) {
        EXPECT_EQ(bytes(seam->fctKeyVal()), sandbox->readFile(paramFile(s))) << s;
        EXPECT_EQ(bytes(seam->fctKeyVal()), bytes(seam->userKeyVal()[s])) << s;
    }
    EXPECT_EQ("thermal", sandbox->readFile(paramFile(0, "-thermal")));
}

// With the debug switch set, a reset takes the module from moduleConfig.xml when it has one.
TEST_F(LifeTest, DebugResetKeepsTheModuleWhenTheDocumentIsMissingOrEmpty) {
    initWith();
    const std::string module =
        "<moduleConfig><module hardwareModel=\"Hi3519V101\" hardwareCode=\"IPC-01\" id=\"77\" "
        "detail=\"(isInfrared=1)(max_scheme=3)\" parameters=\"\"/></moduleConfig>";
    sandbox->setDebugSwitch("6\n");
    StdoutCapture quiet;
    for (const std::string& doc :
         {std::string(), std::string("<moduleConfig></moduleConfig>"), module}) {
        if (doc.empty()) {
            sandbox->remove("/hd1/moduleConfig/moduleConfig.xml");
        } else {
            sandbox->writeFile("/hd1/moduleConfig/moduleConfig.xml", doc);
        }
        EXPECT_TRUE(ctl->resetParameters());
        EXPECT_EQ(doc == module ? 77 : 5, ctl->getSensorType());
        EXPECT_EQ(doc == module ? 3u : 4u, seam->sysConf().nSchemeSum);
    }
    sandbox->setDebugSwitch("1\n");
}

TEST_F(LifeTest, SetParamSchemeDuringAResetWaitsForIt) {
    initWith();
    std::atomic<bool> switched{false};
    video.gate.lock();
    std::thread resetter([&] { ctl->resetParameters(); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while ((seam->flags() & resetting_flag) == 0 && std::chrono::steady_clock::now() < deadline) {
        OrvaneTime::wait(OrvaneTime(0, 1000));
    }
    EXPECT_NE(0u, seam->flags() & resetting_flag);  // the reset runs, held inside its init
    std::thread host([&] {
        EXPECT_TRUE(ctl->setParamScheme(1));
        switched = true;
    });
    OrvaneTime::wait(OrvaneTime(50, 0));  // a hundred of its waiting steps
    EXPECT_FALSE(switched);
    video.gate.unlock();
    resetter.join();
    host.join();
    EXPECT_EQ(1, seam->curScheme());  // after the reset, which leaves scheme 0 current
}

// Host threads set, read and switch while the sensor thread switches by day/night state and one
// thread resets now and then: no deadlock, and every scheme keeps the factory keys in order.
TEST_F(LifeTest, StressHostCallsSwitchesAndResetsTogether) {
    initWith();
    const std::vector<KeyVal> factory(seam->fctKeyVal(), seam->fctKeyVal() + seam->keyValSum());
    ctl->setParameter(8000, 2, true);  // day/night scheme mode
    StdoutCapture quiet;
    std::vector<std::future<void>> tasks;
    tasks.push_back(std::async(std::launch::async, [&] {
        for (int i = 0; i < 4; ++i) {
            OrvaneTime::wait(OrvaneTime(10, 0));
            ctl->resetParameters();
            ctl->setParamScheme(0);
            ctl->setParameter(8000, 2, true);
        }
    }));
    for (int t = 0; t < 3; ++t) {
        tasks.push_back(std::async(std::launch::async, [this, t] {
            for (int i = 0, value = 0; i < 60; ++i) {
                iasim::setDNState(0, i % 2);
                ctl->setParameter(t == 0 ? 2353 : 34, i, true);
                ctl->getParameter(2337, value);
                ctl->setParamScheme((i + t) % 5);
                ctl->setParamMode(i % 2);
                ctl->flush();
            }
        }));
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(3);
    for (auto& task : tasks) {
        if (task.wait_until(deadline) != std::future_status::ready) {
            ADD_FAILURE() << "the controller deadlocked";
            std::abort();
        }
    }
    quiet.stop();
    auto sameKey = [](const KeyVal& a, const KeyVal& b) { return a.key == b.key; };
    ASSERT_EQ(factory.size(), seam->keyValSum());
    seam->mutex().Lock(__FILE__, __LINE__);  // the sensor thread goes on switching
    for (u32 s = 0; s <= seam->sysConf().nSchemeSum; ++s) {
        EXPECT_TRUE(std::equal(factory.begin(), factory.end(), seam->userKeyVal()[s], sameKey));
    }
    EXPECT_EQ(0u, seam->flags() & (busy_flags_mask | initing_flag | uniniting_flag));
    seam->mutex().Unlock(__FILE__, __LINE__);
    ctl->setParamMode(1);  // and the sensor thread still follows the day/night state
    ctl->setParamScheme(0);
    ctl->setParameter(8000, 2, true);
    iasim::setDNState(0, 1);
    int scheme = 0;
    while (ctl->getParamScheme(scheme) && scheme != 1 &&
           std::chrono::steady_clock::now() < deadline) {
        OrvaneTime::wait(OrvaneTime(1, 0));
    }
    EXPECT_EQ(1, scheme);
}

}  // namespace
