#include <string>
#include <vector>

#include "MachineInfo.h"
#include "ModuleConfigure.h"
#include "Sandbox.h"
#include "StringHandler.h"

namespace {
const char* kInfo = "/mnt/mtd/code/factory_setting/machineinfo.ini";
const char* kModules = "/hd1/moduleConfig/moduleConfig.xml";
class PlatformParsersTest : public SandboxTest {};

TEST_F(PlatformParsersTest, MachineInfoNeedsANumericDeviceType) {
    MachineInfo info;
    sandbox->writeFile(kInfo,
                       "[board]\r\n hardwareModel = Hi3519V101\r\nother=1\r\n"
                       "deviceType=13\r\nhardwareCode=IPC-01");
    ASSERT_TRUE(SystemInfoParser::parseMachineInfo(kInfo, info));
    EXPECT_EQ(13, info.getDeviceType());
    EXPECT_EQ("Hi3519V101", info.getHardwareModel());
    EXPECT_EQ("IPC-01", info.getHardwareCode());
    for (const char* bad : {"", "hardwareModel=x\n", "deviceType=abc\n", "deviceType=12x\n"}) {
        sandbox->writeFile(kInfo, bad);
        EXPECT_FALSE(SystemInfoParser::parseMachineInfo(kInfo, info)) << bad;
    }
    sandbox->remove(kInfo);
    EXPECT_FALSE(SystemInfoParser::parseMachineInfo(kInfo, info));
    EXPECT_EQ(13, info.getDeviceType());  // failed parses left the record alone
}

TEST_F(PlatformParsersTest, ModulesMatchModelAndCodeInDocumentOrder) {
    sandbox->writeFile(kModules,
                       "<moduleConfig><module hardwareModel=\"M\" hardwareCode=\"C\" id=\"1\""
                       " detail=\"(a=1)\" parameters=\"p1\"/>"
                       "<module hardwareModel=\"M\" hardwareCode=\"X\" id=\"2\"/>"
                       "<other hardwareModel=\"M\" id=\"9\"/>"
                       "<module hardwareModel=\"M\" id=\"3\" detail=\"d3\"/></moduleConfig>");
    std::vector<ModuleConfigure> out(1);
    ASSERT_TRUE(ModuleConfigureParser::parse(kModules, "M", "C", out));
    ASSERT_EQ(3u, out.size());  // appended after the entry already there
    EXPECT_EQ(1, out[1].getModuleId());
    EXPECT_EQ("(a=1)", out[1].getDetail());
    EXPECT_EQ("p1", out[1].getParameters());
    EXPECT_EQ("d3", out[2].getDetail());
    const char* bads[] = {"<moduleConfig><module id=\"1\">", "", "<a>\xe4\xb8", nullptr};
    for (const char* bad : bads) {
        bad ? sandbox->writeFile(kModules, bad) : sandbox->remove(kModules);
        std::vector<ModuleConfigure> none;
        EXPECT_FALSE(ModuleConfigureParser::parse(kModules, "M", "C", none));
        EXPECT_TRUE(none.empty());
    }
}

TEST(PlatformStrings, SplitKeepsEmptyPiecesAndStr2TypeExtracts) {
    const struct {
        const char* text;
        std::vector<std::string> pieces;
    } cases[] = {{"1,,3,", {"1", "", "3", ""}}, {",", {"", ""}}, {"abc", {"abc"}}, {"", {}}};
    for (const auto& c : cases) {
        std::vector<std::string> out{"stale"};
        StringHandler::split(c.text, out, ",");
        EXPECT_EQ(c.pieces, out) << c.text;
    }
    int value = 0;
    EXPECT_TRUE(StringHandler::str2type("  -7 rest", value));
    EXPECT_EQ(-7, value);
    EXPECT_FALSE(StringHandler::str2type("abc", value));
}
}  // namespace
