// System configuration: the module copy, the scheme count, the device type, the choice of
// the style documents and the detail-field lookups.
#include <stdlib.h>
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "Sandbox.h"
#include "SensorFile.h"
#include "sensor.h"

namespace {

const char kStyleDir[] = "/hd1/moduleConfig/sensorConfig/style/";
const char kDiversityDir[] = "/hd1/moduleConfig/sensorConfig/styleDiversity/";
const char* const kStyleFiles[] = {"Style.xml", "Style_dome.xml", "Style_Thermal.xml"};
const char* const kDiversityFiles[] = {"StyleDiversity.xml", "StyleDiversity_dome.xml",
                                       "StyleDiversity_Thermal.xml"};

std::string stem(const std::string& name) {
    return name.substr(0, name.find('.'));
}

// Every base style names itself in its root element; every diversity document adds a tab
// that names it, so the merged text shows which pair was used.
class SysConfTest : public SandboxTest {
  protected:
    void SetUp() override {
        SandboxTest::SetUp();
        for (const char* name : kStyleFiles) {
            sandbox->writeFile(std::string(kStyleDir) + name,
                               "<" + stem(name) +
                                   "><tab key=\"scheme\"><p id=\"8000\" value=\"0\"/>"
                                   "</tab></" +
                                   stem(name) + ">");
        }
        for (const char* name : kDiversityFiles) {
            sandbox->writeFile(std::string(kDiversityDir) + name,
                               "<rule model=\"M1\"><AddAfter tab_key=\"scheme\"><tab key=\"" +
                                   stem(name) + "\"/></AddAfter></rule>");
        }
        sandbox->writeMachineInfo(1);
        module.setModuleId(7);
        module.setDetail("(isInfrared=1)(model=M1)");
        module.setParameters("sensor=imx385");
    }
    void TearDown() override {
        uinitSysConf(&conf);
        SandboxTest::TearDown();
    }

    std::string style() const { return conf.szUIStyle != nullptr ? conf.szUIStyle : ""; }
    bool used(const std::string& styleFile, const std::string& diversityFile) const {
        return style().find("<" + stem(styleFile) + ">") != std::string::npos &&
               style().find("key=\"" + stem(diversityFile) + "\"") != std::string::npos;
    }

    ModuleConfigure module;
    SysConfig conf{};
};

TEST_F(SysConfTest, CopiesTheModuleConfigurationAndDeviceType) {
    sandbox->writeMachineInfo(8);
    ASSERT_EQ(0, initSysConf(1, module, &conf));
    EXPECT_EQ(7, conf.moduleConfig.nModuleId);
    EXPECT_STREQ("xxx", conf.moduleConfig.szAux1);
    EXPECT_STREQ("xxx", conf.moduleConfig.szAux2);
    EXPECT_STREQ("(isInfrared=1)(model=M1)", conf.moduleConfig.szDetail);
    EXPECT_STREQ("sensor=imx385", conf.moduleConfig.szParameters);
    EXPECT_EQ(8, conf.nDeviceType);
    EXPECT_EQ(0u, conf.nLanguageSum);
    EXPECT_EQ(nullptr, conf.pstUILanguage);
    EXPECT_TRUE(used("Style.xml", "StyleDiversity.xml"));
}

TEST_F(SysConfTest, MergedStyleIsWhatTheMergedFileHolds) {
    ASSERT_EQ(0, initSysConf(3, module, &conf));
    EXPECT_EQ(sandbox->readFile("/tmp/merge_style_ch3.xml"), style());
}

struct FileChoiceCase {
    int deviceType;
    int channel;
    const char* style;
    const char* diversity;
};

class StyleFileChoice : public SysConfTest, public ::testing::WithParamInterface<FileChoiceCase> {};

TEST_P(StyleFileChoice, PicksThePairOfItsRow) {
    const FileChoiceCase& c = GetParam();
    sandbox->writeMachineInfo(c.deviceType);
    ASSERT_EQ(0, initSysConf(c.channel, module, &conf));
    EXPECT_TRUE(used(c.style, c.diversity)) << style();
}

INSTANTIATE_TEST_SUITE_P(
    ByDeviceTypeAndChannel, StyleFileChoice,
    ::testing::Values(FileChoiceCase{13, 2, "Style_Thermal.xml", "StyleDiversity_Thermal.xml"},
                      FileChoiceCase{14, 2, "Style_Thermal.xml", "StyleDiversity_Thermal.xml"},
                      FileChoiceCase{17, 2, "Style_Thermal.xml", "StyleDiversity_Thermal.xml"},
                      FileChoiceCase{19, 2, "Style_Thermal.xml", "StyleDiversity_Thermal.xml"},
                      FileChoiceCase{13, 1, "Style.xml", "StyleDiversity.xml"},
                      FileChoiceCase{14, 1, "Style.xml", "StyleDiversity.xml"},
                      FileChoiceCase{17, 1, "Style.xml", "StyleDiversity.xml"},
                      FileChoiceCase{19, 1, "Style_dome.xml", "StyleDiversity_dome.xml"},
                      FileChoiceCase{1, 2, "Style.xml", "StyleDiversity.xml"},
                      FileChoiceCase{8, 1, "Style.xml", "StyleDiversity.xml"},
                      FileChoiceCase{9, 1, "Style.xml", "StyleDiversity.xml"},
                      FileChoiceCase{11, 1, "Style.xml", "StyleDiversity.xml"},
                      FileChoiceCase{15, 1, "Style.xml", "StyleDiversity.xml"},
                      FileChoiceCase{16, 1, "Style.xml", "StyleDiversity.xml"},
                      FileChoiceCase{18, 1, "Style.xml", "StyleDiversity.xml"},
                      FileChoiceCase{22, 3, "Style.xml", "StyleDiversity.xml"},
                      FileChoiceCase{4, 1, "Style_dome.xml", "StyleDiversity_dome.xml"},
                      FileChoiceCase{20, 2, "Style_dome.xml", "StyleDiversity_dome.xml"},
                      FileChoiceCase{104, 1, "Style_dome.xml", "StyleDiversity_dome.xml"},
                      FileChoiceCase{104, 2, "Style_dome.xml", "StyleDiversity_dome.xml"},
                      FileChoiceCase{2, 1, "Style_dome.xml", "StyleDiversity_dome.xml"},
                      FileChoiceCase{21, 2, "Style_dome.xml", "StyleDiversity_dome.xml"}));

// The condition of the device-type check, one comparison per served type in this order.
std::string deviceTypeCondition() {
    const char* names[] = {"IPCAMERA",
                           "FACE_DETECT",
                           "VEHICLE_DETECT",
                           "AIMULTI_OBJECT_DETECT",
                           "IPDOME",
                           "LPR",
                           "IPP",
                           "HUMAN_TEMPERATURE",
                           "THERMAL_DEVICE",
                           "THERMAL_DOUBLE_SENSOR_DEVICE",
                           "FISHEYE",
                           "DOMECORE",
                           "THERMAL_DOUBLE_SENSOR_DOME_DEVICE",
                           "BINOCULAR_DEVICE",
                           "DOMECORE_THERMAL_DEVICE"};
    std::string text;
    for (const char* name : names) {
        text += std::string(text.empty() ? "" : " || ") + "DeviceType::" + name +
                " == p_stSysConf->nDeviceType";
    }
    return text;
}

TEST_F(SysConfTest, UnknownDeviceTypeIsReportedAndUsesTheDomeFiles) {
    sandbox->writeMachineInfo(2);
    StdoutCapture capture;
    ASSERT_EQ(0, initSysConf(1, module, &conf));
    const std::string out = capture.stop();
    EXPECT_NE(std::string::npos, out.find(deviceTypeCondition() + "   ~~~Assertion failed.\n"));
    EXPECT_NE(std::string::npos,
              out.find("machineinfo, devicetype(2) error, must be 1 or 4 or 8 or 9 or 13\n"));
    EXPECT_TRUE(used("Style_dome.xml", "StyleDiversity_dome.xml"));
}

TEST_F(SysConfTest, ServedDeviceTypePrintsNoReport) {
    sandbox->writeMachineInfo(104);
    StdoutCapture capture;
    ASSERT_EQ(0, initSysConf(1, module, &conf));
    EXPECT_EQ(std::string::npos, capture.stop().find("Assertion failed"));
}

TEST_F(SysConfTest, MissingMachineInfoIsReportedAndUsesTheDomeFiles) {
    sandbox->remove("/mnt/mtd/code/factory_setting/machineinfo.ini");
    StdoutCapture capture;
    ASSERT_EQ(0, initSysConf(1, module, &conf));
    const std::string out = capture.stop();
    EXPECT_NE(std::string::npos,
              out.find("SystemInfoParser::parseMachineInfo(\"/mnt/mtd/code/factory_setting/"
                       "machineinfo.ini\", machineInfo)   ~~~Assertion failed.\n"));
    EXPECT_TRUE(used("Style_dome.xml", "StyleDiversity_dome.xml"));
}

TEST_F(SysConfTest, MissingStyleFileIsReportedAndTheMergeStillRuns) {
    sandbox->remove(std::string(kStyleDir) + "Style.xml");
    StdoutCapture capture;
    ASSERT_EQ(0, initSysConf(1, module, &conf));
    const std::string out = capture.stop();
    EXPECT_NE(std::string::npos,
              out.find("loadFromFile(strStyleFileName.c_str(), p_stSysConf->szUIStyle, "
                       "getFileLen(strStyleFileName.c_str())) > 0   ~~~Assertion failed.\n"));
    ASSERT_NE(nullptr, conf.szUIStyle);
    EXPECT_TRUE(sandbox->exists("/tmp/merge_style_ch1.xml"));
}

TEST_F(SysConfTest, MissingDiversityFileLeavesTheBaseStyle) {
    sandbox->remove(std::string(kDiversityDir) + "StyleDiversity.xml");
    StdoutCapture capture;
    ASSERT_EQ(0, initSysConf(1, module, &conf));
    EXPECT_NE(std::string::npos,
              capture.stop().find("loadFromFile(strStyleDivFileName.c_str(), ui_styleDiversity, "
                                  "getFileLen(strStyleDivFileName.c_str())) > 0"));
    EXPECT_NE(std::string::npos, style().find("<Style>"));
    EXPECT_EQ(std::string::npos, style().find("StyleDiversity"));
}

struct SchemeSumCase {
    const char* detail;
    u32 schemes;
};

class SchemeSum : public SysConfTest, public ::testing::WithParamInterface<SchemeSumCase> {};

TEST_P(SchemeSum, ReadFromTheDetailText) {
    module.setDetail(GetParam().detail);
    ASSERT_EQ(0, initSysConf(1, module, &conf));
    EXPECT_EQ(GetParam().schemes, conf.nSchemeSum);
}

INSTANTIATE_TEST_SUITE_P(Fields, SchemeSum,
                         ::testing::Values(SchemeSumCase{"(isInfrared=1)", 4}, SchemeSumCase{"", 4},
                                           SchemeSumCase{"(isInfrared=1)(max_scheme=2)", 2},
                                           SchemeSumCase{"(max_scheme=)(isInfrared=1)", 0},
                                           SchemeSumCase{"(max_scheme_old=6)(max_scheme=2)", 6},
                                           SchemeSumCase{"(note=max_scheme)(max_scheme=3)", 3},
                                           SchemeSumCase{"(max_scheme=2", 4},
                                           SchemeSumCase{"(max_scheme 2)", 4}));

TEST_F(SysConfTest, OverlongModuleTextsAreCutToTheirFields) {
    module.setDetail("(max_scheme=3)" + std::string(600, 'd'));
    module.setParameters(std::string(300, 'p'));
    ASSERT_EQ(0, initSysConf(1, module, &conf));
    EXPECT_EQ(511u, strlen(conf.moduleConfig.szDetail));
    EXPECT_EQ(255u, strlen(conf.moduleConfig.szParameters));
    EXPECT_EQ(3u, conf.nSchemeSum);
}

TEST_F(SysConfTest, ReleaseFreesStyleAndLanguageTexts) {
    ASSERT_EQ(0, initSysConf(1, module, &conf));
    UILanguage languages[2] = {};
    languages[0].szUICommon = strdup("common");
    languages[0].szUILanguage = strdup("language");
    languages[1].szUILanguage = strdup("only language");
    conf.pstUILanguage = languages;
    conf.nLanguageSum = 2;
    uinitSysConf(&conf);
    EXPECT_EQ(nullptr, conf.szUIStyle);
    EXPECT_EQ(nullptr, languages[0].szUICommon);
    EXPECT_EQ(nullptr, languages[1].szUILanguage);
    conf.pstUILanguage = nullptr;
    uinitSysConf(&conf);  // a second release finds nothing to free
    uinitSysConf(nullptr);
}

// ---- detail field lookups ----

TEST(DetailField, StringValueIsCopiedWithoutTerminator) {
    char buf[8];
    memset(buf, 'Z', sizeof(buf));
    ASSERT_EQ(0, getDetailFieldToStr("(isInfrared=17)(lens=motor)", "isInfrared", buf));
    EXPECT_EQ(0, memcmp("17ZZZZZZ", buf, sizeof(buf)));
}

TEST(DetailField, LongValueIsCutToNineCharacters) {
    char buf[12];
    memset(buf, 'Z', sizeof(buf));
    ASSERT_EQ(0, getDetailFieldToStr("(model=ABCDEFGHIJKLMN)", "model", buf));
    EXPECT_EQ(0, memcmp("ABCDEFGHIZZZ", buf, sizeof(buf)));
    u32 value = 0;
    ASSERT_EQ(0, getDetailFieldTou32("(n=123456789012)", "n", &value));
    EXPECT_EQ(123456789u, value);
}

struct NumberCase {
    const char* detail;
    const char* name;
    int result;
    u32 value;
};

class DetailNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(DetailNumber, FollowsTheDecimalConversion) {
    u32 value = 99;
    EXPECT_EQ(GetParam().result, getDetailFieldTou32(GetParam().detail, GetParam().name, &value));
    EXPECT_EQ(GetParam().value, value);
}

INSTANTIATE_TEST_SUITE_P(Cases, DetailNumber,
                         ::testing::Values(NumberCase{"(a=1)(max_scheme=5)", "max_scheme", 0, 5},
                                           NumberCase{"(max_scheme= 12x)", "max_scheme", 0, 12},
                                           NumberCase{"(max_scheme=-1)", "max_scheme", 0,
                                                      4294967295u},
                                           NumberCase{"(max_scheme=abc)", "max_scheme", 0, 0},
                                           NumberCase{"(max_scheme=)", "max_scheme", 0, 0},
                                           NumberCase{"(lens=motor)", "max_scheme", -1, 99},
                                           NumberCase{"(max_scheme:2)", "max_scheme", -1, 99},
                                           NumberCase{"(max_scheme=2", "max_scheme", -1, 99},
                                           NumberCase{"", "max_scheme", -1, 99}));

TEST(DetailField, NullArgumentsFindNothing) {
    char buf[10] = {0};
    u32 value = 0;
    EXPECT_EQ(-1, getDetailFieldToStr(nullptr, "a", buf));
    EXPECT_EQ(-1, getDetailFieldToStr("(a=1)", nullptr, buf));
    EXPECT_EQ(-1, getDetailFieldToStr("(a=1)", "a", nullptr));
    EXPECT_EQ(-1, getDetailFieldTou32("(a=1)", "a", nullptr));
    EXPECT_EQ(-1, getDetailFieldTou32(nullptr, "a", &value));
}

}  // namespace
