// The dynamic style: the merged style rewritten from the processor's dynamic command list
// and ranges, and the tree functions it is built from.
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <tinyxml.h>

#include "IaSim.h"
#include "ISensorController.h"
#include "Sandbox.h"
#include "SensorFile.h"
#include "XmlString.h"

namespace {

// Read before any test runs: the flag the library starts with.
const bool kBeawayAtLoad = g_bShoWBeawayFalg;

std::vector<int> fromTo(int first, int last) {
    std::vector<int> v;
    for (int i = first; i <= last; ++i) {
        v.push_back(i);
    }
    return v;
}

std::string combo(int id, int value, const std::vector<int>& items) {
    std::string xml = "<combo id=\"" + std::to_string(id) + "\" value=\"" + std::to_string(value) +
                      "\" enable_list=\"\">";
    for (int i : items) {
        xml += "<item index=\"" + std::to_string(i) + "\"/>";
    }
    return xml + "</combo>";
}

std::string printed(const std::string& xml) {
    TiXmlDocument doc;
    doc.Parse(xml.c_str(), nullptr, TIXML_ENCODING_UTF8);
    std::string text;
    getXmlString(doc, text);
    return text;
}

// A parsed output document with lookups by id.
class Doc {
public:
    explicit Doc(const std::string& xml) { m_doc.Parse(xml.c_str(), nullptr, TIXML_ENCODING_UTF8); }
    TiXmlElement* root() { return m_doc.RootElement(); }
    TiXmlElement* find(int id) { return find(root(), id); }
    bool has(int id) { return find(id) != nullptr; }
    std::string value(int id) {
        TiXmlElement* e = find(id);
        const char* v = e ? e->Attribute("value") : nullptr;
        return v ? v : "<none>";
    }
    std::vector<int> items(int id) { return itemsOf(find(id)); }
    // The "index" of each child element (-999 for a child without one).
    static std::vector<int> itemsOf(const TiXmlElement* e) {
        std::vector<int> out;
        for (const TiXmlElement* c = e ? e->FirstChildElement() : nullptr; c;
             c = c->NextSiblingElement()) {
            const char* index = c->Attribute("index");
            out.push_back(index ? atoi(index) : -999);
        }
        return out;
    }

private:
    static TiXmlElement* find(TiXmlElement* e, int id) {
        if (e == nullptr) {
            return nullptr;
        }
        const char* text = e->Attribute("id");
        if (text != nullptr && atoi(text) == id) {
            return e;
        }
        for (TiXmlElement* c = e->FirstChildElement(); c; c = c->NextSiblingElement()) {
            if (TiXmlElement* found = find(c, id)) {
                return found;
            }
        }
        return nullptr;
    }
    TiXmlDocument m_doc;
};

class DnaStyleTest : public SandboxTest {
protected:
    void TearDown() override {
        setshowBeawayFalg(true);
        SandboxTest::TearDown();
    }
    std::string dna(const std::string& style, bool showWdr = true, int channel = 1) {
        std::string out;
        result = getDnaStyle(channel, style.c_str(), out, showWdr);
        return out;
    }
    int rangeQueries() {
        int n = 0;
        for (const iasim::Call& call : iasim::callLog()) {
            n += call.opt == IA_CMD_OPT_GET_PARAM_RNAGE ? 1 : 0;
        }
        return n;
    }
    int result = -1;
};

TEST_F(DnaStyleTest, NoDynamicCommandOnlyRemovesThePlaceholders) {
    iasim::setDynamicCmds(0, {});
    const std::string body = "<tab key=\"a\">" + combo(49, 100, fromTo(1, 24)) +
                             "<p id=\"34\" value=\"50\" enable_list=\"\"/></tab>";
    const std::string out =
        dna("<style>" + body +
            "<tab key=\"b\"><p id=\"10\" value=\"0\"/><p id=\"11\" value=\"0\"/></tab></style>");
    EXPECT_EQ(0, result);
    EXPECT_EQ(printed("<style>" + body + "<tab key=\"b\"></tab></style>"), out);
}

TEST_F(DnaStyleTest, ItemsTheProcessorDoesNotListAreRemovedInDocumentOrder) {
    iasim::setDynamicCmds(0, {82});
    iasim::setDiscreteRange(0, 82, 3, {4, 2, 0, 9});
    Doc doc(dna("<s><t>" + combo(82, 1, fromTo(0, 5)) + "</t></s>"));
    EXPECT_EQ("3", doc.value(82));
    EXPECT_EQ((std::vector<int>{0, 2, 4}), doc.items(82));
}

TEST_F(DnaStyleTest, NoItemsRemovesEveryItem) {
    iasim::setDynamicCmds(0, {82});
    iasim::setDiscreteRange(0, 82, 7, {});
    Doc doc(dna("<s><t>" + combo(82, 1, fromTo(0, 5)) + "</t></s>"));
    EXPECT_EQ("7", doc.value(82));
    EXPECT_TRUE(doc.items(82).empty());
}

TEST_F(DnaStyleTest, ItemWithoutIndexStopsItsElementOnly) {
    iasim::setDynamicCmds(0, {82, 34});
    iasim::setDiscreteRange(0, 82, 1, {1});
    iasim::setDiscreteRange(0, 34, 7, {});
    StdoutCapture capture;
    Doc doc(
        dna("<s><t><combo id=\"82\" value=\"0\"><i index=\"0\"/><x/><i index=\"3\"/></combo>"
            "<p id=\"34\" value=\"1\"/></t></s>"));
    EXPECT_NE(
        std::string::npos,
        capture.stop().find("OVS_SUCCESS == doDnaStyle(objStyleXmlDoc.RootElement(), "
                            "dnaCmdList.cmd_list[i], &dnaParamList)   ~~~Assertion failed.\n"));
    EXPECT_EQ(0, result);
    EXPECT_EQ("1", doc.value(82));
    EXPECT_EQ((std::vector<int>{-999, 3}), doc.items(82));
    EXPECT_EQ("7", doc.value(34));
}

struct StyleDefaultCase {
    int cmd;
    int styleValue;
    std::vector<int> styleItems;
    const char* value;       // "value" after the rewrite
    std::vector<int> items;  // items after the rewrite
};

class StyleDefault : public DnaStyleTest, public ::testing::WithParamInterface<StyleDefaultCase> {};

TEST_P(StyleDefault, DecidesTheValueAndTheItems) {
    const StyleDefaultCase& c = GetParam();
    StdoutCapture capture;  // the search prints; see the exact text below
    Doc doc(dna("<s><t>" + combo(c.cmd, c.styleValue, c.styleItems) + "</t></s>"));
    capture.stop();
    EXPECT_EQ(c.value, doc.value(c.cmd));
    EXPECT_EQ(c.items, doc.items(c.cmd));
}

// The default sensor profile: 49 and 50 default 6 over 1..18, 1537 default 100 over
// {10,30,50,100,150,300,600}.
INSTANTIATE_TEST_SUITE_P(
    DefaultProfile, StyleDefault,
    ::testing::Values(StyleDefaultCase{49, 100, fromTo(1, 24), "6", fromTo(1, 18)},
                      StyleDefaultCase{49, 9, fromTo(1, 24), "9", fromTo(1, 18)},
                      StyleDefaultCase{49, 30, fromTo(1, 24), "6", fromTo(1, 18)},
                      StyleDefaultCase{49, 205, fromTo(1, 24), "5", fromTo(1, 24)},
                      StyleDefaultCase{49, 203, {2, 3, 20, 21}, "3", {2, 3, 20, 21}},
                      StyleDefaultCase{50, 8, fromTo(1, 24), "8", fromTo(1, 18)},
                      StyleDefaultCase{50, 205, fromTo(1, 24), "6", fromTo(1, 18)},
                      StyleDefaultCase{1537, 300, {10, 100, 200, 300}, "300", {10, 100, 300}}));

TEST_F(DnaStyleTest, ListedStyleDefaultPrintsTheSearchUpToTheMatch) {
    iasim::setDynamicCmds(0, {82, 49});
    StdoutCapture capture;
    dna("<s><t>" + combo(49, 9, fromTo(1, 24)) + combo(82, 1, fromTo(0, 3)) + "</t></s>");
    std::string expected = "dnaCmdList.cmd_list[1] = dnaParamList.items_cnt(18)\n";
    for (int j = 0; j <= 8; ++j) {
        expected += " dnaParamList.item[" + std::to_string(j) + "] = " + std::to_string(j + 1) +
                    " nVal = 9 \n";
    }
    EXPECT_EQ(expected, capture.stop());
}

struct PlaceholderCase {
    bool showWdr;
    bool showBeaway;
};

class Placeholders : public DnaStyleTest, public ::testing::WithParamInterface<PlaceholderCase> {};

TEST_P(Placeholders, AreRemovedForTheFunctionsOffered) {
    setshowBeawayFalg(GetParam().showBeaway);
    Doc doc(dna("<s><t><p id=\"10\" value=\"0\"/><p id=\"11\" value=\"0\"/></t></s>",
                GetParam().showWdr));
    EXPECT_EQ(!GetParam().showWdr, doc.has(10));
    EXPECT_EQ(!GetParam().showBeaway, doc.has(11));
}

INSTANTIATE_TEST_SUITE_P(Flags, Placeholders,
                         ::testing::Values(PlaceholderCase{true, true},
                                           PlaceholderCase{true, false},
                                           PlaceholderCase{false, true},
                                           PlaceholderCase{false, false}));

TEST_F(DnaStyleTest, AsksTheProcessorChannelOfTheChannel) {
    iasim::setDynamicCmds(1, {82});
    iasim::setDiscreteRange(1, 82, 2, {2});
    Doc doc(dna("<s><t>" + combo(82, 1, fromTo(0, 3)) + "</t></s>", true, 2));
    EXPECT_EQ("2", doc.value(82));
    for (const iasim::Call& call : iasim::callLog()) {
        EXPECT_EQ(1, call.channel) << iasim::formatCall(call);
    }
}

TEST_F(DnaStyleTest, CommandListBeyondSixteenIsBounded) {
    ia_dynamic_cmds_st list;
    memset(&list, 0, sizeof(list));
    list.cmd_cnt = 40;
    for (int& cmd : list.cmd_list) {
        cmd = 82;
    }
    iasim::setDynamicCmdsRaw(0, list);
    Doc doc(dna("<s><t>" + combo(82, 1, fromTo(0, 12)) + "</t></s>"));
    EXPECT_EQ(16, rangeQueries());
    EXPECT_EQ("5", doc.value(82));
}

TEST_F(DnaStyleTest, ItemCountBeyondSixtyFourIsBounded) {
    ia_dynamic_params_attr_st range;
    memset(&range, 0, sizeof(range));
    range.def_val = 63;
    range.items_cnt = 100000;
    for (int i = 0; i < 64; ++i) {
        range.item[i] = i;
    }
    iasim::setDynamicCmds(0, {49});
    iasim::setRange(0, 49, range);
    StdoutCapture capture;
    Doc doc(dna("<s><t>" + combo(49, 70, fromTo(0, 70)) + "</t></s>"));
    const std::string out = capture.stop();
    EXPECT_NE(std::string::npos, out.find("items_cnt(64)\n"));
    EXPECT_EQ(std::string::npos, out.find("item[64]"));
    EXPECT_EQ(fromTo(0, 63), doc.items(49));
    EXPECT_EQ("63", doc.value(49));
}

TEST_F(DnaStyleTest, FailedCommandListRewritesNothing) {
    iasim::injectFailure(IA_CMD_DYNAMIC_PARAMS_CMDS_GET, IA_CMD_OPT_GET, -1);
    const std::string body = "<t>" + combo(82, 1, fromTo(0, 12)) + "</t>";
    StdoutCapture capture;
    const std::string out = dna("<s>" + body + "<p id=\"10\" value=\"0\"/></s>");
    EXPECT_NE(std::string::npos,
              capture.stop().find("OVS_SUCCESS == ia_ioctrl_v2(p_channelID-1, "
                                  "IA_CMD_DYNAMIC_PARAMS_CMDS_GET, IA_CMD_OPT_GET, "
                                  "(void*)(&dnaCmdList))   ~~~Assertion failed.\n"));
    EXPECT_EQ(0, result);
    EXPECT_EQ(printed("<s>" + body + "</s>"), out);
}

TEST_F(DnaStyleTest, UnparsableStyleIsReported) {
    StdoutCapture capture;
    dna("<s><t>");
    EXPECT_NE(std::string::npos,
              capture.stop().find("objStyleXmlDoc.LoadMem(szStyle, TIXML_ENCODING_UTF8)"));
    EXPECT_EQ(0, result);
    std::string out;
    EXPECT_EQ(0, getDnaStyle(1, nullptr, out, true));
}

// ---- tree functions ----

const char kTree[] =
    "<s>"
    "<t><p id=\"5\" value=\"1\"><p id=\"5\" value=\"2\"/></p></t>"
    "<t><p id=\"6\" value=\"3\"/><p id=\"5\"/><p id=\"5\" value=\"4\"/><p id=\"7\"/></t>"
    "</s>";

TEST(DnaTree, ValueSearchTakesTheLastMatchWithAValue) {
    Doc doc(kTree);
    int value = -1;
    EXPECT_EQ(0, getDnaValbyCmdId(doc.root(), 5, value));
    EXPECT_EQ(4, value);
    value = -1;
    getDnaValbyCmdId(doc.root(), 7, value);
    EXPECT_EQ(-1, value);
    getDnaValbyCmdId(doc.root(), 99, value);
    EXPECT_EQ(-1, value);
    getDnaValbyCmdId(nullptr, 5, value);
    EXPECT_EQ(-1, value);
}

TEST(DnaTree, DeleteNodeRemovesOnlyElementsOfAnElement) {
    Doc doc(kTree);
    TiXmlElement* node = doc.find(6);
    EXPECT_EQ(-1, DeleteNode(doc.root(), nullptr));
    EXPECT_EQ(-1, DeleteNode(nullptr, node));
    EXPECT_TRUE(doc.has(6));
    EXPECT_EQ(0, DeleteNode(doc.root(), node));
    EXPECT_FALSE(doc.has(6));
    EXPECT_EQ(0, DeleteNode(doc.root(), doc.root()));
    EXPECT_NE(nullptr, doc.root());
}

TEST(DnaTree, CustomizeTakesTheItemsWithIndex) {
    Doc doc(
        "<s><p id=\"49\" value=\"205\"><i index=\"7\"/><x/><i index=\"2\"/><i "
        "index=\"30\"/></p></s>");
    ia_dynamic_params_attr_st attr;
    memset(&attr, 0x55, sizeof(attr));
    EXPECT_EQ(0, doCustomizeStyle(doc.root(), 49, &attr));
    EXPECT_EQ(3, attr.items_cnt);
    EXPECT_EQ(7, attr.item[0]);
    EXPECT_EQ(2, attr.item[1]);
    EXPECT_EQ(30, attr.item[2]);
    EXPECT_EQ(7, attr.min_val);
    EXPECT_EQ(30, attr.max_val);
    EXPECT_EQ(0x55555555, attr.item[3]);
    EXPECT_EQ(0, doCustomizeStyle(doc.root(), 49, nullptr));
}

TEST(DnaTree, CustomizeWithoutItemsKeepsTheProcessorsLimits) {
    Doc doc("<s><p id=\"49\" value=\"205\"><x/></p></s>");
    ia_dynamic_params_attr_st attr;
    memset(&attr, 0, sizeof(attr));
    attr.items_cnt = 4;
    attr.min_val = 1;
    attr.max_val = 18;
    doCustomizeStyle(doc.root(), 49, &attr);
    EXPECT_EQ(0, attr.items_cnt);
    EXPECT_EQ(1, attr.min_val);
    EXPECT_EQ(18, attr.max_val);
}

TEST(DnaTree, CustomizeTakesAtMostSixtyFourItems) {
    Doc doc("<s>" + combo(49, 205, fromTo(1, 100)) + "</s>");
    ia_dynamic_params_attr_st attr;
    memset(&attr, 0, sizeof(attr));
    doCustomizeStyle(doc.root(), 49, &attr);
    EXPECT_EQ(64, attr.items_cnt);
    EXPECT_EQ(1, attr.min_val);
    EXPECT_EQ(64, attr.max_val);
}

struct ModifyCase {
    int id;
    const char* enableList;
};

void PrintTo(const ModifyCase& c, std::ostream* os) {
    *os << "id " << c.id;
}

class ModifyEnableList : public ::testing::TestWithParam<ModifyCase> {};

TEST_P(ModifyEnableList, RewritesTheExclusiveSwitches) {
    Doc doc("<s><t><p id=\"" + std::to_string(GetParam().id) +
            "\" enable_list=\"x\"/></t>"
            "<t><p id=\"" +
            std::to_string(GetParam().id) + "\" enable_list=\"y\"/></t></s>");
    EXPECT_EQ(0, ModifyNodebyCmdId(doc.root(), GetParam().id));
    TiXmlElement* first = doc.root()->FirstChildElement()->FirstChildElement();
    TiXmlElement* second =
        doc.root()->FirstChildElement()->NextSiblingElement()->FirstChildElement();
    EXPECT_STREQ(GetParam().enableList[0] ? GetParam().enableList : "x",
                 first->Attribute("enable_list"));
    EXPECT_STREQ(GetParam().enableList[0] ? GetParam().enableList : "y",
                 second->Attribute("enable_list"));
}

INSTANTIATE_TEST_SUITE_P(Ids, ModifyEnableList,
                         ::testing::Values(ModifyCase{112, "128"}, ModifyCase{128, "112"},
                                           ModifyCase{50, ""}));

TEST(BeawayFlag, StartsSetAndFollowsItsSetter) {
    EXPECT_TRUE(kBeawayAtLoad);
    setshowBeawayFalg(false);
    EXPECT_FALSE(getshowBeawayFalg());
    EXPECT_FALSE(g_bShoWBeawayFalg);
    setshowBeawayFalg(true);
    EXPECT_TRUE(getshowBeawayFalg());
}

}  // namespace
