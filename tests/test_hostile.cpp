// Hostile input and host faults: record commands asked for by number, exceptions from the video
// module, deeply nested style documents, a processor refusing a command in a switch, racing
// flag accessors, bad arguments to the exported functions, a controller never uinit-ed.
#include <climits>
#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ControllerSeam.h"
#include "GThread.h"
#include "IaSim.h"
#include "ISensorController.h"
#include "Sandbox.h"
#include "SensorFile.h"
#include "SimVideoModule.h"
#include "sensor.h"

namespace {

// Throws from its notification while armed.
struct ThrowingVideo : SimVideoModule {
    int notifySensorParam(int channel, int key, int value) const override {
        if (armed) {
            throw std::runtime_error("video module fault");
        }
        return SimVideoModule::notifySensorParam(channel, key, value);
    }
    std::atomic<bool> armed{false};
};

// Calls of `cmd` the processor saw since the log was cleared.
size_t callsOf(int cmd) {
    size_t n = 0;
    for (const iasim::Call& call : iasim::callLog()) {
        n += call.cmd == cmd ? 1 : 0;
    }
    return n;
}

// Polls `done` on the scaled clock until it holds or two seconds pass.
template <typename Done>
bool eventually(Done done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Four schemes: mode, window, brightness, WDR (0 in scheme 0, 1 elsewhere), mirror.
class HostileTest : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        ctl = std::make_unique<ISensorController>();
        seam = std::make_unique<SensorControllerTestSeam>(*ctl);
        seam->prepare(
            {{8000, 0}, {8001, 0}, {8002, 0}, {8003, 0}, {8004, 0}, {34, 50}, {2368, 1}, {2384, 0}},
            4);
        seam->userKeyVal()[0][6].value = 0;
        for (int s = 0; s < 4; ++s) {
            seam->userKeyVal()[s][7].value = s;  // the mirror differs in every scheme
        }
        ctl->setVideoStreamModule(&video);
        seam->switchTo(0, false);
        iasim::clearLog();
    }
    void TearDown() override {
        seam->thread()->stop();
        seam->release();
        ctl.reset();
        SandboxTest::TearDown();
    }
    ThrowingVideo video;
    std::unique_ptr<ISensorController> ctl;
    std::unique_ptr<SensorControllerTestSeam> seam;
};

TEST_F(HostileTest, RecordCommandsAskedForByNumberAreRefusedBeforeTheProcessor) {
    int value = 7;
    for (int cmd : {4112, 2496, 2816}) {
        EXPECT_FALSE(ctl->getParameter(cmd, value)) << cmd;
    }
    std::string out = "x";
    EXPECT_TRUE(ctl->getParameters("(4112,2496,34)", out));
    EXPECT_EQ("(34,50)", out);
    EXPECT_EQ(-2816, ctl->setParameter(2816, 1, true));
    EXPECT_EQ(-2816, ctl->setParameters("(34,60)(2816,1)(34,70)", true));
    EXPECT_EQ(0u, callsOf(4112) + callsOf(2496) + callsOf(2816));
    EXPECT_EQ(1u, callsOf(34)) << "the records before the refused one are applied";
    EXPECT_EQ(7, value);
}

TEST_F(HostileTest, AnExceptionFromTheVideoModuleReachesTheHostAndLeavesNoBusyBit) {
    video.armed = true;
    EXPECT_THROW(ctl->setParamScheme(1), std::runtime_error);
    EXPECT_THROW(ctl->setParameter(2384, 9, true), std::runtime_error);
    ASSERT_EQ(0u, seam->flags() & busy_flags_mask) << "a later scheme change would wait forever";
    video.armed = false;
    EXPECT_TRUE(ctl->setParamScheme(2));
    EXPECT_TRUE(ctl->setParamMode(0));
    EXPECT_EQ(0, ctl->setParameter(2384, 9, true));
}

TEST_F(HostileTest, TheSensorThreadReportsAnExceptionAndGoesOnSwitching) {
    ctl->setParameter(8000, 2, true);  // day/night switching
    ASSERT_TRUE(seam->autoScheme());
    video.armed = true;
    iasim::setDNState(0, 1);
    ASSERT_TRUE(seam->thread()->start());
    auto current = [&] {  // under the controller's lock, as the thread switches
        int scheme = -1;
        ctl->getParamScheme(scheme);
        return scheme;
    };
    ASSERT_TRUE(eventually([&] { return current() == 1; }));
    video.armed = false;
    iasim::setDNState(0, 0);
    EXPECT_TRUE(eventually([&] { return current() == 0; })) << "the thread ended";
    EXPECT_NE(std::string::npos, sandbox->readFile("/mnt/mtd/log/SensorError.log")
                                     .find("sensor thread pass ended by an exception: "
                                           "video module fault"));
}

TEST_F(HostileTest, KeysTheProcessorRefusedInASwitchAreSentWithTheNextApply) {
    struct Case {
        int refused;         // the command the processor refuses during the first switch
        const char* report;  // what the engine reports about it
        size_t resent;       // calls of 2384 (the last record) when the switch is repeated
    };
    const Case cases[] = {
        // WDR: its handler reports the refusal without failing; the list goes on.
        {2368, "1 records from key(2368) on not applied", 0},
        // Brightness stops the list: it and every record after it are left unapplied.
        {34, "3 records from key(34) on not applied", 1},
    };
    for (const Case& c : cases) {
        for (int s = 1; s < 4; ++s) {
            seam->userKeyVal()[s][5].value = 60;
        }
        EXPECT_TRUE(ctl->setParamScheme(0));
        iasim::injectFailure(c.refused, IA_CMD_OPT_SET, -1);
        StdoutCapture console;
        ctl->setParamScheme(1);
        EXPECT_NE(std::string::npos, console.stop().find(c.report)) << c.refused;
        u32 cached = 0;
        seam->getKeyValFromCache(1, c.refused, cached);
        EXPECT_NE(0u, cached) << "the scheme keeps its own value for the file";
        iasim::clearFailures();
        iasim::clearLog();
        EXPECT_TRUE(ctl->setParamScheme(1));
        EXPECT_EQ(1u, callsOf(c.refused)) << c.refused;
        EXPECT_EQ(static_cast<int>(cached), iasim::getValue(0, c.refused));
        EXPECT_EQ(c.resent, callsOf(2384)) << c.refused;
        iasim::clearLog();
        EXPECT_TRUE(ctl->setParamScheme(1));
        EXPECT_EQ(0u, iasim::callLog().size()) << "applied once, then unchanged again";
    }
}

TEST_F(HostileTest, FlagAccessorsAndHandlersRaceFree) {
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        SensorZoomFocusParam param;
        for (int i = 0; !stop; ++i) {
            ctl->setShowWDRFalg(i % 2 == 0);
            param.setLockZoomFocusEnable(i % 3 == 0);
            ctl->setSensorZoomFocusParam(param);
        }
    });
    for (int i = 0; i < 200; ++i) {
        ctl->setParameter(2368, i % 2, true);
        ctl->zoomIn();
        SensorZoomFocusParam copy;
        ctl->getSensorZoomFocusParam(copy);
    }
    stop = true;
    writer.join();
}

TEST_F(HostileTest, ExportedFunctionsRefuseChannelsTheyCannotUse) {
    std::string out = "untouched";
    EXPECT_EQ(-1, getDnaStyle(INT_MIN, "<s/>", out, true));
    EXPECT_EQ(-1, getDnaStyle(0, "<s/>", out, true));
    EXPECT_EQ("untouched", out);
    KeyVal records[2] = {{34, 1}, {49, 2}};
    u32 count = 5;
    char style[] = "<s><p id=\"34\" value=\"1\"/></s>";
    EXPECT_EQ(-1, getFctData(INT_MIN, style, records, &count, true));
    EXPECT_EQ(-1, getFctData(1, style, nullptr, &count, true));
    EXPECT_EQ(5u, count);
    EXPECT_EQ(-1, keyval_correct(INT_MIN, records, 2));
    EXPECT_EQ(0u, iasim::callLog().size()) << "nothing reached the processor";

    ctl->setChannelID(INT_MIN);
    EXPECT_EQ(1, seam->cameraId());
    int value = 0;
    EXPECT_TRUE(ctl->getParameter(50, value));
    ASSERT_EQ(1u, iasim::callLog().size());
    EXPECT_EQ(0, iasim::callLog()[0].channel);
}

TEST_F(HostileTest, DeleteNodeRemovesOnlyNodesBelowItsRoot) {
    TiXmlDocument doc;
    doc.Parse("<s><t><p id=\"1\"/></t></s><other><q/></other>");
    TiXmlElement* root = doc.RootElement();
    TiXmlElement* foreign = root->NextSiblingElement()->FirstChildElement();
    EXPECT_EQ(-1, DeleteNode(root, foreign));
    EXPECT_EQ(-1, DeleteNode(root, root));
    EXPECT_NE(nullptr, doc.RootElement()->NextSiblingElement()->FirstChildElement());
    EXPECT_EQ(0, DeleteNode(root, root->FirstChildElement()->FirstChildElement()));
    EXPECT_EQ(nullptr, root->FirstChildElement()->FirstChildElement());
}

// Whether getDnaStyle parsed the text (a refused or broken text prints as nothing).
bool parses(const std::string& text) {
    std::string out;
    getDnaStyle(1, text.c_str(), out, true);
    return !out.empty();
}

TEST_F(HostileTest, StyleDocumentsBeyondThirtyTwoLevelsOrOneMebibyteAreRefusedUnparsed) {
    struct Case {
        std::string text;
        bool accepted;
    };
    const std::string quotedMarkup = "<e a=\">\" b='<e><e>'>" + nestedXml(31) + "</e>";
    const Case cases[] = {
        {nestedXml(32), true},
        {nestedXml(33), false},
        {nestedXml(50000), false},
        {nestedXml(31, "<!-- <e><e> --><![CDATA[<e><e>]]><e/><?pi <e>?>"), true},
        {quotedMarkup, true},
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + nestedXml(32), true},
        {"<?xml version=\"1.0\"?><s>" + nestedXml(31) + "</s>", true},
        {"<s><?xml version=\" </e></e> \"?>" + nestedXml(32) + "</s>", false},
        {"<s>" + std::string(1024 * 1024, ' ') + "</s>", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.accepted, parses(c.text)) << c.text.substr(0, 80);
    }
}

TEST_F(HostileTest, ADeepBaseStyleFileIsReportedByNameAndTheMergeGoesOn) {
    sandbox->installDeviceData();
    sandbox->writeMachineInfo(1);
    const std::string file = "/hd1/moduleConfig/sensorConfig/style/Style.xml";
    sandbox->writeFile(file, "<s>" + nestedXml(4000) + "</s>");
    ModuleConfigure module;
    module.setDetail("(max_scheme=4)");
    SysConfig conf;
    StdoutCapture console;
    EXPECT_EQ(0, initSysConf(1, module, &conf));
    const std::string report = console.stop();
    EXPECT_NE(std::string::npos,
              report.find("style document " + file + " nested beyond 32 levels: refused"));
    ASSERT_NE(nullptr, conf.szUIStyle);
    EXPECT_LT(std::string(conf.szUIStyle).size(), 100u);
    EXPECT_LT(sandbox->readFile("/tmp/merge_style_ch1.xml").size(), 100u);
    uinitSysConf(&conf);
}

// Initialised on the bundled device data and deleted without uinit: the leak checker of the
// sanitizer build finds nothing left.
TEST_F(HostileTest, AControllerDestroyedWithoutUinitReleasesItsArrays) {
    sandbox->installDeviceData();
    sandbox->writeMachineInfo(1);
    auto fresh = std::make_unique<ISensorController>();
    fresh->setVideoStreamModule(&video);
    ModuleConfigure module;
    module.setDetail("(isInfrared=1)(max_scheme=4)");
    ASSERT_TRUE(fresh->init(module));
    SensorControllerTestSeam freshSeam(*fresh);
    ASSERT_NE(nullptr, freshSeam.userKeyVal());
    fresh.reset();
}

}  // namespace
