// The dynamic style (the merged style rewritten from the processor's dynamic command list and
// ranges) and the factory records read off it: one record per parameter element, depth-first.
#include <stdlib.h>
#include <string.h>

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <tinyxml.h>

#include "IaSim.h"
#include "ISensorController.h"
#include "Sandbox.h"
#include "SensorFile.h"
#include "XmlString.h"

namespace {

const u32 kCapacity = 160;
const u32 kSentinelKey = 0xDEADBEEF;

using Records = std::vector<std::pair<u32, int>>;

std::vector<int> fromTo(int first, int last) {
    std::vector<int> v;
    for (int i = first; i <= last; ++i) {
        v.push_back(i);
    }
    return v;
}

// A parameter element with one item per index.
std::string combo(int id, int value, const std::vector<int>& items) {
    std::string xml = "<c id=\"" + std::to_string(id) + "\" value=\"" + std::to_string(value) +
                      "\" enable_list=\"\">";
    for (int i : items) {
        xml += "<i index=\"" + std::to_string(i) + "\"/>";
    }
    return xml + "</c>";
}

const TiXmlElement* findId(const TiXmlElement* e, int id) {
    if (e == nullptr || (e->Attribute("id") && atoi(e->Attribute("id")) == id)) {
        return e;
    }
    const TiXmlElement* found = nullptr;
    for (const TiXmlElement* c = e->FirstChildElement(); c && !found; c = c->NextSiblingElement()) {
        found = findId(c, id);
    }
    return found;
}

// A value and its items as "6 [1 2 3]".
std::string param(int value, const std::vector<int>& items) {
    std::string text = std::to_string(value) + " [";
    for (int i : items) {
        text += std::string(text.back() == '[' ? "" : " ") + std::to_string(i);
    }
    return text + "]";
}

// The value and items of the element with the id in a document text; "" when it is missing.
std::string param(const std::string& xml, int id) {
    TiXmlDocument doc;
    doc.Parse(xml.c_str(), nullptr, TIXML_ENCODING_UTF8);
    const TiXmlElement* e = findId(doc.RootElement(), id);
    std::vector<int> items;
    for (const TiXmlElement* c = e ? e->FirstChildElement() : nullptr; c;
         c = c->NextSiblingElement()) {
        items.push_back(c->Attribute("index") ? atoi(c->Attribute("index")) : -1);
    }
    return e ? param(e->Attribute("value") ? atoi(e->Attribute("value")) : -1, items) : "";
}

class DynamicStyleTest : public SandboxTest {
protected:
    void TearDown() override {
        setshowBeawayFalg(true);
        SandboxTest::TearDown();
    }
    std::string dna(const std::string& style, bool showWdr = true, int channel = 1) {
        std::string out;
        EXPECT_EQ(0, getDnaStyle(channel, style.c_str(), out, showWdr));
        return out;
    }
    // getFctData over a copy of `style`; the records it produced.
    Records factory(const std::string& style, bool showWdr = true) {
        std::vector<char> text(style.begin(), style.end());
        text.push_back('\0');
        for (KeyVal& kv : array) {
            kv = KeyVal{kSentinelKey, -7};
        }
        count = 12345;
        EXPECT_EQ(0, getFctData(1, text.data(), array, &count, showWdr));
        Records out;
        for (u32 i = 0; i < count && i < kCapacity; ++i) {
            out.emplace_back(array[i].key, array[i].value);
        }
        return out;
    }

    KeyVal array[kCapacity + 10];
    u32 count = 0;
};

TEST_F(DynamicStyleTest, NoDynamicCommandOnlyRemovesThePlaceholders) {
    iasim::setDynamicCmds(0, {});
    const std::string body = "<tab key=\"a\">" + combo(49, 100, fromTo(1, 24)) +
                             "<p id=\"34\" value=\"50\" enable_list=\"\"/></tab>";
    EXPECT_EQ(
        printedXml("<style>" + body + "<tab key=\"b\"></tab></style>"),
        dna("<style>" + body +
            "<tab key=\"b\"><p id=\"10\" value=\"0\"/><p id=\"11\" value=\"0\"/></tab></style>"));
}

TEST_F(DynamicStyleTest, ProcessorRangesRewriteValuesAndItems) {
    const std::vector<int> sensor = fromTo(1, 18);
    const struct {
        int cmd;
        int def;
        std::vector<int> listed;  // by the processor
        int styleValue;
        std::vector<int> styleItems;
        std::string expected;
    } cases[] = {
        {82, 3, {4, 2, 0, 9}, 1, fromTo(0, 5), "3 [0 2 4]"},  // unlisted items go, order kept
        {82, 7, {}, 1, fromTo(0, 5), "7 []"},
        {49, 6, sensor, 100, fromTo(1, 24), param(6, sensor)},  // 100: the processor's default
        {49, 6, sensor, 9, fromTo(1, 24), param(9, sensor)},    // a listed style value wins
        {49, 6, sensor, 30, fromTo(1, 24), param(6, sensor)},
        {49, 6, sensor, 205, fromTo(1, 24), param(5, fromTo(1, 24))},  // own items, default 5
        {49, 6, sensor, 203, {2, 3, 20, 21}, "3 [2 3 20 21]"},
        {50, 6, sensor, 8, fromTo(1, 24), param(8, sensor)},
        {50, 6, sensor, 205, fromTo(1, 24), param(6, sensor)},  // 205 only a candidate default
        {1537, 100, {10, 30, 50, 100, 150, 300, 600}, 300, {10, 100, 200, 300}, "300 [10 100 300]"},
    };
    std::vector<std::string> outs;
    StdoutCapture capture;  // the default search prints its steps
    for (const auto& c : cases) {
        iasim::setDynamicCmds(1, {c.cmd});  // channel 2 asks processor channel 1
        iasim::setDiscreteRange(1, c.cmd, c.def, c.listed);
        outs.push_back(param(
            dna("<s><t>" + combo(c.cmd, c.styleValue, c.styleItems) + "</t></s>", true, 2), c.cmd));
    }
    capture.stop();
    for (size_t i = 0; i < outs.size(); ++i) {
        EXPECT_EQ(cases[i].expected, outs[i]) << cases[i].cmd << " value " << cases[i].styleValue;
    }
}

TEST_F(DynamicStyleTest, PlaceholdersAreRemovedForTheFunctionsOffered) {
    for (int flags = 0; flags < 4; ++flags) {
        const bool showWdr = flags & 1, showBeaway = flags & 2;
        setshowBeawayFalg(showBeaway);
        const std::string out =
            dna("<s><t><p id=\"10\" value=\"0\"/><p id=\"11\" value=\"0\"/></t></s>", showWdr);
        EXPECT_EQ(showWdr, param(out, 10).empty()) << flags;
        EXPECT_EQ(showBeaway, param(out, 11).empty()) << flags;
    }
}

TEST_F(DynamicStyleTest, CommandListBeyondSixteenIsBounded) {
    ia_dynamic_cmds_st list;
    memset(&list, 0, sizeof(list));
    list.cmd_cnt = 40;
    for (int& cmd : list.cmd_list) {
        cmd = 82;
    }
    iasim::setDynamicCmdsRaw(0, list);
    EXPECT_EQ("5 [0 1 2 3 4 5 6 7 8 9 10]",
              param(dna("<s>" + combo(82, 1, fromTo(0, 12)) + "</s>"), 82));
    int rangeQueries = 0;
    for (const iasim::Call& call : iasim::callLog()) {
        rangeQueries += call.opt == IA_CMD_OPT_GET_PARAM_RNAGE ? 1 : 0;
    }
    EXPECT_EQ(16, rangeQueries);
}

TEST_F(DynamicStyleTest, ItemCountBeyondSixtyFourIsBounded) {
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
    const std::string out = dna("<s>" + combo(49, 70, fromTo(0, 70)) + "</s>");
    const std::string own = dna("<s>" + combo(49, 205, fromTo(0, 99)) + "</s>");
    capture.stop();
    EXPECT_EQ(param(63, fromTo(0, 63)), param(out, 49));
    EXPECT_EQ(param(5, fromTo(0, 63)), param(own, 49));
}

TEST_F(DynamicStyleTest, FailedCommandListRewritesNothing) {
    iasim::injectFailure(IA_CMD_DYNAMIC_PARAMS_CMDS_GET, IA_CMD_OPT_GET, -1);
    const std::string body = "<t>" + combo(82, 1, fromTo(0, 12)) + "</t>";
    EXPECT_EQ(printedXml("<s>" + body + "</s>"),
              dna("<s>" + body + "<p id=\"10\" value=\"0\"/></s>"));
}

TEST_F(DynamicStyleTest, RecordsFollowTheDocumentDepthFirst) {
    iasim::setDynamicCmds(0, {});
    // Elements without "id" or "value" give no record; values are read as decimal numbers.
    EXPECT_EQ((Records{{34, 50}, {7, 70}, {1, 0}, {2, -20}, {3, 12}, {0, 5}, {34, 0}}),
              factory("<s><t key=\"a\" value=\"3\"><p id=\"34\" value=\"50\" enable_list=\"\"/>"
                      "<p id=\"6\"><p id=\"7\" value=\"70\"/><i index=\"1\"/></p><p value=\"9\"/>"
                      "</t><t key=\"b\"><p id=\"1\" value=\"high\"><p id=\"2\" value=\"-20\"/></p>"
                      "<p id=\"3\" value=\" 12mm\"/><p id=\"x\" value=\"5\"/>"
                      "<p id=\"34\" value=\"\"/></t></s>"));
    EXPECT_EQ(7u, count);
    EXPECT_EQ(kSentinelKey, array[7].key);
}

TEST_F(DynamicStyleTest, RecordsTakeTheValuesOfTheDynamicStyle) {
    // Default sensor profile: 49 keeps the processor's default 6, 50 its listed style value
    // 8, 82 takes the processor's default 5; placeholder 10 stays when WDR is not offered.
    EXPECT_EQ((Records{{49, 6}, {50, 8}, {82, 5}, {10, 0}}),
              factory("<s>" + combo(49, 100, {6}) + combo(50, 8, {8}) + combo(82, 0, {}) +
                          "<p id=\"10\" value=\"0\"/><p id=\"11\" value=\"0\"/></s>",
                      false));
}

TEST_F(DynamicStyleTest, RecordsStopAtTheArraysRoom) {
    iasim::setDynamicCmds(0, {});
    std::string style = "<s>";
    for (int i = 101; i <= 275; ++i) {
        style += "<p id=\"" + std::to_string(i) + "\" value=\"" + std::to_string(i) + "\"/>";
    }
    StdoutCapture capture;
    const Records records = factory(style + "</s>");
    capture.stop();
    ASSERT_EQ(kCapacity, count);
    EXPECT_EQ(std::make_pair(260u, 260), records.back());
    for (u32 i = kCapacity; i < kCapacity + 10; ++i) {
        EXPECT_EQ(kSentinelKey, array[i].key);
    }
}

TEST_F(DynamicStyleTest, UnparsableStyleGivesNoRecords) {
    EXPECT_EQ(Records{}, factory("not xml"));
    EXPECT_EQ(0u, count);
    EXPECT_EQ(kSentinelKey, array[0].key);
    dna("<s><t>");
    std::string out;
    EXPECT_EQ(0, getDnaStyle(1, nullptr, out, true));
}

TEST_F(DynamicStyleTest, TextEndingInsideUtf8SequenceParsesWithinItsBlock) {
    // The style ends with the lead byte of a three-byte sequence; the parser must stay within
    // the caller's block (checked under valgrind and ASan).
    char* text = static_cast<char*>(malloc(6));
    memcpy(text, "<a>x\xE2", 6);
    count = 9;
    EXPECT_EQ(0, getFctData(1, text, array, &count, true));
    EXPECT_EQ(0u, count);
    free(text);
}

}  // namespace
