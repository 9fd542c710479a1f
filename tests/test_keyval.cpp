// The parameter text both ways, and the correction of stored values by the processor.
#include <climits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "IaSim.h"
#include "Sandbox.h"
#include "SensorKeyVal.h"

// Found by argument lookup, so they live beside KeyVal in the global namespace.
static bool operator==(const KeyVal& a, const KeyVal& b) {
    return a.key == b.key && a.value == b.value;
}

static std::ostream& operator<<(std::ostream& out, const KeyVal& kv) {
    return out << "{" << kv.key << "," << kv.value << "}";
}

namespace {

std::vector<KeyVal> parse(const std::string& text) {
    // One record per ")" at most, plus a guard record that must stay untouched.
    size_t room = 1;
    for (char c : text) {
        room += c == ')';
    }
    std::vector<KeyVal> out(room, KeyVal{0xdeadu, -7});
    u32 count = 12345;
    keyval_str2st(text, out.data(), &count);
    EXPECT_LT(count, room);
    EXPECT_EQ(out[room - 1], (KeyVal{0xdeadu, -7})) << "wrote past one record per ')'";
    out.resize(count < room ? count : room);
    return out;
}

// ---- text to records ----

struct ParseCase {
    const char* text;
    std::vector<KeyVal> records;
};

class ParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseTest, YieldsOneRecordPerGroup) {
    EXPECT_EQ(parse(GetParam().text), GetParam().records);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseTest,
    ::testing::Values(ParseCase{"", {}}, ParseCase{"(1,2)(3,4)", {{1, 2}, {3, 4}}},
                      ParseCase{"ab(1,2)  cd(3,4)ef", {{1, 2}, {3, 4}}},
                      ParseCase{"(1,2)(", {{1, 2}}}, ParseCase{"(1,2)(3,4", {{1, 2}}},
                      ParseCase{"(5)", {{5, 0}}}, ParseCase{"(1,2)(5)", {{1, 2}, {5, 2}}},
                      ParseCase{"(a,b)", {{0, 0}}}, ParseCase{"(1,2)(x,9)", {{1, 2}, {1, 2}}},
                      ParseCase{"(1 ,2)", {{1, 0}}}, ParseCase{"( 1, -2)", {{1, -2}}},
                      ParseCase{"(-1,-2147483648)", {{4294967295u, INT_MIN}}},
                      ParseCase{"(4294967295,1)", {{4294967295u, 1}}},
                      ParseCase{"(1,2)))", {{1, 2}}},
                      // A ")" before the next "(" makes that group run to the end of the text.
                      ParseCase{")(7,8)", {{7, 8}, {7, 8}}}));

TEST(KeyValText, NullOutputsAreRefusedWithoutWriting) {
    u32 count = 9;
    StdoutCapture capture;
    keyval_str2st("(1,2)", nullptr, &count);
    keyval_str2st("(1,2)", nullptr, nullptr);
    EXPECT_NE(capture.stop(), "");
    EXPECT_EQ(count, 0u);
}

// ---- records to text ----

struct FormatCase {
    std::string before;
    std::vector<KeyVal> records;
    std::string after;
};

class FormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatTest, AppendsOnePairPerRecord) {
    std::string text = GetParam().before;
    std::vector<KeyVal> records = GetParam().records;
    keyval_st2str(text, records.data(), static_cast<u32>(records.size()));
    EXPECT_EQ(text, GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Records, FormatTest,
    ::testing::Values(FormatCase{"", {{1, 2}, {3, 4}}, "(1,2)(3,4)"},
                      FormatCase{"keep", {}, "keep"},
                      FormatCase{"(9,9)", {{8000, -1}}, "(9,9)(8000,-1)"},
                      FormatCase{"", {{4294967295u, -1}}, "(-1,-1)"},
                      FormatCase{"", {{0x80000000u, INT_MIN}}, "(-2147483648,-2147483648)"}));

TEST(KeyValText, FormattingAParsedTextGivesItBack) {
    const std::string text = "(8000,0)(34,-50)(2147483647,-2147483648)";
    std::vector<KeyVal> records = parse(text);
    std::string back;
    keyval_st2str(back, records.data(), static_cast<u32>(records.size()));
    EXPECT_EQ(back, text);
}

// ---- correction ----

const std::string kRed = "\x1b[0m\x1b[31m";
const std::string kReset = "\x1b[0m";
const std::string kAssertHeaderStart =
    kRed + "[sensor assert] file:SensorKeyVal.cpp fun:keyval_correct line:";

class KeyValCorrectTest : public SandboxTest {
protected:
    std::vector<iasim::Call> corrections() {
        std::vector<iasim::Call> out;
        for (const iasim::Call& call : iasim::callLog()) {
            if (call.opt == IA_CMD_OPT_CORRECT_PARAM) {
                out.push_back(call);
            }
        }
        return out;
    }

    int correct(std::vector<KeyVal>& records, int channel = 0) {
        return keyval_correct(channel, records.data(), static_cast<u32>(records.size()));
    }
};

TEST_F(KeyValCorrectTest, ListedKeyTakesTheProcessorsNearestValue) {
    iasim::setDynamicCmds(0, {49});
    iasim::setDiscreteRange(0, 49, 18, {6, 12, 18});
    std::vector<KeyVal> records = {{8000, 0}, {49, 25}, {50, 25}};
    EXPECT_EQ(correct(records), 0);
    EXPECT_EQ(records, (std::vector<KeyVal>{{8000, 0}, {49, 18}, {50, 25}}));
}

TEST_F(KeyValCorrectTest, BeforeAndAfterLinesAtLevelSix) {
    sandbox->setDebugSwitch("6");
    iasim::setDynamicCmds(0, {49});
    iasim::setDiscreteRange(0, 49, 18, {6, 12, 18});
    std::vector<KeyVal> records = {{49, 25}};
    StdoutCapture capture;
    correct(records);
    std::string out = capture.stop();
    EXPECT_NE(out.find("[sensor dbg] file:SensorKeyVal.cpp fun:keyval_correct line:"),
              std::string::npos)
        << out;
    size_t before = out.find("\nbefore correct: (49,25)\n\x1b[0m");
    size_t after = out.find("\nafter correct: (49,18)\n\x1b[0m");
    EXPECT_NE(before, std::string::npos) << out;
    EXPECT_NE(after, std::string::npos) << out;
    EXPECT_LT(before, after);
}

TEST_F(KeyValCorrectTest, NoListedCommandChangesNothing) {
    for (int count : {0, -3}) {
        ia_dynamic_cmds_st list = {};
        list.cmd_cnt = count;
        list.cmd_list[0] = 49;
        iasim::setDynamicCmdsRaw(0, list);
        iasim::clearLog();
        std::vector<KeyVal> records = {{49, 25}};
        EXPECT_EQ(correct(records), 0);
        EXPECT_EQ(records[0].value, 25) << count;
        EXPECT_TRUE(corrections().empty()) << count;
        ASSERT_EQ(iasim::callLog().size(), 1u);
        EXPECT_EQ(iasim::callLog()[0].cmd, IA_CMD_DYNAMIC_PARAMS_CMDS_GET);
        EXPECT_EQ(iasim::callLog()[0].opt, IA_CMD_OPT_GET);
    }
}

TEST_F(KeyValCorrectTest, CountAboveTheListIsClampedToSixteen) {
    ia_dynamic_cmds_st list = {};
    list.cmd_cnt = 40;
    for (int& cmd : list.cmd_list) {
        cmd = 49;
    }
    iasim::setDynamicCmdsRaw(0, list);
    std::vector<KeyVal> records = {{49, 25}};
    correct(records);
    EXPECT_EQ(corrections().size(), 16u);
}

TEST_F(KeyValCorrectTest, KeyListedTwiceIsCorrectedTwiceOnItsFirstRecord) {
    iasim::setDynamicCmds(0, {49, 49});
    iasim::setDiscreteRange(0, 49, 18, {6, 12, 18});
    std::vector<KeyVal> records = {{49, 25}, {49, 25}};
    correct(records, 0);
    std::vector<iasim::Call> calls = corrections();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].cmd, 49);
    EXPECT_EQ(calls[1].cmd, 49);
    EXPECT_EQ(records[0].value, 18);
    EXPECT_EQ(records[1].value, 25);
}

TEST_F(KeyValCorrectTest, FailingCorrectionIsReportedAndTheNextKeyStillCorrected) {
    iasim::setDynamicCmds(1, {49, 50});
    iasim::setDiscreteRange(1, 50, 1, {1, 2});
    iasim::injectFailure(49, IA_CMD_OPT_CORRECT_PARAM, -1);
    std::vector<KeyVal> records = {{49, 25}, {50, 9}};
    StdoutCapture capture;
    EXPECT_EQ(correct(records, 1), 0);
    std::string out = capture.stop();
    EXPECT_NE(out.find("OVS_SUCCESS == ia_ioctrl_v2(p_nChannel_id, (ia_cmd_e)p_pKeyval[index].key, "
                       "IA_CMD_OPT_CORRECT_PARAM, &p_pKeyval[index].value)   ~~~Assertion "
                       "failed.\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(records[0].value, 25);
    EXPECT_EQ(records[1].value, 2);
    std::vector<iasim::Call> calls = corrections();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].channel, 1);
    EXPECT_EQ(calls[1].cmd, 50);
}

TEST_F(KeyValCorrectTest, ListedKeyWithoutARecordIsReportedAndSkipped) {
    iasim::setDynamicCmds(0, {77, 49});
    iasim::setDiscreteRange(0, 49, 18, {6, 12, 18});
    std::vector<KeyVal> records = {{49, 25}};
    StdoutCapture capture;
    correct(records);
    std::string out = capture.stop();
    EXPECT_NE(out.find("-1 != index   ~~~Assertion failed.\n" + kReset + kRed + kReset),
              std::string::npos)
        << out;
    ASSERT_EQ(corrections().size(), 1u);
    EXPECT_EQ(records[0].value, 18);
}

TEST_F(KeyValCorrectTest, FailedListRequestCorrectsNothing) {
    iasim::setDynamicCmds(0, {49});
    iasim::injectFailure(IA_CMD_DYNAMIC_PARAMS_CMDS_GET, IA_CMD_OPT_GET, -1);
    std::vector<KeyVal> records = {{49, 25}};
    StdoutCapture capture;
    EXPECT_EQ(correct(records), 0);
    EXPECT_NE(capture.stop().find("OVS_SUCCESS == ia_ioctrl_v2(p_nChannel_id, "
                                  "IA_CMD_DYNAMIC_PARAMS_CMDS_GET, IA_CMD_OPT_GET, "
                                  "(void*)(&dnaCmdList))   ~~~Assertion failed.\n"),
              std::string::npos);
    EXPECT_TRUE(corrections().empty());
    EXPECT_EQ(records[0].value, 25);
}

TEST_F(KeyValCorrectTest, NullArrayIsReportedAndNothingAsked) {
    StdoutCapture capture;
    EXPECT_EQ(keyval_correct(0, nullptr, 3), 0);
    std::string out = capture.stop();
    EXPECT_EQ(out.rfind(kAssertHeaderStart, 0), 0u) << out;
    EXPECT_NE(out.find("\nNULL != p_pKeyval   ~~~Assertion failed.\n"), std::string::npos);
    EXPECT_TRUE(iasim::callLog().empty());
}

}  // namespace
