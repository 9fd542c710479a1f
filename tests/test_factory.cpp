// Factory records: one record per parameter element of the dynamic style, depth-first.
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

namespace {

const u32 kCapacity = 160;
const u32 kSentinelKey = 0xDEADBEEF;

struct Record {
    u32 key;
    int value;
    bool operator==(const Record& o) const { return key == o.key && value == o.value; }
};

std::ostream& operator<<(std::ostream& os, const Record& r) {
    return os << "(" << r.key << "," << r.value << ")";
}

using Records = std::vector<Record>;

class FactoryTest : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        for (KeyVal& kv : array) {
            kv = KeyVal{kSentinelKey, -7};
        }
    }
    void TearDown() override {
        setshowBeawayFalg(true);
        SandboxTest::TearDown();
    }
    // getFctData over a copy of `style`; the records it produced.
    Records factory(const std::string& style, bool showWdr = true) {
        std::vector<char> text(style.begin(), style.end());
        text.push_back('\0');
        count = 12345;
        result = getFctData(1, text.data(), array, &count, showWdr);
        Records out;
        for (u32 i = 0; i < count && i < kCapacity; ++i) {
            out.push_back(Record{array[i].key, array[i].value});
        }
        return out;
    }

    KeyVal array[kCapacity + 10];
    u32 count = 0;
    int result = -1;
};

TEST_F(FactoryTest, RecordsFollowDocumentOrder) {
    iasim::setDynamicCmds(0, {});
    EXPECT_EQ((Records{{34, 50}, {2337, 45}, {2353, 55}}),
              factory("<s><t key=\"a\"><p id=\"34\" value=\"50\" enable_list=\"\"/></t>"
                      "<t key=\"b\"><g><p id=\"2337\" value=\"45\"/></g><p id=\"2353\" "
                      "value=\"55\"/></t></s>"));
    EXPECT_EQ(0, result);
    EXPECT_EQ(3u, count);
    EXPECT_EQ(kSentinelKey, array[3].key);
}

TEST_F(FactoryTest, NestedParameterFollowsItsParent) {
    iasim::setDynamicCmds(0, {});
    EXPECT_EQ((Records{{1, 1}, {2, 2}, {3, 3}, {4, 4}}),
              factory("<s><p id=\"1\" value=\"1\"><p id=\"2\" value=\"2\"><p id=\"3\" value=\"3\"/>"
                      "</p></p><p id=\"4\" value=\"4\"/></s>"));
}

TEST_F(FactoryTest, OnlyElementsWithIdAndValueGiveRecords) {
    iasim::setDynamicCmds(0, {});
    EXPECT_EQ((Records{{7, 70}, {8, 80}}),
              factory("<s><t key=\"k\" value=\"3\"><p id=\"6\"><p id=\"7\" value=\"70\"/>"
                      "<item index=\"1\"/></p><p value=\"9\"/><p id=\"8\" value=\"80\"/></t></s>"));
}

TEST_F(FactoryTest, ValuesAreReadAsDecimalNumbers) {
    iasim::setDynamicCmds(0, {});
    EXPECT_EQ((Records{{34, 0}, {35, -20}, {36, 12}, {0, 5}, {37, 0}}),
              factory("<s><p id=\"34\" value=\"high\"/><p id=\"35\" value=\"-20\"/>"
                      "<p id=\"36\" value=\" 12mm\"/><p id=\"x\" value=\"5\"/><p id=\"37\" "
                      "value=\"\"/></s>"));
}

TEST_F(FactoryTest, DuplicateIdsAreNotMerged) {
    iasim::setDynamicCmds(0, {});
    EXPECT_EQ((Records{{34, 1}, {34, 2}}),
              factory("<s><p id=\"34\" value=\"1\"/><p id=\"34\" value=\"2\"/></s>"));
}

TEST_F(FactoryTest, ValuesComeFromTheDynamicStyle) {
    // Default sensor profile: 49 keeps the processor's default 6; 50 keeps its listed style
    // value 8; 82 takes the processor's default 5.
    EXPECT_EQ((Records{{49, 6}, {50, 8}, {82, 5}, {34, 50}}),
              factory("<s><c id=\"49\" value=\"100\"><i index=\"6\"/></c>"
                      "<c id=\"50\" value=\"8\"><i index=\"8\"/></c>"
                      "<c id=\"82\" value=\"0\"/><p id=\"34\" value=\"50\"/></s>"));
}

TEST_F(FactoryTest, PlaceholdersGiveRecordsOnlyWhenTheirFunctionIsHidden) {
    iasim::setDynamicCmds(0, {});
    const std::string style = "<s><p id=\"10\" value=\"0\"/><p id=\"11\" value=\"0\"/></s>";
    EXPECT_EQ((Records{}), factory(style, true));
    EXPECT_EQ((Records{{10, 0}}), factory(style, false));
    setshowBeawayFalg(false);
    EXPECT_EQ((Records{{10, 0}, {11, 0}}), factory(style, false));
    EXPECT_EQ((Records{{11, 0}}), factory(style, true));
}

TEST_F(FactoryTest, TextWithoutElementsGivesNoRecords) {
    StdoutCapture capture;
    EXPECT_EQ((Records{}), factory("not xml"));
    const std::string out = capture.stop();
    EXPECT_EQ(0, result);
    EXPECT_EQ(0u, count);
    EXPECT_NE(std::string::npos, out.find("objStyleXmlDoc.LoadMem(szStyle, TIXML_ENCODING_UTF8)"));
    EXPECT_NE(std::string::npos,
              out.find("objDnaStyleDoc.LoadMem(strDnaStyle.c_str(), TIXML_ENCODING_UTF8)"));
    EXPECT_EQ(kSentinelKey, array[0].key);
}

TEST_F(FactoryTest, UnparsableStyleIsWalkedAsFarAsItParsed) {
    iasim::setDynamicCmds(0, {});
    StdoutCapture capture;
    EXPECT_EQ((Records{{1, 1}}), factory("<s><p id=\"1\" value=\"1\"><p id=\"2\""));
    EXPECT_NE(std::string::npos,
              capture.stop().find("objStyleXmlDoc.LoadMem(szStyle, TIXML_ENCODING_UTF8)"));
}

TEST_F(FactoryTest, WalkStopsAtTheArraysRoom) {
    iasim::setDynamicCmds(0, {});
    std::string style = "<s>";
    for (int i = 101; i <= 275; ++i) {
        style += "<p id=\"" + std::to_string(i) + "\" value=\"" + std::to_string(i) + "\"/>";
    }
    StdoutCapture capture;
    const Records records = factory(style + "</s>");
    EXPECT_NE(std::string::npos, capture.stop().find("*p_pnCount <= 160   ~~~Assertion failed.\n"));
    EXPECT_EQ(kCapacity, count);
    ASSERT_EQ(kCapacity, records.size());
    EXPECT_EQ((Record{260, 260}), records.back());
    for (u32 i = kCapacity; i < kCapacity + 10; ++i) {
        EXPECT_EQ(kSentinelKey, array[i].key);
    }
}

TEST_F(FactoryTest, ExactlyFullArrayIsNotReported) {
    iasim::setDynamicCmds(0, {});
    std::string style = "<s>";
    for (int i = 101; i <= 260; ++i) {
        style += "<p id=\"" + std::to_string(i) + "\" value=\"0\"/>";
    }
    StdoutCapture capture;
    factory(style + "</s>");
    EXPECT_EQ(std::string::npos, capture.stop().find("Assertion failed"));
    EXPECT_EQ(kCapacity, count);
}

TEST_F(FactoryTest, Style2KeyValAppendsAtTheRunningCount) {
    TiXmlDocument doc;
    doc.Parse("<s><p id=\"3\" value=\"30\"/></s>");
    u32 n = 2;
    EXPECT_EQ(0, style2KeyVal(doc.RootElement(), array, &n));
    EXPECT_EQ(3u, n);
    EXPECT_EQ(3u, array[2].key);
    EXPECT_EQ(30, array[2].value);
    EXPECT_EQ(kSentinelKey, array[0].key);
    EXPECT_EQ(0, style2KeyVal(nullptr, array, &n));
    EXPECT_EQ(3u, n);
}

TEST_F(FactoryTest, TextEndingInsideUtf8SequenceParsesWithinItsBlock) {
    // The style ends with the lead byte of a three-byte sequence; the parser must not read
    // past the caller's block (checked under valgrind and ASan).
    char* text = static_cast<char*>(malloc(6));
    memcpy(text, "<a>x\xE2", 6);
    count = 9;
    EXPECT_EQ(0, getFctData(1, text, array, &count, true));
    EXPECT_EQ(0u, count);
    free(text);
}

}  // namespace
