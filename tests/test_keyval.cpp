// The parameter text both ways, and the correction of stored values by the processor.
#include <algorithm>
#include <climits>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "IaSim.h"
#include "Sandbox.h"
#include "SensorKeyVal.h"

static bool operator==(const KeyVal& a, const KeyVal& b) {
    return a.key == b.key && a.value == b.value;
}

namespace {

using Records = std::vector<KeyVal>;

TEST(KeyValTextTest, GroupsToRecords) {
    // clang-format off
    const std::pair<std::string, Records> rows[] = {
        {"",                   {}},
        {"ab(1,2)  cd(3,4)ef", {{1, 2}, {3, 4}}},
        {"(1,2)(3,4",          {{1, 2}}},
        {"(5)",                {{5, 0}}},
        {"(1,2)(5)",           {{1, 2}, {5, 2}}},    // the value carries over
        {"(1,2)(x,9)",         {{1, 2}, {1, 2}}},    // both carry over
        {"(1 ,2)",             {{1, 0}}},
        {"(-1,-2147483648)",   {{4294967295u, INT_MIN}}},
        {"(1,2)))",            {{1, 2}}},
        {")(7,8)",             {{7, 8}, {7, 8}}},    // a ")" first: the group runs to the end
    };
    // clang-format on
    for (const auto& [text, records] : rows) {
        // Room for one record per ")" plus a guard that must stay untouched.
        Records out(std::count(text.begin(), text.end(), ')') + 1, KeyVal{9, -7});
        u32 count = 12345;
        keyval_str2st(text, out.data(), &count);
        EXPECT_EQ(out.back(), (KeyVal{9, -7})) << text;
        EXPECT_EQ(Records(out.begin(), out.begin() + std::min<size_t>(count, out.size())), records)
            << text;
    }
}

TEST(KeyValTextTest, RecordsToGroupsAppendWithKeysPrintedSigned) {
    std::string text = "(9,9)";
    Records records = {{8000, -1}, {4294967295u, 5}, {0x80000000u, INT_MIN}};
    keyval_st2str(text, records.data(), 3);
    EXPECT_EQ(text, "(9,9)(8000,-1)(-1,5)(-2147483648,-2147483648)");
}

std::string checkBlocks(const std::string& condition) {
    return "\x1b[0m\x1b[31m[sensor assert] file:SensorKeyVal.cpp fun:keyval_correct line:N\n" +
           condition + "   ~~~Assertion failed.\n\x1b[0m\x1b[0m\x1b[31m\x1b[0m";
}

class KeyValCorrectTest : public SandboxTest {
protected:
    // Console output of correcting `count` records on channel 0, source lines written "line:N".
    std::string correct(KeyVal* records, u32 count) {
        iasim::setDiscreteRange(0, 49, 18, {6, 12, 18});
        iasim::setDiscreteRange(0, 50, 1, {1, 2});
        iasim::clearLog();
        StdoutCapture capture;
        EXPECT_EQ(keyval_correct(0, records, count), 0);
        return std::regex_replace(capture.stop(), std::regex("line:[0-9]+"), "line:N");
    }
};

TEST_F(KeyValCorrectTest, EachListedEntryCorrectsTheFirstRecordOfItsKey) {
    // Level 6, 77 unrecorded, 49 failing: both reported, 50 still corrected, all traced.
    auto dbg = [](const std::string& line) {
        return "\x1b[0m\x1b[0m[sensor dbg] file:SensorKeyVal.cpp fun:keyval_correct line:N\n" +
               line + "\n\x1b[0m";
    };
    const std::string reports =
        checkBlocks("-1 != index") + dbg("before correct: (49,25)") +
        checkBlocks(
            "OVS_SUCCESS == ia_ioctrl_v2(p_nChannel_id, (ia_cmd_e)p_pKeyval[index].key, "
            "IA_CMD_OPT_CORRECT_PARAM, &p_pKeyval[index].value)") +
        dbg("after correct: (49,25)") + dbg("before correct: (50,9)") +
        dbg("after correct: (50,2)");
    // Listed count and entries (the rest are 49), requests, first 49 and 50 after, console.
    const std::tuple<int, std::vector<int>, size_t, int, int, std::string> rows[] = {
        // clang-format off
        {0,  {},           0,  25, 9, ""},
        {-3, {},           0,  25, 9, ""},
        {2,  {},           2,  18, 9, ""},  // a key listed twice is corrected twice
        {40, {},           16, 18, 9, ""},
        {3,  {77, 49, 50}, 2,  25, 2, reports},
        // clang-format on
    };
    for (const auto& [count, cmds, requests, first49, key50, console] : rows) {
        ia_dynamic_cmds_st list = {};
        list.cmd_cnt = count;
        for (size_t i = 0; i < 16; ++i) {
            list.cmd_list[i] = i < cmds.size() ? cmds[i] : 49;
        }
        iasim::setDynamicCmdsRaw(0, list);
        if (!cmds.empty()) {
            iasim::injectFailure(49, IA_CMD_OPT_CORRECT_PARAM, -1);
            sandbox->setDebugSwitch("6");
        }
        Records records = {{49, 25}, {49, 25}, {50, 9}};
        EXPECT_EQ(correct(records.data(), 3), console) << count;
        EXPECT_EQ(iasim::callLog().size(), requests + 1) << count;  // the list, the corrections
        EXPECT_EQ(records, (Records{{49, first49}, {49, 25}, {50, key50}})) << count;
    }
}

TEST_F(KeyValCorrectTest, NullArrayIsReportedAndNothingAsked) {
    EXPECT_EQ(correct(nullptr, 3), checkBlocks("NULL != p_pKeyval"));
    EXPECT_TRUE(iasim::callLog().empty());
}

}  // namespace
