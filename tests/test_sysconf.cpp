// System configuration: the module copy, the scheme count, the device type, the choice of
// the style documents and the detail-field lookups.
#include <string.h>

#include <string>

#include <gtest/gtest.h>

#include "Sandbox.h"
#include "SensorFile.h"
#include "sensor.h"

namespace {

const char kStyleDir[] = "/hd1/moduleConfig/sensorConfig/style/";
const char kDiversityDir[] = "/hd1/moduleConfig/sensorConfig/styleDiversity/";

std::string stem(const std::string& name) {
    return name.substr(0, name.find('.'));
}

// Every base style names itself in its root element; every diversity document adds a tab
// that names it, so the merged text shows which pair was used.
class SysConfTest : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        for (const char* name : {"Style.xml", "Style_dome.xml", "Style_Thermal.xml"}) {
            sandbox->writeFile(std::string(kStyleDir) + name,
                               "<" + stem(name) + "><tab key=\"scheme\"/></" + stem(name) + ">");
        }
        for (const char* name :
             {"StyleDiversity.xml", "StyleDiversity_dome.xml", "StyleDiversity_Thermal.xml"}) {
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
    bool used(const std::string& style, const std::string& diversity) const {
        const std::string text = conf.szUIStyle != nullptr ? conf.szUIStyle : "";
        return text.find("<" + stem(style) + ">") != std::string::npos &&
               text.find("key=\"" + stem(diversity) + "\"") != std::string::npos;
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
    EXPECT_TRUE(used(c.style, c.diversity)) << conf.szUIStyle;
}

const char* const kThermal[] = {"Style_Thermal.xml", "StyleDiversity_Thermal.xml"};
const char* const kBullet[] = {"Style.xml", "StyleDiversity.xml"};
const char* const kDome[] = {"Style_dome.xml", "StyleDiversity_dome.xml"};

INSTANTIATE_TEST_SUITE_P(ByDeviceTypeAndChannel, StyleFileChoice,
                         ::testing::Values(FileChoiceCase{13, 2, kThermal[0], kThermal[1]},
                                           FileChoiceCase{14, 2, kThermal[0], kThermal[1]},
                                           FileChoiceCase{17, 2, kThermal[0], kThermal[1]},
                                           FileChoiceCase{19, 2, kThermal[0], kThermal[1]},
                                           FileChoiceCase{17, 1, kBullet[0], kBullet[1]},
                                           FileChoiceCase{19, 1, kDome[0], kDome[1]},
                                           FileChoiceCase{22, 2, kBullet[0], kBullet[1]},
                                           FileChoiceCase{20, 2, kDome[0], kDome[1]},
                                           FileChoiceCase{104, 1, kDome[0], kDome[1]},
                                           FileChoiceCase{4, 1, kDome[0], kDome[1]}));

TEST_F(SysConfTest, UnknownDeviceTypeIsReportedAndUsesTheDomeFiles) {
    std::string condition;
    for (const char* name :
         {"IPCAMERA", "FACE_DETECT", "VEHICLE_DETECT", "AIMULTI_OBJECT_DETECT", "IPDOME", "LPR",
          "IPP", "HUMAN_TEMPERATURE", "THERMAL_DEVICE", "THERMAL_DOUBLE_SENSOR_DEVICE", "FISHEYE",
          "DOMECORE", "THERMAL_DOUBLE_SENSOR_DOME_DEVICE", "BINOCULAR_DEVICE",
          "DOMECORE_THERMAL_DEVICE"}) {
        condition += std::string(condition.empty() ? "" : " || ") + "DeviceType::" + name +
                     " == p_stSysConf->nDeviceType";
    }
    sandbox->writeMachineInfo(2);
    StdoutCapture capture;
    ASSERT_EQ(0, initSysConf(1, module, &conf));
    const std::string out = capture.stop();
    EXPECT_NE(std::string::npos, out.find(condition + "   ~~~Assertion failed.\n"));
    EXPECT_NE(std::string::npos,
              out.find("machineinfo, devicetype(2) error, must be 1 or 4 or 8 or 9 or 13\n"));
    EXPECT_TRUE(used("Style_dome.xml", "StyleDiversity_dome.xml"));
}

TEST_F(SysConfTest, MissingStyleFileIsReportedAndTheMergeStillRuns) {
    sandbox->remove(std::string(kStyleDir) + "Style.xml");
    StdoutCapture capture;
    ASSERT_EQ(0, initSysConf(1, module, &conf));
    EXPECT_NE(
        std::string::npos,
        capture.stop().find("loadFromFile(strStyleFileName.c_str(), p_stSysConf->szUIStyle, "
                            "getFileLen(strStyleFileName.c_str())) > 0   ~~~Assertion failed.\n"));
    ASSERT_NE(nullptr, conf.szUIStyle);
    EXPECT_TRUE(sandbox->exists("/tmp/merge_style_ch1.xml"));
}

struct SchemeSumCase {
    const char* detail;
    u32 schemes;
};

void PrintTo(const SchemeSumCase& c, std::ostream* os) {
    *os << c.detail;
}

class SchemeSum : public SysConfTest, public ::testing::WithParamInterface<SchemeSumCase> {};

TEST_P(SchemeSum, ReadFromTheDetailText) {
    module.setDetail(GetParam().detail);
    ASSERT_EQ(0, initSysConf(1, module, &conf));
    EXPECT_EQ(GetParam().schemes, conf.nSchemeSum);
}

INSTANTIATE_TEST_SUITE_P(Fields, SchemeSum,
                         ::testing::Values(SchemeSumCase{"(isInfrared=1)", 4},
                                           SchemeSumCase{"(isInfrared=1)(max_scheme=2)", 2},
                                           SchemeSumCase{"(max_scheme=)(isInfrared=1)", 0},
                                           SchemeSumCase{"(max_scheme_old=6)(max_scheme=2)", 6},
                                           SchemeSumCase{"(max_scheme=2", 4}));

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
    uinitSysConf(&conf);  // the leak checker of the sanitizer build sees what is left
    EXPECT_EQ(nullptr, conf.szUIStyle);
    conf.pstUILanguage = nullptr;
    uinitSysConf(&conf);
}

TEST(DetailField, StringValueIsCopiedWithoutTerminatorAndCutToNine) {
    char buf[12];
    memset(buf, 'Z', sizeof(buf));
    ASSERT_EQ(0, getDetailFieldToStr("(isInfrared=17)(lens=motor)", "isInfrared", buf));
    EXPECT_EQ(0, memcmp("17ZZ", buf, 4));
    memset(buf, 'Z', sizeof(buf));
    ASSERT_EQ(0, getDetailFieldToStr("(model=ABCDEFGHIJKLMN)", "model", buf));
    EXPECT_EQ(0, memcmp("ABCDEFGHIZZZ", buf, sizeof(buf)));
    EXPECT_EQ(-1, getDetailFieldToStr("(lens=motor)", "model", buf));
}

struct NumberCase {
    const char* detail;
    int result;
    u32 value;
};

class DetailNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(DetailNumber, FollowsTheDecimalConversion) {
    u32 value = 99;
    EXPECT_EQ(GetParam().result, getDetailFieldTou32(GetParam().detail, "n", &value));
    EXPECT_EQ(GetParam().value, value);
}

INSTANTIATE_TEST_SUITE_P(Cases, DetailNumber,
                         ::testing::Values(NumberCase{"(a=1)(n= 12x)", 0, 12},
                                           NumberCase{"(n=-1)", 0, 4294967295u},
                                           NumberCase{"(n=123456789012)", 0, 123456789},
                                           NumberCase{"(n=abc)", 0, 0}, NumberCase{"(n:2)", -1, 99},
                                           NumberCase{"(n=2", -1, 99}));

}  // namespace
