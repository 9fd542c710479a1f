// The simulated image processor (what ia_ioctrl_v2 answers, stores and logs) and the simulated
// video module, driven through the interfaces the library sees.
#include <string.h>

#include <algorithm>
#include <thread>

#include "IaSim.h"
#include "Sandbox.h"
#include "SimVideoModule.h"

namespace {
using Ints = std::vector<int>;

int call(int channel, int cmd, int opt, void* data) {
    return ia_ioctrl_v2(channel, static_cast<ia_cmd_e>(cmd), static_cast<ia_cmd_opt_e>(opt), data);
}

class SimProcessorTest : public SandboxTest {};

TEST_F(SimProcessorTest, AnswersAndRangesAreKeptPerChannelAndLoggedInOrderUntilCleared) {
    iasim::setDNState(1, 1);
    iasim::setExecStatus(1, 1539, 2);
    iasim::setDiscreteRange(1, 82, 2, {1, 2, 4});
    const int calls[][4] = {
        // channel, command, option, value handed in (the default profile on channels 0 and 5)
        {1, 34, 0, 60},  {1, 34, 1, 0},   {0, 34, 1, 0}, {1, 153, 1, 0}, {1, 1539, 4, 0},
        {1, 49, 3, 25},  {1, 4112, 1, 0}, {1, 82, 2, 0}, {5, 82, 2, 0},  {5, 49, 2, 0},
        {5, 1537, 2, 0}, {0, 34, 2, 0},   {8, 34, 0, 7},
    };
    for (const auto& c : calls) {
        int data[69] = {c[3]};  // room for the largest record
        call(c[0], c[1], c[2], data);
    }
    const std::vector<std::string> expected = {
        "ch=1 cmd=34 opt=0 val=60 ret=0",
        "ch=1 cmd=34 opt=1 val=60 ret=0",
        "ch=0 cmd=34 opt=1 val=50 ret=0",
        "ch=1 cmd=153 opt=1 val=1 ret=0",
        "ch=1 cmd=1539 opt=4 val=2 ret=0",
        "ch=1 cmd=49 opt=3 val=18 ret=0",
        "ch=1 cmd=4112 opt=1 rec=[4,49,50,82,1537] ret=0",
        "ch=1 cmd=82 opt=2 rec=[0,2,1,4,3,1,2,4] ret=0",
        "ch=5 cmd=82 opt=2 rec=[0,5,0,10,11,0,1,2,3,4,5,6,7,8,9,10] ret=0",
        "ch=5 cmd=49 opt=2 rec=[0,6,1,18,18,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18] ret=0",
        "ch=5 cmd=1537 opt=2 rec=[0,100,10,600,7,10,30,50,100,150,300,600] ret=0",
        "ch=0 cmd=34 opt=2 val=0 ret=-1",
        "ch=8 cmd=34 opt=0 val=0 ret=-1",
    };
    std::vector<std::string> lines;
    for (const iasim::Call& c : iasim::callLog()) {
        lines.push_back(iasim::formatCall(c));
    }
    EXPECT_EQ(expected, lines);
    iasim::clearLog();
    EXPECT_TRUE(iasim::callLog().empty());
}

TEST_F(SimProcessorTest, CallsOfAThreadInAnUnloggedScopeAreNotLoggedOthersAre) {
    int value = 60;
    {
        iasim::UnloggedScope quiet;
        call(0, 34, IA_CMD_OPT_SET, &value);
        std::thread([&] { call(0, 2337, IA_CMD_OPT_GET, &value); }).join();
    }
    call(0, 34, IA_CMD_OPT_GET, &value);
    std::vector<std::string> lines;
    for (const iasim::Call& c : iasim::callLog()) {
        lines.push_back(iasim::formatCall(c));
    }
    EXPECT_EQ((std::vector<std::string>{"ch=0 cmd=2337 opt=1 val=50 ret=0",
                                        "ch=0 cmd=34 opt=1 val=60 ret=0"}),
              lines);
}

TEST_F(SimProcessorTest, RawCommandListsAreHandedOutAsSet) {
    ia_dynamic_cmds_st raw = {-3, {0}}, list;
    for (int count : {-3, 20}) {
        raw.cmd_cnt = count;
        iasim::setDynamicCmdsRaw(0, raw);
        ASSERT_EQ(0, call(0, 4112, IA_CMD_OPT_GET, &list));
        EXPECT_EQ(count, list.cmd_cnt);
    }
}

TEST_F(SimProcessorTest, CorrectionPicksTheNearestAcceptedValue) {
    iasim::setRange(0, 701, {1, 0, -10, 10, 0, {0}});
    iasim::setDiscreteRange(0, 702, 0, {});
    iasim::setDiscreteRange(0, 703, 0, {50, 10, 30});
    // clang-format off
    const int cases[][3] = {  // cmd, in, out
        {49, 0, 1}, {49, 25, 18}, {49, 7, 7}, {1537, 90, 100}, {1537, 160, 150},  // below, above, between
        {1537, 40, 30}, {1537, 75, 50}, {703, 40, 30}, {703, 41, 50},  // ties go low; unsorted items
        {1537, INT32_MIN, 10}, {1537, INT32_MAX, 600}, {701, -11, -10}, {701, 99, 10}, {701, 3, 3},
        {702, 13, 13}, {34, 1234, 1234}};  // extremes; continuous: clamped; nothing to pick from
    // clang-format on
    for (const auto& c : cases) {
        int v = c[1];
        EXPECT_EQ(0, call(0, c[0], IA_CMD_OPT_CORRECT_PARAM, &v)) << c[0];
        EXPECT_EQ(c[2], v) << c[0] << " from " << c[1];
    }
    EXPECT_EQ(6, iasim::getValue(0, 49));  // correcting stores nothing
}

TEST_F(SimProcessorTest, InjectedFailuresMatchCommandAndOptionAndChangeNothing) {
    iasim::injectFailure(49, 0, 7);   // set only
    iasim::injectFailure(50, -1, 8);  // every option
    iasim::injectFailure(82, 1, 5);   // the exact option wins over "any"
    iasim::injectFailure(82, -1, 6);
    const int cases[][4] = {
        // cmd, option, result, value afterwards
        {49, 0, 7, 12}, {49, 1, 0, 6},  {50, 0, 8, 12}, {50, 3, 8, 12},
        {50, 4, 8, 12}, {82, 1, 5, 12}, {82, 0, 6, 12}, {34, 0, 0, 12},
    };
    for (const auto& c : cases) {
        int v = 12;
        EXPECT_EQ(c[2], call(0, c[0], c[1], &v)) << c[0] << "/" << c[1];
        EXPECT_EQ(c[3], v) << c[0] << "/" << c[1];
    }
    EXPECT_EQ(6, iasim::getValue(0, 49));  // the failed set stored nothing
    int v = 0;
    iasim::clearFailure(82, 1);
    EXPECT_EQ(6, call(0, 82, IA_CMD_OPT_GET, &v));
    iasim::clearFailures();
    EXPECT_EQ(0, call(0, 82, IA_CMD_OPT_GET, &v));
    uint32_t thr[3] = {1, 2, 3};
    iasim::injectFailure(145, 0, 1);
    EXPECT_EQ(1, call(0, 145, IA_CMD_OPT_SET, thr));
    EXPECT_TRUE(iasim::getRecord(0, 145).empty());
}

TEST_F(SimProcessorTest, RecordCommandsAreStoredWholePerCommand) {
    uint32_t thr[3] = {41, 21, 4}, times[4] = {18, 30, 6, 45};
    EXPECT_EQ(0, call(0, 146, IA_CMD_OPT_SET, thr));
    EXPECT_EQ(0, call(0, 152, IA_CMD_OPT_SET, times));
    EXPECT_EQ((std::vector<int32_t>{41, 21, 4}), iasim::getRecord(0, 146));
    EXPECT_EQ((std::vector<int32_t>{18, 30, 6, 45}), iasim::getRecord(0, 152));
    EXPECT_TRUE(iasim::getRecord(1, 146).empty());
    // A single-key read answers the command's own field and writes one int only.
    int read[2] = {-1, -7};
    EXPECT_EQ(0, call(0, 146, IA_CMD_OPT_GET, read));
    EXPECT_EQ((Ints{21, -7}), Ints(read, read + 2));
    ia_sensor_check_st check = {{4, 2, 6}, 0};
    EXPECT_EQ(0, call(2, 2816, IA_CMD_OPT_GET, &check));
    EXPECT_EQ((std::vector<int32_t>{4, 2, 6, 12}), iasim::getRecord(2, 2816));
}

TEST_F(SimProcessorTest, VersionTextFillsAtMostFiftyBytes) {
    for (size_t length : {0, 14, 49, 50, 80}) {  // the terminator only when it fits
        iasim::setVersionText(4, std::string(length, 'v'));
        std::string buf(64, '#');
        ASSERT_EQ(0, call(4, 2496, IA_CMD_OPT_GET, &buf[0]));
        std::string expected(std::min<size_t>(length, 50), 'v');
        expected.resize(length < 50 ? length + 1 : 50, '\0');
        expected.resize(64, '#');
        EXPECT_EQ(expected, buf) << length;
    }
    char other[50] = {0};
    ASSERT_EQ(0, call(3, 2496, IA_CMD_OPT_GET, other));
    EXPECT_STREQ("SIM-ISP V1.0.0", other);
}

TEST(SimVideoModuleTest, ReadinessNotificationsAndStreams) {
    SimVideoModule sim;
    const VideoStreamModule& module = sim;
    auto busy = [&module] { return module.get2ARunRet() != 0; };
    busy();
    sim.setReadyAfter(2);  // restarts the count
    EXPECT_EQ((Ints{1, 1, 0, 0}), (Ints{busy(), busy(), busy(), busy()}));
    EXPECT_EQ(0, module.notifySensorParam(1, 2370, 0));
    sim.setNotifyResult(-5);
    EXPECT_EQ(-5, module.notifySensorParam(2, 2368, 1));
    Ints logged;
    for (const SimVideoModule::Notification& n : sim.notifications()) {
        logged.insert(logged.end(), {n.channel, n.key, n.value});
    }
    EXPECT_EQ((Ints{1, 2370, 0, 2, 2368, 1}), logged);
    sim.clearNotifications();
    EXPECT_TRUE(sim.notifications().empty());
    std::vector<AVStreamParam> out(3);
    AVStreamParam a;
    a.setFrameRate(25);
    sim.setStreams({a, AVStreamParam()});
    EXPECT_EQ(0, module.getStreamParams(out));
    ASSERT_EQ(2u, out.size());
    EXPECT_EQ(25, out[0].getFrameRate());
}

}  // namespace
