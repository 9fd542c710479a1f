// The style merge: which diversity rules apply to a module, what each tab edit does to the
// base style, and what lands in the channel's merged file.
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <tinyxml.h>

#include "Sandbox.h"
#include "SensorFile.h"
#include "XmlString.h"
#include "sensor.h"

namespace {

const char kBase[] =
    "<style>"
    "<tab key=\"scheme\"><p id=\"8000\" value=\"0\"/></tab>"
    "<tab key=\"image\"><p id=\"34\" value=\"50\"/></tab>"
    "<tab key=\"exposure\"><p id=\"49\" value=\"100\"/></tab>"
    "<tab key=\"nr\"><p id=\"2304\" value=\"1\"/></tab>"
    "</style>";

char* heapText(const std::string& text) {
    char* block = static_cast<char*>(malloc(text.size() + 1));
    memcpy(block, text.c_str(), text.size() + 1);
    return block;
}

// What the XML library prints for a document text.
std::string printed(const std::string& xml) {
    TiXmlDocument doc;
    doc.Parse(xml.c_str(), nullptr, TIXML_ENCODING_UTF8);
    std::string text;
    getXmlString(doc, text);
    return text;
}

// The "key" of every tab of a merged text, in order.
std::vector<std::string> tabKeys(const std::string& merged) {
    TiXmlDocument doc;
    doc.Parse(merged.c_str(), nullptr, TIXML_ENCODING_UTF8);
    std::vector<std::string> keys;
    TiXmlElement* root = doc.RootElement();
    for (TiXmlElement* tab = root ? root->FirstChildElement() : nullptr; tab != nullptr;
         tab = tab->NextSiblingElement()) {
        const char* key = tab->Attribute("key");
        keys.push_back(key ? key : "<none>");
    }
    return keys;
}

using Keys = std::vector<std::string>;

class MergeTest : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        memset(&config, 0, sizeof(config));
        setDetail("(isInfrared=1)(lens=motor)(model=IPC-B5)");
    }
    void setDetail(const std::string& detail) {
        snprintf(config.szDetail, sizeof(config.szDetail), "%s", detail.c_str());
    }
    // Merges `diversity` into `style` for channel `channel`; the merged text.
    std::string merge(const std::string& style, const std::string& diversity, int channel = 1) {
        char* text = heapText(style);
        char* div = heapText(diversity);
        result = mergeStyle(channel, &config, &text, div);
        std::string merged = text;
        free(text);
        free(div);
        return merged;
    }
    Keys mergedKeys(const std::string& diversity) { return tabKeys(merge(kBase, diversity)); }

    ModuleConfig config;
    int result = -1;
};

TEST_F(MergeTest, NoRuleApplyingReprintsTheBaseAndWritesTheFile) {
    const std::string merged =
        merge(kBase, "<rule isInfrared=\"0\"><Delete tab_key=\"nr\"/></rule>", 3);
    EXPECT_EQ(0, result);
    EXPECT_EQ(printed(kBase), merged);
    EXPECT_EQ(merged, sandbox->readFile("/tmp/merge_style_ch3.xml"));
}

TEST_F(MergeTest, ModifyKeepsThePositionOfTheTab) {
    EXPECT_EQ((Keys{"scheme", "image", "exposure2", "nr"}),
              mergedKeys("<rule lens=\"motor\"><Modify tab_key=\"exposure\">"
                         "<tab key=\"exposure2\"><p id=\"49\" value=\"205\"/></tab>"
                         "</Modify></rule>"));
}

TEST_F(MergeTest, AddAfterTheLastTabAppends) {
    EXPECT_EQ((Keys{"scheme", "image", "exposure", "nr", "lens"}),
              mergedKeys("<rule lens=\"motor\"><AddAfter tab_key=\"nr\"><tab key=\"lens\"/>"
                         "</AddAfter></rule>"));
}

TEST_F(MergeTest, DeleteOfTheOnlyTabLeavesAnEmptyRoot) {
    const std::string merged =
        merge("<style><tab key=\"only\"><p id=\"1\" value=\"1\"/></tab></style>",
              "<rule lens=\"motor\"><Delete tab_key=\"only\"/></rule>");
    EXPECT_EQ(printed("<style></style>"), merged);
    EXPECT_TRUE(tabKeys(merged).empty());
}

TEST_F(MergeTest, LaterEditsSeeWhatEarlierEditsDid) {
    // Within one rule and across rules: the added tab can be targeted, the removed one not.
    EXPECT_EQ((Keys{"scheme", "image", "exposure", "lens2", "zoom"}),
              mergedKeys("<rule lens=\"motor\">"
                         "<AddAfter tab_key=\"exposure\"><tab key=\"lens\"/></AddAfter>"
                         "<Modify tab_key=\"lens\"><tab key=\"lens2\"/></Modify>"
                         "<Delete tab_key=\"nr\"/>"
                         "</rule>"
                         "<rule model=\"IPC-B5\">"
                         "<AddAfter tab_key=\"lens2\"><tab key=\"zoom\"/></AddAfter>"
                         "<Modify tab_key=\"nr\"><tab key=\"nr3\"/></Modify>"
                         "</rule>"));
}

TEST_F(MergeTest, OnlyTheFirstOfTwoTabsWithOneKeyIsEdited) {
    const std::string base =
        "<style><tab key=\"a\" n=\"1\"/><tab key=\"b\"/><tab key=\"a\" n=\"2\"/></style>";
    EXPECT_EQ(printed("<style><tab key=\"b\"/><tab key=\"a\" n=\"2\"/></style>"),
              merge(base, "<rule lens=\"motor\"><Delete tab_key=\"a\"/></rule>"));
}

struct ConditionCase {
    const char* condition;  // attribute text of the rule
    const char* detail;     // module detail text
    bool applies;
};

void PrintTo(const ConditionCase& c, std::ostream* os) {
    *os << c.condition << " on " << c.detail;
}

class RuleCondition : public MergeTest, public ::testing::WithParamInterface<ConditionCase> {};

TEST_P(RuleCondition, DecidesWhetherTheRuleApplies) {
    setDetail(GetParam().detail);
    const Keys keys = mergedKeys(std::string("<rule ") + GetParam().condition +
                                 "><Delete tab_key=\"nr\"/></rule>");
    EXPECT_EQ(GetParam().applies, keys.size() == 3u);
}

INSTANTIATE_TEST_SUITE_P(
    Conditions, RuleCondition,
    ::testing::Values(
        ConditionCase{"lens=\"motor\"", "(lens=motor)", true},
        ConditionCase{"lens=\"motor\"", "(lens=fixed)", false},
        ConditionCase{"lens=\"fixed,motor\"", "(lens=motor)", true},
        ConditionCase{"lens=\"fixed,motor\"", "(lens=fixed)", true},
        ConditionCase{"model=\"IPC-Z4,LPR-T2\"", "(model=LPR-T9X)", true},
        ConditionCase{"model=\"IPC-B5\"", "(model=IPC-C5)", false},
        ConditionCase{"lens=\"wide\"", "(lens=wid)", false},
        ConditionCase{"lens=\"wid\"", "(lens=wide)", false},
        ConditionCase{"lens=\" wide\"", "(lens=wide)", false},
        ConditionCase{"isInfrared=\"1\"", "(isInfrared=17)", false},
        ConditionCase{"model=\"IPC-B5\"", "(lens=motor)", false},
        ConditionCase{"lens=\"ab,c\"", "(lens=ab,c)", true},  // the whole list
        ConditionCase{"isInfrared=\"0\" lens=\"motor\"", "(isInfrared=1)(lens=motor)", true},
        ConditionCase{"isInfrared=\"0\" lens=\"fixed\"", "(isInfrared=1)(lens=motor)", false},
        ConditionCase{"model=\"B5\"", "(submodel=B5)(model=C1)", true}));

TEST_F(MergeTest, EditsThatCannotBeCarriedOutAreSkipped) {
    // No tab_key, no content, an unknown operation, a tab without a key: the edits after
    // them still apply.
    const std::string base =
        "<style><tab name=\"nokey\"/><tab key=\"a\"/><tab key=\"b\"/><tab key=\"c\"/></style>";
    const std::string merged = merge(base,
                                     "<rule lens=\"motor\">"
                                     "<Delete/>"
                                     "<Modify tab_key=\"a\"/>"
                                     "<AddAfter tab_key=\"a\"></AddAfter>"
                                     "<Rename tab_key=\"b\"><tab key=\"x\"/></Rename>"
                                     "<Delete tab_key=\"c\"/>"
                                     "</rule>");
    EXPECT_EQ((Keys{"<none>", "a", "b"}), tabKeys(merged));
}

TEST_F(MergeTest, RuleThatHoldsWithoutEditsDoesNothing) {
    StdoutCapture capture;
    const std::string merged = merge(
        kBase, "<rule lens=\"motor\"/><rule model=\"IPC-B5\"><Delete tab_key=\"nr\"/></rule>");
    EXPECT_NE(std::string::npos,
              capture.stop().find("NULL != (node_second = node_first->FirstChildElement())"
                                  "   ~~~Assertion failed.\n"));
    EXPECT_EQ(3u, tabKeys(merged).size());
}

TEST_F(MergeTest, UnparsableDiversityAppliesNoRule) {
    StdoutCapture capture;
    const std::string merged = merge(kBase, "<rule lens=\"motor\"><Delete tab_key=\"nr\">");
    const std::string out = capture.stop();
    EXPECT_NE(std::string::npos,
              out.find("doc_style_div.LoadMem(ui_styleDiversity, TIXML_ENCODING_UTF8)"));
    EXPECT_EQ(0, result);
    EXPECT_EQ(printed(kBase), merged);
}

TEST_F(MergeTest, UnparsableStyleIsReportedAndTheMergeGoesOn) {
    StdoutCapture capture;
    merge("<style><tab key=\"a\">", "<rule lens=\"motor\"><Delete tab_key=\"a\"/></rule>");
    const std::string out = capture.stop();
    EXPECT_EQ(0, result);
    EXPECT_NE(std::string::npos, out.find("doc_style.LoadMem(*ui_style, TIXML_ENCODING_UTF8)"));
    EXPECT_TRUE(sandbox->exists("/tmp/merge_style_ch1.xml"));
}

TEST_F(MergeTest, UnwritableMergedFileLeavesAnEmptyText) {
    sandbox->remove("/tmp/merge_style_ch1.xml");
    ::rmdir(sandbox->path("/tmp").c_str());
    StdoutCapture capture;
    const std::string merged = merge(kBase, "<rule lens=\"motor\"><Delete tab_key=\"nr\"/></rule>");
    EXPECT_NE(std::string::npos,
              capture.stop().find("loadFromFile(filename, *ui_style, file_len) > 0"));
    EXPECT_EQ("", merged);
}

TEST_F(MergeTest, TextEndingInsideUtf8SequenceParsesWithinItsBlock) {
    // The base text ends with the lead byte of a three-byte sequence; the parser must not
    // read past the caller's block (checked under valgrind and ASan).
    char* text = static_cast<char*>(malloc(6));
    memcpy(text, "<a>x\xE2", 6);
    char* div = static_cast<char*>(malloc(6));
    memcpy(div, "<r>\xE2\xE2", 6);
    EXPECT_EQ(0, mergeStyle(1, &config, &text, div));
    free(text);
    free(div);
}

}  // namespace
