// The style of a channel: which pair of documents the device type picks, the module texts and
// scheme count kept, which diversity rules apply to the module, what each tab edit does to the
// base style, and what lands in the channel's merged file.
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <tinyxml.h>

#include "Sandbox.h"
#include "SensorFile.h"
#include "XmlString.h"
#include "sensor.h"

namespace {

using Keys = std::vector<std::string>;

const char kBase[] =
    "<style><tab key=\"scheme\"><p id=\"8000\" value=\"0\"/></tab><tab key=\"image\"/>"
    "<tab key=\"exposure\"/><tab key=\"nr\"/></style>";

// The "key" of every tab of a merged text, in order.
Keys tabKeys(const std::string& merged) {
    TiXmlDocument doc;
    doc.Parse(merged.c_str(), nullptr, TIXML_ENCODING_UTF8);
    if (doc.RootElement() == nullptr) {
        return {"<no root>"};
    }
    Keys keys;
    for (TiXmlElement* tab = doc.RootElement()->FirstChildElement(); tab;
         tab = tab->NextSiblingElement()) {
        keys.push_back(tab->Attribute("key") ? tab->Attribute("key") : "<none>");
    }
    return keys;
}

const char kStyleDir[] = "/hd1/moduleConfig/sensorConfig/style/";
const char kDiversityDir[] = "/hd1/moduleConfig/sensorConfig/styleDiversity/";

class StyleTest : public SandboxTest {
protected:
    // Every base style names itself in its root; every diversity document adds a tab named
    // after itself, so the merged text shows which pair was used.
    void SetUp() override {
        SandboxTest::SetUp();
        for (std::string family : {"", "_dome", "_Thermal"}) {
            sandbox->writeFile(kStyleDir + ("Style" + family) + ".xml",
                               "<Style" + family + "><tab key=\"scheme\"/></Style" + family + ">");
            sandbox->writeFile(kDiversityDir + ("StyleDiversity" + family) + ".xml",
                               "<rule model=\"M1\"><AddAfter tab_key=\"scheme\"><tab "
                               "key=\"StyleDiversity" +
                                   family + "\"/></AddAfter></rule>");
        }
        sandbox->writeMachineInfo(1);
        module.setModuleId(7);
        module.setDetail("(model=M1)");
    }
    void TearDown() override {
        uinitSysConf(&conf);
        SandboxTest::TearDown();
    }
    std::string merge(const std::string& style, const std::string& diversity, int channel = 1,
                      const char* detail = "(isInfrared=1)(lens=motor)(model=IPC-B5)") {
        ModuleConfig config{};
        snprintf(config.szDetail, sizeof(config.szDetail), "%s", detail);
        char* text = strdup(style.c_str());
        std::string div = diversity;
        result = mergeStyle(channel, &config, &text, &div[0]);
        const std::string merged = text;
        free(text);
        return merged;
    }
    // Whether initSysConf merged the base style and diversity document of the family.
    bool used(const std::string& family) const {
        const std::string text = conf.szUIStyle != nullptr ? conf.szUIStyle : "";
        return text.find("<Style" + family + ">") != std::string::npos &&
               text.find("key=\"StyleDiversity" + family + "\"") != std::string::npos;
    }

    ModuleConfigure module;
    SysConfig conf{};
    int result = -1;
};

struct EditCase {
    const char* base;  // nullptr: kBase
    const char* rules;
    Keys keys;
};

TEST_F(StyleTest, TabEditsOfTheRulesThatHold) {
    const EditCase cases[] = {
        // Modify keeps the position; AddAfter of the last tab appends.
        {nullptr,
         "<rule lens=\"motor\"><Modify tab_key=\"exposure\"><tab key=\"e2\"/></Modify></rule>",
         {"scheme", "image", "e2", "nr"}},
        {nullptr,
         "<rule lens=\"motor\"><AddAfter tab_key=\"nr\"><tab key=\"z\"/></AddAfter></rule>",
         {"scheme", "image", "exposure", "nr", "z"}},
        {"<style><tab key=\"only\"/></style>",
         "<rule lens=\"motor\"><Delete tab_key=\"only\"/></rule>",
         {}},
        // Later edits, in the rule and in later rules, see what earlier ones did.
        {nullptr,
         "<rule lens=\"motor\"><AddAfter tab_key=\"exposure\"><tab key=\"lens\"/></AddAfter>"
         "<Modify tab_key=\"lens\"><tab key=\"lens2\"/></Modify><Delete tab_key=\"nr\"/></rule>"
         "<rule model=\"IPC-B5\"><AddAfter tab_key=\"lens2\"><tab key=\"zoom\"/></AddAfter>"
         "<Modify tab_key=\"nr\"><tab key=\"nr3\"/></Modify></rule>",
         {"scheme", "image", "exposure", "lens2", "zoom"}},
        {"<style><tab key=\"a\"/><tab key=\"b\"/><tab key=\"a\"/></style>",
         "<rule lens=\"motor\"><Modify tab_key=\"a\"><tab key=\"x\"/></Modify></rule>",
         {"x", "b", "a"}},
        // Edits that cannot be carried out are skipped; a rule without edits does nothing.
        {"<style><tab name=\"nokey\"/><tab key=\"a\"/><tab key=\"b\"/><tab key=\"c\"/></style>",
         "<rule lens=\"motor\"/><rule lens=\"motor\"><Delete/><Modify tab_key=\"a\"/>"
         "<AddAfter tab_key=\"a\"></AddAfter><Rename tab_key=\"b\"><tab key=\"x\"/></Rename>"
         "<Delete tab_key=\"c\"/></rule>",
         {"<none>", "a", "b"}},
        // Half a diversity document applies no rule.
        {nullptr,
         "<rule lens=\"motor\"><Delete tab_key=\"nr\">",
         {"scheme", "image", "exposure", "nr"}},
    };
    for (const EditCase& c : cases) {
        EXPECT_EQ(c.keys, tabKeys(merge(c.base ? c.base : kBase, c.rules))) << c.rules;
        EXPECT_EQ(0, result);
    }
}

TEST_F(StyleTest, RuleConditionsOnTheDetailText) {
    const struct {
        const char* condition;
        const char* detail;
        bool applies;
    } cases[] = {
        {"lens=\"motor\"", "(lens=motor)", true},
        {"lens=\"motor\"", "(lens=fixed)", false},
        {"lens=\"fixed,motor\"", "(lens=motor)", true},
        {"lens=\"fixed,motor\"", "(lens=fixed)", true},
        {"lens=\"ab,c\"", "(lens=ab,c)", true},                // the whole list
        {"model=\"IPC-Z4,LPR-T2\"", "(model=LPR-T9X)", true},  // five characters agree
        {"model=\"IPC-B5\"", "(model=IPC-C5)", false},
        {"lens=\"wid\"", "(lens=wide)", false},
        {"lens=\" wide\"", "(lens=wide)", false},
        {"isInfrared=\"1\"", "(isInfrared=17)", false},
        {"model=\"IPC-B5\"", "(lens=motor)", false},
        {"isInfrared=\"0\" lens=\"motor\"", "(isInfrared=1)(lens=motor)", true},  // any one
        {"isInfrared=\"0\" lens=\"fixed\"", "(isInfrared=1)(lens=motor)", false},
        {"model=\"B5\"", "(submodel=B5)(model=C1)", true},  // first occurrence of the name
    };
    for (const auto& c : cases) {
        const std::string rule =
            std::string("<rule ") + c.condition + "><Delete tab_key=\"nr\"/></rule>";
        EXPECT_EQ(c.applies ? 3u : 4u, tabKeys(merge(kBase, rule, 1, c.detail)).size())
            << c.condition << " on " << c.detail;
    }
}

TEST_F(StyleTest, MergedFileIsTheReprintedStyleWhenNoRuleHolds) {
    const std::string merged =
        merge(kBase, "<rule isInfrared=\"0\"><Delete tab_key=\"nr\"/></rule>", 3);
    EXPECT_EQ(printedXml(kBase), merged);
    EXPECT_EQ(merged, sandbox->readFile("/tmp/merge_style_ch3.xml"));
}

TEST_F(StyleTest, UnparsableStyleStillWritesTheMergedFile) {
    merge("<style><tab key=\"a\">", "<rule lens=\"motor\"><Delete tab_key=\"a\"/></rule>");
    EXPECT_EQ(0, result);
    EXPECT_TRUE(sandbox->exists("/tmp/merge_style_ch1.xml"));
}

TEST_F(StyleTest, DeviceTypeAndChannelPickThePair) {
    const char* const thermal = "_Thermal";
    const char* const dome = "_dome";
    const struct {
        int deviceType;
        int channel;
        const char* family;
    } cases[] = {{13, 2, thermal}, {14, 2, thermal}, {17, 2, thermal}, {19, 2, thermal},
                 {17, 1, ""},      {22, 2, ""},      {1, 1, ""},       {19, 1, dome},
                 {20, 2, dome},    {104, 1, dome},   {4, 1, dome}};
    for (const auto& c : cases) {
        sandbox->writeMachineInfo(c.deviceType);
        ASSERT_EQ(0, initSysConf(c.channel, module, &conf));
        EXPECT_EQ(c.deviceType, conf.nDeviceType);
        EXPECT_TRUE(used(c.family)) << "type " << c.deviceType << " channel " << c.channel;
        uinitSysConf(&conf);
    }
}

TEST_F(StyleTest, UnknownDeviceTypeIsReportedAndUsesTheDomeFiles) {
    sandbox->writeMachineInfo(2);
    StdoutCapture capture;
    ASSERT_EQ(0, initSysConf(1, module, &conf));
    EXPECT_NE(
        std::string::npos,
        capture.stop().find("machineinfo, devicetype(2) error, must be 1 or 4 or 8 or 9 or 13\n"));
    EXPECT_TRUE(used("_dome"));
}

const char* const kErrorLog = "/mnt/mtd/log/SensorError.log";

TEST_F(StyleTest, SchemeCountFromTheDetailText) {
    // A field that is no count counts as missing, with one error-log record quoting it.
    const struct {
        const char* detail;
        u32 schemes;
        const char* report;
    } cases[] = {
        {"(isInfrared=1)", 4, nullptr},  // missing
        {"(isInfrared=1)(max_scheme=2)", 2, nullptr},
        {"(max_scheme=)(isInfrared=1)", 4, "(max_scheme=) is no scheme count: 4 schemes used"},
        {"(max_scheme=abc)", 4, "(max_scheme=abc) is no scheme count"},
        {"(max_scheme=0)", 4, "(max_scheme=0) is no scheme count"},
        {"(max_scheme=2x)", 4, "(max_scheme=2x) is no scheme count"},
        {"(max_scheme_old=6)(max_scheme=2)", 6, nullptr},  // found first inside another field
        {"(max_scheme=2", 4, nullptr},
        {"(max_scheme=123456789012)", 123456789, nullptr},  // nine characters of the value
    };
    for (const auto& c : cases) {
        module.setDetail(c.detail);
        sandbox->remove(kErrorLog);
        StdoutCapture quiet;
        ASSERT_EQ(0, initSysConf(1, module, &conf));
        quiet.stop();
        EXPECT_EQ(c.schemes, conf.nSchemeSum) << c.detail;
        const std::string log = sandbox->readFile(kErrorLog);
        if (c.report != nullptr) {
            EXPECT_NE(log.find(c.report), std::string::npos) << log;
        } else {
            EXPECT_EQ(log.find("scheme count"), std::string::npos) << log;
        }
        uinitSysConf(&conf);
    }
}

TEST_F(StyleTest, ModuleTextsAreCopiedCutToTheirFields) {
    module.setDetail("(max_scheme=3)" + std::string(600, 'd'));
    module.setParameters(std::string(300, 'p'));
    ASSERT_EQ(0, initSysConf(1, module, &conf));
    EXPECT_EQ(7, conf.moduleConfig.nModuleId);
    EXPECT_EQ("(max_scheme=3)" + std::string(497, 'd'), conf.moduleConfig.szDetail);
    EXPECT_EQ(std::string(255, 'p'), conf.moduleConfig.szParameters);
    EXPECT_EQ(3u, conf.nSchemeSum);
}

TEST(DetailField, StringValueIsCopiedWithoutTerminatorAndCutToNine) {
    char buf[12];
    memset(buf, 'Z', sizeof(buf));
    ASSERT_EQ(0, getDetailFieldToStr("(model=ABCDEFGHIJKLMN)(isInfrared=17)", "model", buf));
    EXPECT_EQ(0, memcmp("ABCDEFGHIZZZ", buf, sizeof(buf)));
    ASSERT_EQ(0, getDetailFieldToStr("(model=ABCDEFGHIJKLMN)(isInfrared=17)", "isInfrared", buf));
    EXPECT_EQ(0, memcmp("17CDEFGHIZZZ", buf, sizeof(buf)));
    EXPECT_EQ(-1, getDetailFieldToStr("(lens=motor)", "model", buf));
}

TEST_F(StyleTest, TextEndingInsideUtf8SequenceParsesWithinItsBlock) {
    // Both texts end inside a multi-byte sequence; the parser must stay within the caller's
    // blocks (checked under valgrind and ASan).
    char* text = static_cast<char*>(malloc(6));
    memcpy(text, "<a>x\xE2", 6);
    char* div = static_cast<char*>(malloc(6));
    memcpy(div, "<r>\xE2\xE2", 6);
    ModuleConfig config{};
    EXPECT_EQ(0, mergeStyle(1, &config, &text, div));
    free(text);
    free(div);
}

}  // namespace
