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

TEST_F(PlatformParsersTest, MachineInfo) {
    MachineInfo info;
    sandbox->writeFile(kInfo,
                       "[board]\r\n hardwareModel = Hi3519V101\r\nother=1\r\n"
                       "deviceType=13\r\nhardwareCode=IPC-01");
    ASSERT_TRUE(SystemInfoParser::parseMachineInfo(kInfo, info));
    EXPECT_EQ(13, info.getDeviceType());
    EXPECT_EQ("Hi3519V101", info.getHardwareModel());
    EXPECT_EQ("IPC-01", info.getHardwareCode());
    for (const char* bad : {"", "hardwareModel=x\n", "deviceType=abc\n", "deviceType=12x\n",
                            "deviceType=\n", "deviceType=99999999999\n"}) {
        sandbox->writeFile(kInfo, bad);
        EXPECT_FALSE(SystemInfoParser::parseMachineInfo(kInfo, info)) << bad;
        EXPECT_EQ(13, info.getDeviceType()) << "a failed parse leaves the record alone";
    }
    sandbox->remove(kInfo);
    EXPECT_FALSE(SystemInfoParser::parseMachineInfo(kInfo, info));
}

TEST_F(PlatformParsersTest, ModuleConfigurationsMatchingModelAndCode) {
    sandbox->writeFile(kModules,
                       "<moduleConfig>\n"
                       " <module hardwareModel=\"M\" hardwareCode=\"C\" id=\"1\" detail=\"(a=1)\""
                       " parameters=\"p1\"/>\n"
                       " <module hardwareModel=\"M\" hardwareCode=\"X\" id=\"2\"/>\n"
                       " <other hardwareModel=\"M\" id=\"9\"/>\n"
                       " <module hardwareModel=\"M\" id=\"3\" detail=\"d3\"/>\n"
                       " <module id=\"oops\"/>\n"
                       "</moduleConfig>\n");
    std::vector<ModuleConfigure> out(1);
    ASSERT_TRUE(ModuleConfigureParser::parse(kModules, "M", "C", out));
    ASSERT_EQ(4u, out.size());  // appended after the entry already there
    EXPECT_EQ(1, out[1].getModuleId());
    EXPECT_EQ("(a=1)", out[1].getDetail());
    EXPECT_EQ("p1", out[1].getParameters());
    EXPECT_EQ(3, out[2].getModuleId());
    EXPECT_EQ("d3", out[2].getDetail());
    EXPECT_EQ("", out[2].getParameters());
    EXPECT_EQ(0, out[3].getModuleId());

    for (const char* bad : {"<moduleConfig><module id=\"1\">", "", "\xef\xbb\xbf<a>\xe4"}) {
        sandbox->writeFile(kModules, bad);
        std::vector<ModuleConfigure> none;
        EXPECT_FALSE(ModuleConfigureParser::parse(kModules, "M", "C", none));
        EXPECT_TRUE(none.empty());
    }
    sandbox->remove(kModules);
    EXPECT_FALSE(ModuleConfigureParser::parse(kModules, "M", "C", out));
}

TEST(PlatformStrings, SplitKeepsEmptyPieces) {
    const struct {
        const char *text, *delimiter;
        std::vector<std::string> pieces;
    } cases[] = {{"1,2,3", ",", {"1", "2", "3"}},
                 {"1,,3,", ",", {"1", "", "3", ""}},
                 {",", ",", {"", ""}},
                 {"abc", ",", {"abc"}},
                 {"", ",", {}},
                 {"a::b", "::", {"a", "b"}},
                 {"a,b", "", {"a,b"}}};
    for (const auto& c : cases) {
        std::vector<std::string> out{"stale"};
        StringHandler::split(c.text, out, c.delimiter);
        EXPECT_EQ(c.pieces, out) << c.text;
    }
}

TEST(PlatformStrings, Str2TypeReadsLikeStreamExtraction) {
    const struct {
        const char* text;
        bool ok;
        int value;
    } cases[] = {{"42", true, 42},  {"  -7 rest", true, -7}, {"12abc", true, 12},
                 {"abc", false, 0}, {"", false, 0},          {"99999999999", false, 2147483647}};
    for (const auto& c : cases) {
        int value = -1;
        EXPECT_EQ(c.ok, StringHandler::str2type(c.text, value)) << c.text;
        if (c.ok || c.value != 0) {
            EXPECT_EQ(c.value, value) << c.text;
        }
    }
}
}  // namespace
