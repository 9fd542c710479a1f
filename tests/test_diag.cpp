// Debug level switch, trace statements and the assertion check: console bytes, error-log
// records and the abort.
//
// The statements are internal to the library, so this suite compiles the trace unit in to
// drive every kind directly; the copy keeps its state under its own names, and the
// library's exported updateDebugLevel and globals are tested through their export.
#define g_nDebugLevel unitCopy_g_nDebugLevel
#define g_bEnAssert unitCopy_g_bEnAssert
#define updateDebugLevel unitCopy_updateDebugLevel
#include "../sensor/diag/SensorTrace.cpp"
#undef g_nDebugLevel
#undef g_bEnAssert
#undef updateDebugLevel

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <regex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "Sandbox.h"
#include "SensorFile.h"

extern int g_nDebugLevel;
extern bool g_bEnAssert;
void updateDebugLevel();

namespace {

const char kLogPath[] = "/mnt/mtd/log/SensorError.log";
const std::string kRed = "\x1b[0m\x1b[31m";
const std::string kReset = "\x1b[0m";
const std::string kAssertHeader = "[sensor assert] file:SensorFile.cpp fun:getFileLen line:42\n";

struct ChildRun {
    bool aborted;
    std::string out;
    std::string err;
};

class DiagTest : public SandboxTest {
protected:
    // The error log without its time stamps.
    std::string logText() {
        return std::regex_replace(sandbox->readFile(kLogPath),
                                  std::regex("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d "), "");
    }

    std::string trace(SensorTraceKind kind, int color, const char* msg) {
        StdoutCapture capture;
        sensorTrace(kind, color, "ISensorController.cpp", "setParameters", 321, "%s", msg);
        return capture.stop();
    }

    std::string failCheck(const char* condition, const char* message) {
        StdoutCapture capture;
        sensorAssertFailed(condition, "SensorFile.cpp", "getFileLen",
                           "INT64 getFileLen(const char*)", 42, "%s", message);
        return capture.stop();
    }

    // Runs `body` in a forked child with fd 1 and fd 2 captured.
    ChildRun runInChild(const std::function<void()>& body) {
        std::string outPath = sandbox->root() + "/child.out";
        std::string errPath = sandbox->root() + "/child.err";
        std::fflush(stdout);
        std::fflush(stderr);
        pid_t pid = ::fork();
        if (pid == 0) {
            ::dup2(::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
            ::dup2(::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
            body();
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return {WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT, readHostFile(outPath),
                readHostFile(errPath)};
    }
};

// ---- the switch file ----

struct SwitchCase {
    const char* content;  // nullptr: no switch file
    int level;
    bool enAssert;
};

class SwitchFileTest : public DiagTest, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(SwitchFileTest, RefreshReadsLevelAndAssertionSwitch) {
    g_nDebugLevel = 99;
    g_bEnAssert = !GetParam().enAssert;
    if (GetParam().content != nullptr) {
        sandbox->setDebugSwitch(GetParam().content);
    }
    updateDebugLevel();
    EXPECT_EQ(g_nDebugLevel, GetParam().level);
    EXPECT_EQ(g_bEnAssert, GetParam().enAssert);
}

INSTANTIATE_TEST_SUITE_P(Contents, SwitchFileTest,
                         ::testing::Values(SwitchCase{nullptr, 1, false}, SwitchCase{"6", 6, false},
                                           SwitchCase{"7\n1\n", 7, true},
                                           SwitchCase{"\n1", 1, true},
                                           SwitchCase{"letters\n", 0, false},
                                           SwitchCase{"-1\n1", -1, true},
                                           SwitchCase{"5\nno", 5, false}));

TEST_F(DiagTest, ConcurrentRefreshesAgree) {
    sandbox->setDebugSwitch("6\n1\n");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 50; ++i) {
                updateDebugLevel();
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    EXPECT_EQ(g_nDebugLevel, 6);
    EXPECT_TRUE(g_bEnAssert);
}

// ---- trace kinds ----

struct TraceCase {
    SensorTraceKind kind;
    int color;
    const char* level;     // switch file content
    const char* expected;  // console bytes; "" when silent
};

class TraceKindTest : public DiagTest, public ::testing::WithParamInterface<TraceCase> {};

TEST_P(TraceKindTest, PrintsItsBlockExactlyAboveItsThreshold) {
    sandbox->setDebugSwitch(GetParam().level);
    EXPECT_EQ(trace(GetParam().kind, GetParam().color, "v(5)\n"), GetParam().expected);
}

#define HEAD(colour, tag) \
    "\x1b[0m\x1b[" colour "m" tag " file:ISensorController.cpp fun:setParameters line:321\n"
// clang-format off
INSTANTIATE_TEST_SUITE_P(Kinds, TraceKindTest, ::testing::Values(
    TraceCase{kTraceDbg,   kColorNone,    "6",  HEAD("0", "[sensor dbg]") "v(5)\n\x1b[0m"},
    TraceCase{kTraceDbg,   kColorWhite,   "6",  HEAD("37", "[sensor dbg]") "v(5)\n\x1b[0m"},
    TraceCase{kTraceDbg,   kColorNone,    "5",  ""},
    TraceCase{kTraceInfo,  kColorMagenta, "7",  HEAD("35", "[sensor info]") "v(5)\n\x1b[0m"},
    TraceCase{kTraceInfo,  kColorNone,    "6",  ""},
    TraceCase{kTraceWarn,  kColorNone,    "4",  HEAD("0", "[sensor warn]") "v(5)\n\x1b[0m"},
    TraceCase{kTraceWarn,  kColorNone,    "3",  ""},
    TraceCase{kTraceErr,   kColorNone,    "6",  HEAD("0", "[sensor err]") "v(5)\n\x1b[0m"},
    TraceCase{kTraceErr,   kColorNone,    "5",  ""},
    TraceCase{kTracePlain, kColorGreen,   "6",  "\x1b[0m\x1b[32mv(5)\n\x1b[0m"},
    TraceCase{kTracePlain, kColorNone,    "5",  ""},
    TraceCase{kTraceDbg,   kColorNone,    "-1", ""},
    TraceCase{kTraceWarn,  kColorNone,    "",   ""}));
// clang-format on
#undef HEAD

TEST_F(DiagTest, OnlyWarningsReachTheErrorLog) {
    sandbox->setDebugSwitch("7");
    for (SensorTraceKind kind : {kTraceDbg, kTraceInfo, kTraceErr, kTracePlain}) {
        trace(kind, kColorNone, "quiet\n");
    }
    EXPECT_FALSE(sandbox->exists(kLogPath));
    trace(kTraceWarn, kColorNone, "check the sensor version\n");
    EXPECT_EQ(logText(),
              "[sensor warn] file:ISensorController.cpp fun:setParameters line:321\n"
              "[sensor warn] check the sensor version\n");
}

// ---- the assertion check ----

TEST_F(DiagTest, FailedCheckPrintsTwoRedBlocksAndLogsThreeRecords) {
    EXPECT_EQ(failCheck("file.open(file_name)", "file_name(/a/b)"),
              kRed + kAssertHeader + "file.open(file_name)   ~~~Assertion failed.\n" + kReset +
                  kRed + "file_name(/a/b)" + kReset);
    EXPECT_EQ(logText(), kAssertHeader +
                             "[sensor assert] file.open(file_name)   ~~~Assertion failed.\n"
                             "[sensor assert] file_name(/a/b)\n");
}

TEST_F(DiagTest, EmptyMessagePrintsBareColoursAndLogsAnEmptyText) {
    EXPECT_EQ(
        failCheck("-1 != index", ""),
        kRed + kAssertHeader + "-1 != index   ~~~Assertion failed.\n" + kReset + kRed + kReset);
    EXPECT_EQ(logText(), kAssertHeader +
                             "[sensor assert] -1 != index   ~~~Assertion failed.\n"
                             "[sensor assert] \n");
}

TEST_F(DiagTest, FailedCheckPrintsAtLevelZeroButNotBelow) {
    sandbox->setDebugSwitch("letters\n");
    EXPECT_NE(failCheck("a", "m"), "");
    sandbox->remove(kLogPath);
    sandbox->setDebugSwitch("-1\n0\n");
    EXPECT_EQ(failCheck("a", "m"), "");
    EXPECT_FALSE(sandbox->exists(kLogPath));
}

TEST_F(DiagTest, LogTextsAreCutAt499BytesWhileTheConsoleKeepsThemWhole) {
    std::string condition(900, 'c');
    std::string message(700, 'm');
    std::string out = failCheck(condition.c_str(), message.c_str());
    EXPECT_NE(out.find(condition + "   ~~~Assertion failed.\n"), std::string::npos);
    EXPECT_NE(out.find(message + kReset), std::string::npos);
    EXPECT_EQ(logText(), kAssertHeader + "[sensor assert] " + condition.substr(0, 499) + "\n" +
                             "[sensor assert] " + message.substr(0, 499) + "\n");
}

TEST_F(DiagTest, LibraryCheckAbortsAfterItsReportWhenTheSwitchIsOn) {
    sandbox->setDebugSwitch("7\n1\n");
    ChildRun run = runInChild([] { getFileLen("/tmp/missing.xml"); });
    EXPECT_TRUE(run.aborted);
    EXPECT_TRUE(std::regex_match(
        run.out, std::regex("\x1b\\[0m\x1b\\[31m\\[sensor assert\\] file:SensorFile.cpp "
                            "fun:getFileLen line:[0-9]+\nfile.open\\(file_name\\)   "
                            "~~~Assertion failed.\n\x1b\\[0m\x1b\\[0m\x1b\\[31m"
                            "file_name\\(/tmp/missing.xml\\)\x1b\\[0m")))
        << run.out;
    EXPECT_TRUE(std::regex_search(
        run.err, std::regex("SensorFile.cpp:[0-9]+: INT64 getFileLen\\(const char\\*\\): "
                            "Assertion `bRet' failed.")))
        << run.err;
    std::string log = logText();
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3) << log;
}

TEST_F(DiagTest, SilencedCheckStillAbortsWhenTheSwitchIsOn) {
    sandbox->setDebugSwitch("-1\n1\n");
    ChildRun run = runInChild([this] { failCheck("x", ""); });
    EXPECT_TRUE(run.aborted);
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(sandbox->exists(kLogPath));
}

}  // namespace
