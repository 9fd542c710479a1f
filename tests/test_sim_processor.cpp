// The simulated image processor: what ia_ioctrl_v2 answers, what it stores and what it logs.
#include <string.h>

#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "IaSim.h"

namespace {

int call(int channel, int cmd, int opt, void* data) {
    return ia_ioctrl_v2(channel, static_cast<ia_cmd_e>(cmd), static_cast<ia_cmd_opt_e>(opt), data);
}

int getInt(int channel, int cmd) {
    int v = -12345;
    EXPECT_EQ(0, call(channel, cmd, IA_CMD_OPT_GET, &v)) << cmd;
    return v;
}

std::vector<std::string> logLines() {
    std::vector<std::string> lines;
    for (const iasim::Call& c : iasim::callLog()) {
        lines.push_back(iasim::formatCall(c));
    }
    return lines;
}

class SimProcessorTest : public ::testing::Test {
protected:
    void SetUp() override { iasim::reset(); }
    void TearDown() override { iasim::reset(); }
};

TEST_F(SimProcessorTest, ValuesStartAtTheProfileAndAreKeptPerChannel) {
    const int defaults[][2] = {{34, 50}, {2337, 50}, {2353, 50},  {2321, 50}, {49, 6},
                               {50, 6},  {82, 5},    {1537, 100}, {153, 0},   {2368, 0}};
    for (const auto& d : defaults) {
        EXPECT_EQ(d[1], getInt(7, d[0])) << d[0];
    }
    int v = 77;
    EXPECT_EQ(0, call(1, 34, IA_CMD_OPT_SET, &v));
    iasim::setDNState(1, 1);
    EXPECT_EQ(77, getInt(1, 34));
    EXPECT_EQ(1, getInt(1, 153));
    EXPECT_EQ(50, getInt(0, 34));
    EXPECT_EQ(0, getInt(0, 153));
    iasim::reset();
    EXPECT_EQ(50, iasim::getValue(1, 34));
}

TEST_F(SimProcessorTest, DefaultProfileListsFourCommandsWithDiscreteRanges) {
    ia_dynamic_cmds_st list;
    ASSERT_EQ(0, call(5, 4112, IA_CMD_OPT_GET, &list));
    EXPECT_EQ((std::vector<int>{4, 49, 50, 82, 1537, 0}),
              std::vector<int>(&list.cmd_cnt, &list.cmd_list[5]));
    // cmd, default, item count, first item, last item
    const int ranges[][5] = {{49, 6, 18, 1, 18}, {50, 6, 18, 1, 18}, {82, 5, 11, 0, 10}};
    for (const auto& r : ranges) {
        ia_dynamic_params_attr_st a;
        ASSERT_EQ(0, call(5, r[0], IA_CMD_OPT_GET_PARAM_RNAGE, &a));
        EXPECT_EQ((std::vector<int>{0, r[1], r[3], r[4], r[2]}),
                  std::vector<int>(&a.param_type, &a.item[0]));
        for (int i = 0; i < r[2]; ++i) {
            EXPECT_EQ(r[3] + i, a.item[i]) << r[0];
        }
    }
    ia_dynamic_params_attr_st a;
    ASSERT_EQ(0, call(5, 1537, IA_CMD_OPT_GET_PARAM_RNAGE, &a));
    EXPECT_EQ((std::vector<int>{0, 100, 10, 600, 7, 10, 30, 50, 100, 150, 300, 600}),
              std::vector<int>(&a.param_type, &a.item[7]));
    memset(&a, 0x5a, sizeof(a));
    EXPECT_EQ(-1, call(5, 34, IA_CMD_OPT_GET_PARAM_RNAGE, &a));
    EXPECT_EQ(0x5a5a5a5a, a.def_val);
}

TEST_F(SimProcessorTest, CorrectionPicksTheNearestAcceptedValue) {
    ia_dynamic_params_attr_st cont = {1, 0, -10, 10, 0, {0}};
    iasim::setRange(0, 701, cont);
    iasim::setDiscreteRange(0, 702, 0, {});
    iasim::setDiscreteRange(0, 703, 0, {50, 10, 30});
    // clang-format off
    const int cases[][3] = {
        // cmd, in, out
        {49, 0, 1}, {49, 25, 18}, {49, 7, 7},                   // below, above, accepted
        {1537, 90, 100}, {1537, 160, 150},                      // between
        {1537, 40, 30}, {1537, 75, 50}, {703, 40, 30},          // ties go to the lower item
        {703, 41, 50},                                          // unsorted items
        {1537, INT32_MIN, 10}, {1537, INT32_MAX, 600},          // extremes
        {701, -11, -10}, {701, 99, 10}, {701, 3, 3},            // continuous: clamped
        {702, 13, 13}, {34, 1234, 1234},                        // nothing to pick from
    };
    // clang-format on
    for (const auto& c : cases) {
        int v = c[1];
        EXPECT_EQ(0, call(0, c[0], IA_CMD_OPT_CORRECT_PARAM, &v)) << c[0];
        EXPECT_EQ(c[2], v) << c[0] << " from " << c[1];
    }
    EXPECT_EQ(6, iasim::getValue(0, 49));  // correcting stores nothing
}

TEST_F(SimProcessorTest, InjectedFailuresMatchCommandAndOptionAndChangeNothing) {
    const int cases[][5] = {
        // injected cmd, injected opt, called cmd, called opt, fails
        {49, 0, 49, 0, 1},  {49, 0, 49, 1, 0},  {49, -1, 49, 0, 1},
        {49, -1, 49, 3, 1}, {49, -1, 49, 4, 1}, {49, 0, 50, 0, 0},
    };
    for (const auto& c : cases) {
        iasim::reset();
        iasim::injectFailure(c[0], c[1], 7);
        int v = 12;
        EXPECT_EQ(c[4] ? 7 : 0, call(0, c[2], c[3], &v)) << c[0] << "/" << c[1];
        EXPECT_EQ(c[3] == 0 && !c[4] ? 12 : 6, iasim::getValue(0, c[2]));
    }
    iasim::reset();
    iasim::injectFailure(49, 1, 5);
    iasim::injectFailure(49, -1, 6);
    int v = 9;
    EXPECT_EQ(5, call(0, 49, IA_CMD_OPT_GET, &v));  // the exact option wins over "any"
    EXPECT_EQ(9, v);
    iasim::clearFailure(49, 1);
    EXPECT_EQ(6, call(0, 49, IA_CMD_OPT_GET, &v));
    iasim::clearFailures();
    EXPECT_EQ(6, getInt(0, 49));
    uint32_t thr[3] = {1, 2, 3};
    iasim::injectFailure(145, 0, 1);
    EXPECT_EQ(1, call(0, 145, IA_CMD_OPT_SET, thr));
    EXPECT_TRUE(iasim::getRecord(0, 145).empty());
    EXPECT_EQ("ch=0 cmd=145 opt=0 rec=[1,2,3] ret=1", logLines().back());
}

TEST_F(SimProcessorTest, RecordCommandsAreStoredWholePerCommand) {
    uint32_t thr[3] = {40, 20, 3}, thr2[3] = {41, 21, 4}, times[4] = {18, 30, 6, 45};
    EXPECT_EQ(0, call(0, 145, IA_CMD_OPT_SET, thr));
    EXPECT_EQ(0, call(0, 146, IA_CMD_OPT_SET, thr2));
    EXPECT_EQ(0, call(0, 152, IA_CMD_OPT_SET, times));
    EXPECT_EQ((std::vector<int32_t>{40, 20, 3}), iasim::getRecord(0, 145));
    EXPECT_EQ((std::vector<int32_t>{41, 21, 4}), iasim::getRecord(0, 146));
    EXPECT_EQ((std::vector<int32_t>{18, 30, 6, 45}), iasim::getRecord(0, 152));
    EXPECT_TRUE(iasim::getRecord(1, 145).empty());
    // A single-key read answers the command's own field and writes one int only.
    int read[2] = {-1, -7};
    EXPECT_EQ(0, call(0, 146, IA_CMD_OPT_GET, read));
    EXPECT_EQ((std::vector<int>{21, -7}), std::vector<int>(read, read + 2));

    ia_sensor_check_st check = {{1, 2, 30}, -9};
    EXPECT_EQ(0, call(2, 2816, IA_CMD_OPT_SET, &check));
    EXPECT_EQ(-9, check.result);
    check = {{4, 2, 6}, 0};
    EXPECT_EQ(0, call(2, 2816, IA_CMD_OPT_GET, &check));
    EXPECT_EQ(12, check.result);
    EXPECT_EQ((std::vector<int32_t>{4, 2, 6, 12}), iasim::getRecord(2, 2816));
}

TEST_F(SimProcessorTest, VersionTextFillsAtMostFiftyBytes) {
    // text length, bytes written (the terminator only when it fits)
    const size_t cases[][2] = {{0, 1}, {14, 15}, {49, 50}, {50, 50}, {80, 50}};
    for (const auto& c : cases) {
        std::string text(c[0], 'v');
        iasim::setVersionText(4, text);
        char buf[64];
        memset(buf, '#', sizeof(buf));
        ASSERT_EQ(0, call(4, 2496, IA_CMD_OPT_GET, buf));
        std::string expected = text.substr(0, 50) + (c[1] > c[0] ? std::string(1, '\0') : "");
        EXPECT_EQ(expected + std::string(64 - c[1], '#'), std::string(buf, 64)) << c[0];
    }
    char other[50] = {0};
    ASSERT_EQ(0, call(3, 2496, IA_CMD_OPT_GET, other));
    EXPECT_STREQ("SIM-ISP V1.0.0", other);
}

TEST_F(SimProcessorTest, RawListsAndExecStatusAreHandedOutAsSet) {
    ia_dynamic_cmds_st raw = {-3, {0}}, got;
    for (int count : {-3, 20}) {
        raw.cmd_cnt = count;
        iasim::setDynamicCmdsRaw(0, raw);
        ASSERT_EQ(0, call(0, 4112, IA_CMD_OPT_GET, &got));
        EXPECT_EQ(count, got.cmd_cnt);
    }
    iasim::setDynamicCmds(0, std::vector<int>(20, 7));
    ASSERT_EQ(0, call(0, 4112, IA_CMD_OPT_GET, &got));
    EXPECT_EQ(16, got.cmd_cnt);

    iasim::setExecStatus(1, 1539, 2);
    int v = -1;
    EXPECT_EQ(0, call(1, 1539, IA_CMD_OPT_GET_EXEC_STATUS, &v));
    EXPECT_EQ(2, v);
    EXPECT_EQ(0, call(0, 1539, IA_CMD_OPT_GET_EXEC_STATUS, &v));
    EXPECT_EQ(0, v);
}

TEST_F(SimProcessorTest, LogHoldsEveryCallInOrderUntilCleared) {
    int v = 60;
    call(1, 34, IA_CMD_OPT_SET, &v);
    v = 25;
    call(1, 49, IA_CMD_OPT_CORRECT_PARAM, &v);
    ia_dynamic_cmds_st list;
    call(1, 4112, IA_CMD_OPT_GET, &list);
    iasim::setDiscreteRange(1, 82, 2, {1, 2, 4});
    ia_dynamic_params_attr_st r;
    call(1, 82, IA_CMD_OPT_GET_PARAM_RNAGE, &r);
    call(8, 34, IA_CMD_OPT_SET, &v);
    call(0, 34, IA_CMD_OPT_SET, nullptr);
    call(0, 34, 5, &v);
    const std::vector<std::string> expected = {
        "ch=1 cmd=34 opt=0 val=60 ret=0",
        "ch=1 cmd=49 opt=3 val=18 ret=0",
        "ch=1 cmd=4112 opt=1 rec=[4,49,50,82,1537] ret=0",
        "ch=1 cmd=82 opt=2 rec=[0,2,1,4,3,1,2,4] ret=0",
        "ch=8 cmd=34 opt=0 val=0 ret=-1",
        "ch=0 cmd=34 opt=0 val=0 ret=-1",
        "ch=0 cmd=34 opt=5 val=0 ret=-1",
    };
    EXPECT_EQ(expected, logLines());
    EXPECT_EQ(50, iasim::getValue(0, 34));
    iasim::clearLog();
    EXPECT_TRUE(iasim::callLog().empty());
}

TEST_F(SimProcessorTest, ConcurrentCallersAreAllServedAndLogged) {
    const int kThreads = 4, kCalls = 500;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kCalls; ++i) {
                int v = i;
                call(t, 34, IA_CMD_OPT_SET, &v);
                if (i % 50 == 0) {
                    iasim::callLog();
                }
            }
        });
    }
    for (std::thread& th : threads) {
        th.join();
    }
    EXPECT_EQ(static_cast<size_t>(kThreads * kCalls), iasim::callLog().size());
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(kCalls - 1, iasim::getValue(t, 34));
    }
}

}  // namespace
