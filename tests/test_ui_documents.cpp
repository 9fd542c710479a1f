// UI documents and ranges: range lists, execution status, the full parameter list (live and
// corrected, or as saved), the style document with its readiness wait, the language files.
#include <cstdlib>
#include <cstring>
#include <memory>

#include "ControllerSeam.h"
#include "IaSim.h"
#include "ISensorController.h"
#include "Sandbox.h"
#include "SimVideoModule.h"

namespace {

const std::vector<KeyVal> kFactory = {{8000, 0}, {8001, 0}, {8002, 0}, {8003, 24},
                                      {8004, 0}, {49, 25},  {34, 50}};
const char kMergedStyle[] = "/tmp/merge_style_ch1.xml";
const char kScheme0File[] = "/mnt/mtd/code/config_file/sensor0.cfg";

std::string styleWithMaxShutter(const std::vector<const char*>& values) {
    std::string s = "<style><tab key=\"exposure\">";
    for (const char* v : values) {
        s += std::string("<param id=\"49\" value=\"") + v + "\"/>";
    }
    return s + "</tab></style>";
}

class UiDocumentsTest : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        ctl.reset(new ISensorController());
        seam.reset(new SensorControllerTestSeam(*ctl));
        seam->prepare(kFactory, 4);
        seam->curScheme() = 0;
        iasim::setDynamicCmds(0, {});
        iasim::clearLog();
    }
    void TearDown() override {
        std::free(seam->sysConf().szUIStyle);
        seam->sysConf().szUIStyle = nullptr;
        seam->release();
        seam.reset();
        ctl.reset();
        SandboxTest::TearDown();
    }
    int callsWithOption(int opt) {
        int n = 0;
        for (const iasim::Call& c : iasim::callLog()) {
            n += c.opt == opt ? 1 : 0;
        }
        return n;
    }
    void setStyle(const std::string& text) {
        seam->sysConf().szUIStyle = static_cast<char*>(std::calloc(text.size() + 4, 1));
        std::memcpy(seam->sysConf().szUIStyle, text.data(), text.size());
    }

    std::unique_ptr<ISensorController> ctl;
    std::unique_ptr<SensorControllerTestSeam> seam;
};

TEST_F(UiDocumentsTest, RangeOfEachRangeCommandListsItsItemsAndDefault) {
    for (int cmd : {49, 50, 82, 1537}) {
        iasim::setDynamicCmds(0, {cmd});
        iasim::setDiscreteRange(0, cmd, 2, {1, 2, 4});
        int def = -1;
        std::string range;
        StdoutCapture out;
        EXPECT_TRUE(ctl->getSensorParamRange(cmd, def, range)) << cmd;
        EXPECT_EQ("cmd=" + std::to_string(cmd) + " DefaltParam=2 strParamRange=1 2 4\n",
                  out.stop());
        EXPECT_EQ(2, def);
        EXPECT_EQ("1 2 4", range);
    }
}

TEST_F(UiDocumentsTest, RangeRefusedForOtherCommandsAndUnlistedOnes) {
    iasim::setDynamicCmds(0, {34, 50});
    iasim::setDiscreteRange(0, 34, 2, {1, 2, 4});
    int def = -5;
    std::string range = "keep";
    EXPECT_FALSE(ctl->getSensorParamRange(34, def, range));
    EXPECT_FALSE(ctl->getSensorParamRange(49, def, range));
    EXPECT_EQ(0, callsWithOption(IA_CMD_OPT_GET_PARAM_RNAGE));
    iasim::injectFailure(IA_CMD_DYNAMIC_PARAMS_CMDS_GET, IA_CMD_OPT_GET, -1);
    EXPECT_FALSE(ctl->getSensorParamRange(50, def, range));
    EXPECT_EQ(-5, def);
    EXPECT_EQ("keep", range);
}

TEST_F(UiDocumentsTest, RangeWithoutItemsAndNonDiscreteRange) {
    iasim::setDynamicCmds(0, {49, 50});
    iasim::setDiscreteRange(0, 49, 7, {});
    ia_dynamic_params_attr_st continuous = {1, 30, 10, 90, 2, {10, 90}};
    iasim::setRange(0, 50, continuous);
    int def = -5;
    std::string range;
    EXPECT_TRUE(ctl->getSensorParamRange(49, def, range));
    EXPECT_EQ(7, def);
    EXPECT_EQ("", range);
    range = "keep";
    EXPECT_TRUE(ctl->getSensorParamRange(50, def, range));
    EXPECT_EQ(7, def);
    EXPECT_EQ("keep", range);
}

TEST_F(UiDocumentsTest, RangeReadsNoMoreThanTheRecordsHold) {
    ia_dynamic_cmds_st list = {};
    list.cmd_cnt = 40;
    list.cmd_list[15] = 82;
    iasim::setDynamicCmdsRaw(0, list);
    ia_dynamic_params_attr_st many = {};
    many.items_cnt = 100;
    for (int i = 0; i < 64; ++i) {
        many.item[i] = i;
    }
    iasim::setRange(0, 82, many);
    int def = 0;
    std::string range;
    EXPECT_TRUE(ctl->getSensorParamRange(82, def, range));
    EXPECT_EQ(0, range.find("0 1 2 "));
    EXPECT_EQ(range.size() - 2, range.rfind("63"));
}

TEST_F(UiDocumentsTest, CmdExecStatus) {
    iasim::setExecStatus(0, 1569, 3);
    int status = 0;
    EXPECT_TRUE(ctl->getCmdExecStatus(1569, status));
    EXPECT_EQ(3, status);
    iasim::injectFailure(1569, IA_CMD_OPT_GET_EXEC_STATUS, -2);
    EXPECT_FALSE(ctl->getCmdExecStatus(1569, status));
}

struct AllParamsCase {
    const char* name;
    std::vector<const char*> styleValues;  // empty: no merged style file
    int curScheme;
    const char* expected;
};

const char kLive[] = "(8000,0)(8001,0)(8002,0)(8003,24)(8004,0)(49,18)(34,50)";
const char kSaved[] = "(8000,0)(8001,0)(8002,0)(8003,24)(8004,0)(49,33)(34,60)";

TEST_F(UiDocumentsTest, AllParametersLiveCorrectedOrAsSaved) {
    const AllParamsCase cases[] = {
        {"below 200: live and corrected", {"150"}, 0, kLive},
        {"200 or more: as saved", {"250"}, 0, kSaved},
        {"the last element decides", {"150", "250"}, 0, kSaved},
        {"no merged style: as saved", {}, 0, kSaved},
        {"no current scheme", {"150"}, -1, ""},
        {"factory scheme, as saved", {"250"}, 4, ""},
    };
    std::vector<KeyVal> saved = kFactory;
    saved[5].value = 33;
    saved[6].value = 60;
    sandbox->writeFile(kScheme0File, std::string(reinterpret_cast<const char*>(saved.data()),
                                                 saved.size() * sizeof(KeyVal)));
    iasim::setDynamicCmds(0, {49});
    iasim::setDiscreteRange(0, 49, 18, {1, 18});
    for (const AllParamsCase& c : cases) {
        seam->userKeyVal()[0][5].value = 25;
        seam->curScheme() = c.curScheme;
        sandbox->remove(kMergedStyle);
        if (!c.styleValues.empty()) {
            sandbox->writeFile(kMergedStyle, styleWithMaxShutter(c.styleValues));
        }
        std::string out;
        EXPECT_TRUE(ctl->getAllParameters(out)) << c.name;
        EXPECT_EQ(c.expected, out) << c.name;
    }
}

TEST_F(UiDocumentsTest, AllParametersCorrectsTheCacheAndAppends) {
    sandbox->writeFile(kMergedStyle, styleWithMaxShutter({"150"}));
    iasim::setDynamicCmds(0, {49});
    iasim::setDiscreteRange(0, 49, 18, {1, 18});
    std::string out;
    ctl->getAllParameters(out);
    ctl->getAllParameters(out);
    EXPECT_EQ(std::string(kLive) + kLive, out);
    EXPECT_EQ(18, seam->userKeyVal()[0][5].value);
}

TEST_F(UiDocumentsTest, StyleFileWaitsForTheProcessorThenRewritesTheStyle) {
    setStyle("<style><tab key=\"a\"><param id=\"10\" value=\"0\"/></tab></style>");
    SimVideoModule video;
    video.setReadyAfter(2);
    ctl->setVideoStreamModule(&video);
    StdoutCapture out;
    seam->showWDR() = false;
    EXPECT_NE(std::string::npos, ctl->getUIStyleFile().find("id=\"10\""));
    EXPECT_EQ("### m_pVideoStreamModule->get2ARunRet() is ok! count = 2\n", out.stop());
    EXPECT_EQ(3, video.pollCount());
    seam->showWDR() = true;
    EXPECT_EQ(std::string::npos, ctl->getUIStyleFile().find("id=\"10\""));
}

TEST_F(UiDocumentsTest, StyleFileGivesUpWaitingAfterThirtyPolls) {
    setStyle("<style/>");
    SimVideoModule video;
    video.setReadyAfter(1000);
    ctl->setVideoStreamModule(&video);
    StdoutCapture out;
    EXPECT_NE(std::string::npos, ctl->getUIStyleFile().find("<style"));
    EXPECT_EQ("", out.stop());
    EXPECT_EQ(30, video.pollCount());
}

TEST_F(UiDocumentsTest, LanguageFiles) {
    EXPECT_EQ("", ctl->getUILanguageFile(1));
    EXPECT_EQ("", ctl->getUICommonFile(1));
    UILanguage table[2] = {};
    table[0] = {1, "en", const_cast<char*>("L1"), const_cast<char*>("C1")};
    table[1] = {2, "de", const_cast<char*>("L2"), nullptr};
    seam->sysConf().pstUILanguage = table;
    seam->sysConf().nLanguageSum = 2;
    EXPECT_EQ("L2", ctl->getUILanguageFile(2));
    EXPECT_EQ("", ctl->getUICommonFile(2));
    EXPECT_EQ("L1", ctl->getUILanguageFile(9));
    EXPECT_EQ("C1", ctl->getUICommonFile(9));
    seam->sysConf().pstUILanguage = nullptr;
    seam->sysConf().nLanguageSum = 0;
}

}  // namespace
