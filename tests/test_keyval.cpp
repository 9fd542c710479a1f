// The parameter text both ways, and the correction of stored values by the processor.
#include <climits>
#include <regex>
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

// clang-format off
INSTANTIATE_TEST_SUITE_P(Texts, ParseTest, ::testing::Values(
    ParseCase{"",                   {}},
    ParseCase{"(1,2)(3,4)",         {{1, 2}, {3, 4}}},
    ParseCase{"ab(1,2)  cd(3,4)ef", {{1, 2}, {3, 4}}},
    ParseCase{"(1,2)(",             {{1, 2}}},
    ParseCase{"(1,2)(3,4",          {{1, 2}}},
    ParseCase{"(5)",                {{5, 0}}},
    ParseCase{"(1,2)(5)",           {{1, 2}, {5, 2}}},
    ParseCase{"(a,b)",              {{0, 0}}},
    ParseCase{"(1,2)(x,9)",         {{1, 2}, {1, 2}}},
    ParseCase{"(1 ,2)",             {{1, 0}}},
    ParseCase{"( 1, -2)",           {{1, -2}}},
    ParseCase{"(-1,-2147483648)",   {{4294967295u, INT_MIN}}},
    ParseCase{"(4294967295,1)",     {{4294967295u, 1}}},
    ParseCase{"(1,2)))",            {{1, 2}}},
    // A ")" before the next "(" makes that group run to the end of the text.
    ParseCase{")(7,8)",             {{7, 8}, {7, 8}}}));
// clang-format on

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

// clang-format off
INSTANTIATE_TEST_SUITE_P(Records, FormatTest, ::testing::Values(
    FormatCase{"",      {{1, 2}, {3, 4}},               "(1,2)(3,4)"},
    FormatCase{"keep",  {},                             "keep"},
    FormatCase{"(9,9)", {{8000, -1}},                   "(9,9)(8000,-1)"},
    FormatCase{"",      {{4294967295u, -1}},            "(-1,-1)"},
    FormatCase{"",      {{0x80000000u, INT_MIN}},       "(-2147483648,-2147483648)"}));
// clang-format on

// ---- correction ----

const std::string kRed = "\x1b[0m\x1b[31m";
const std::string kReset = "\x1b[0m";

std::string checkBlocks(const std::string& condition) {
    return kRed + "[sensor assert] file:SensorKeyVal.cpp fun:keyval_correct line:N\n" + condition +
           "   ~~~Assertion failed.\n" + kReset + kRed + kReset;
}

class KeyValCorrectTest : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        iasim::setDiscreteRange(0, 49, 18, {6, 12, 18});
        iasim::setDiscreteRange(0, 50, 1, {1, 2});
    }

    // Console output of correcting `count` records on channel 0, source lines written "line:N".
    std::string correct(KeyVal* records, u32 count) {
        StdoutCapture capture;
        EXPECT_EQ(keyval_correct(0, records, count), 0);
        return std::regex_replace(capture.stop(), std::regex("line:[0-9]+"), "line:N");
    }
    std::string correct(std::vector<KeyVal>& records) {
        return correct(records.data(), static_cast<u32>(records.size()));
    }

    std::vector<int> correctedCmds() {
        std::vector<int> out;
        for (const iasim::Call& call : iasim::callLog()) {
            if (call.opt == IA_CMD_OPT_CORRECT_PARAM) {
                out.push_back(call.cmd);
            }
        }
        return out;
    }
};

TEST_F(KeyValCorrectTest, ListedKeysTakeTheNearestValueWithBeforeAndAfterLines) {
    sandbox->setDebugSwitch("6");
    iasim::setDynamicCmds(0, {49});
    std::vector<KeyVal> records = {{8000, 0}, {49, 25}, {50, 25}};
    const std::string head =
        "\x1b[0m\x1b[0m[sensor dbg] file:SensorKeyVal.cpp fun:keyval_correct line:N\n";
    EXPECT_EQ(correct(records), head + "before correct: (49,25)\n" + kReset + head +
                                    "after correct: (49,18)\n" + kReset);
    EXPECT_EQ(records, (std::vector<KeyVal>{{8000, 0}, {49, 18}, {50, 25}}));
}

TEST_F(KeyValCorrectTest, ListCountIsBoundedToTheSixteenEntries) {
    // list count -> correction requests
    const std::vector<std::pair<int, size_t>> cases = {{0, 0}, {-3, 0}, {2, 2}, {40, 16}};
    for (const auto& c : cases) {
        ia_dynamic_cmds_st list = {};
        list.cmd_cnt = c.first;
        for (int& cmd : list.cmd_list) {
            cmd = 49;
        }
        iasim::setDynamicCmdsRaw(0, list);
        iasim::clearLog();
        std::vector<KeyVal> records = {{49, 25}};
        correct(records);
        EXPECT_EQ(correctedCmds().size(), c.second) << c.first;
        EXPECT_EQ(records[0].value, c.second ? 18 : 25) << c.first;
    }
}

TEST_F(KeyValCorrectTest, KeyListedTwiceIsCorrectedTwiceOnItsFirstRecord) {
    iasim::setDynamicCmds(0, {49, 49});
    std::vector<KeyVal> records = {{49, 25}, {49, 25}};
    correct(records);
    EXPECT_EQ(correctedCmds(), (std::vector<int>{49, 49}));
    EXPECT_EQ(records, (std::vector<KeyVal>{{49, 18}, {49, 25}}));
}

TEST_F(KeyValCorrectTest, FailuresAreReportedAndTheNextKeysStillCorrected) {
    iasim::setDynamicCmds(0, {77, 49, 50});
    iasim::injectFailure(49, IA_CMD_OPT_CORRECT_PARAM, -1);
    std::vector<KeyVal> records = {{49, 25}, {50, 9}};
    EXPECT_EQ(correct(records),
              checkBlocks("-1 != index") +
                  checkBlocks("OVS_SUCCESS == ia_ioctrl_v2(p_nChannel_id, "
                              "(ia_cmd_e)p_pKeyval[index].key, IA_CMD_OPT_CORRECT_PARAM, "
                              "&p_pKeyval[index].value)"));
    EXPECT_EQ(correctedCmds(), (std::vector<int>{49, 50}));
    EXPECT_EQ(records, (std::vector<KeyVal>{{49, 25}, {50, 2}}));
}

TEST_F(KeyValCorrectTest, FailedListRequestCorrectsNothing) {
    iasim::setDynamicCmds(0, {49});
    iasim::injectFailure(IA_CMD_DYNAMIC_PARAMS_CMDS_GET, IA_CMD_OPT_GET, -1);
    std::vector<KeyVal> records = {{49, 25}};
    EXPECT_EQ(correct(records),
              checkBlocks("OVS_SUCCESS == ia_ioctrl_v2(p_nChannel_id, "
                          "IA_CMD_DYNAMIC_PARAMS_CMDS_GET, IA_CMD_OPT_GET, (void*)(&dnaCmdList))"));
    EXPECT_TRUE(correctedCmds().empty());
}

TEST_F(KeyValCorrectTest, NullArrayIsReportedAndNothingAsked) {
    iasim::clearLog();
    EXPECT_EQ(correct(nullptr, 3), checkBlocks("NULL != p_pKeyval"));
    EXPECT_TRUE(iasim::callLog().empty());
}

}  // namespace
