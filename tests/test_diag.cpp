// Debug level switch, trace statements and the assertion check: console bytes, error-log
// records and the abort.
//
// The statements are internal to the library, so this suite compiles the trace unit in and
// drives every kind directly; the copy keeps its state under its own names, and the
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

#include <functional>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "SensorFile.h"
#include "Sandbox.h"

extern int g_nDebugLevel;
extern bool g_bEnAssert;
void updateDebugLevel();

namespace {

const char kLogPath[] = "/mnt/mtd/log/SensorError.log";
const std::string kRed = "\x1b[0m\x1b[31m";
const std::string kReset = "\x1b[0m";

bool isTimeStamp(const std::string& line) {
    static const char kPattern[] = "dddd-dd-dd dd:dd:dd ";
    if (line.size() < sizeof(kPattern) - 1) {
        return false;
    }
    for (size_t i = 0; i + 1 < sizeof(kPattern); ++i) {
        bool digit = line[i] >= '0' && line[i] <= '9';
        if (kPattern[i] == 'd' ? !digit : line[i] != kPattern[i]) {
            return false;
        }
    }
    return true;
}

// Records of the error log without their time stamps: "<tag> <text>" ending in a newline.
std::vector<std::string> logRecords(const Sandbox& sandbox) {
    std::vector<std::string> records;
    std::string content = sandbox.readFile(kLogPath);
    size_t pos = 0;
    while (pos < content.size()) {
        size_t end = content.find('\n', pos);
        end = end == std::string::npos ? content.size() : end + 1;
        std::string line = content.substr(pos, end - pos);
        if (isTimeStamp(line)) {
            records.push_back(line.substr(20));
        } else if (!records.empty()) {
            records.back() += line;
        }
        pos = end;
    }
    return records;
}

struct ChildRun {
    bool aborted;
    bool exitedCleanly;
    std::string out;
    std::string err;
};

// Runs `body` in a forked child with fd 1 and fd 2 captured.
ChildRun runInChild(const Sandbox& sandbox, const std::function<void()>& body) {
    std::string outPath = sandbox.root() + "/child.out";
    std::string errPath = sandbox.root() + "/child.err";
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t pid = ::fork();
    if (pid == 0) {
        int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(out, 1);
        ::dup2(err, 2);
        body();
        std::fflush(stdout);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ChildRun run;
    run.aborted = WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT;
    run.exitedCleanly = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    run.out = readHostFile(outPath);
    run.err = readHostFile(errPath);
    return run;
}

class DiagTest : public SandboxTest {
protected:
    // Output of one statement of the trace unit, with the switch file holding `level`.
    std::string traceOutput(SensorTraceKind kind, int color, const char* msg) {
        StdoutCapture capture;
        sensorTrace(kind, color, "ISensorController.cpp", "setParameters", 321, "%s", msg);
        return capture.stop();
    }

    std::string failCheck(const char* condition, const char* fmt, const char* arg) {
        StdoutCapture capture;
        sensorAssertFailed(condition, "SensorFile.cpp", "getFileLen",
                           "INT64 getFileLen(const char*)", 42, fmt, arg);
        return capture.stop();
    }
};

// ---- the switch file ----

struct SwitchCase {
    const char* content;  // nullptr: no switch file
    int level;
    bool enAssert;
};

class SwitchFileTest : public DiagTest, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(SwitchFileTest, ExportedRefreshReadsLevelAndAssertionSwitch) {
    const SwitchCase& c = GetParam();
    g_nDebugLevel = 99;
    g_bEnAssert = !c.enAssert;
    if (c.content != nullptr) {
        sandbox->setDebugSwitch(c.content);
    }
    updateDebugLevel();
    EXPECT_EQ(g_nDebugLevel, c.level);
    EXPECT_EQ(g_bEnAssert, c.enAssert);
}

INSTANTIATE_TEST_SUITE_P(
    Contents, SwitchFileTest,
    ::testing::Values(SwitchCase{nullptr, 1, false}, SwitchCase{"6", 6, false},
                      SwitchCase{"6\n", 6, false}, SwitchCase{"7\n1", 7, true},
                      SwitchCase{"7\n1\n", 7, true}, SwitchCase{"\n1", 1, true},
                      SwitchCase{"", 1, false}, SwitchCase{"letters\n", 0, false},
                      SwitchCase{"-1\n1", -1, true}, SwitchCase{"5\n0", 5, false},
                      SwitchCase{"5\nno", 5, false}, SwitchCase{"4\n2", 4, true}));

TEST_F(DiagTest, RemovingTheSwitchFileRestoresTheDefaults) {
    sandbox->setDebugSwitch("7\n1\n");
    updateDebugLevel();
    ASSERT_EQ(g_nDebugLevel, 7);
    ASSERT_TRUE(g_bEnAssert);
    sandbox->remove("/tmp/Debug.sign");
    updateDebugLevel();
    EXPECT_EQ(g_nDebugLevel, 1);
    EXPECT_FALSE(g_bEnAssert);
}

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
    const TraceCase& c = GetParam();
    sandbox->setDebugSwitch(c.level);
    EXPECT_EQ(traceOutput(c.kind, c.color, "value(5)\n"), c.expected);
}

#define HEADER(tag) tag " file:ISensorController.cpp fun:setParameters line:321\n"
INSTANTIATE_TEST_SUITE_P(
    Kinds, TraceKindTest,
    ::testing::Values(TraceCase{kTraceDbg, kColorNone, "6",
                                "\x1b[0m\x1b[0m" HEADER("[sensor dbg]") "value(5)\n\x1b[0m"},
                      TraceCase{kTraceDbg, kColorWhite, "6",
                                "\x1b[0m\x1b[37m" HEADER("[sensor dbg]") "value(5)\n\x1b[0m"},
                      TraceCase{kTraceDbg, kColorNone, "5", ""},
                      TraceCase{kTraceInfo, kColorMagenta, "7",
                                "\x1b[0m\x1b[35m" HEADER("[sensor info]") "value(5)\n\x1b[0m"},
                      TraceCase{kTraceInfo, kColorNone, "6", ""},
                      TraceCase{kTraceWarn, kColorNone, "4",
                                "\x1b[0m\x1b[0m" HEADER("[sensor warn]") "value(5)\n\x1b[0m"},
                      TraceCase{kTraceWarn, kColorNone, "3", ""},
                      TraceCase{kTraceErr, kColorNone, "6",
                                "\x1b[0m\x1b[0m" HEADER("[sensor err]") "value(5)\n\x1b[0m"},
                      TraceCase{kTraceErr, kColorNone, "5", ""},
                      TraceCase{kTracePlain, kColorGreen, "6", "\x1b[0m\x1b[32mvalue(5)\n\x1b[0m"},
                      TraceCase{kTracePlain, kColorNone, "5", ""},
                      TraceCase{kTraceDbg, kColorNone, "-1", ""},
                      TraceCase{kTraceDbg, kColorNone, "", ""}));
#undef HEADER

TEST_F(DiagTest, NoSwitchFileSilencesEveryTrace) {
    for (SensorTraceKind kind : {kTraceDbg, kTraceInfo, kTraceWarn, kTraceErr, kTracePlain}) {
        EXPECT_EQ(traceOutput(kind, kColorNone, "x\n"), "") << kind;
    }
    EXPECT_FALSE(sandbox->exists(kLogPath));
}

TEST_F(DiagTest, OnlyWarningsReachTheErrorLog) {
    sandbox->setDebugSwitch("7");
    for (SensorTraceKind kind : {kTraceDbg, kTraceInfo, kTraceErr, kTracePlain}) {
        traceOutput(kind, kColorNone, "quiet\n");
    }
    EXPECT_FALSE(sandbox->exists(kLogPath));
    traceOutput(kTraceWarn, kColorNone, "check the sensor version\n");
    EXPECT_EQ(logRecords(*sandbox),
              (std::vector<std::string>{
                  "[sensor warn] file:ISensorController.cpp fun:setParameters line:321\n",
                  "[sensor warn] check the sensor version\n"}));
}

TEST_F(DiagTest, MessageArgumentsAreFormattedOnceForConsoleAndLog) {
    sandbox->setDebugSwitch("4");
    StdoutCapture capture;
    sensorTrace(kTraceWarn, kColorNone, "ISensorController.cpp", "init", 7,
                "local(%u) --> libtarnis.so(%u)\n", 7u, 8u);
    EXPECT_EQ(capture.stop(),
              "\x1b[0m\x1b[0m[sensor warn] file:ISensorController.cpp fun:init line:7\n"
              "local(7) --> libtarnis.so(8)\n\x1b[0m");
    EXPECT_EQ(logRecords(*sandbox).at(1), "[sensor warn] local(7) --> libtarnis.so(8)\n");
}

// ---- the assertion check ----

const std::string kAssertHeader = "[sensor assert] file:SensorFile.cpp fun:getFileLen line:42\n";

TEST_F(DiagTest, FailedCheckPrintsTwoRedBlocksAndLogsThreeRecords) {
    std::string out = failCheck("file.open(file_name)", "file_name(%s)", "/a/b");
    EXPECT_EQ(out, kRed + kAssertHeader + "file.open(file_name)   ~~~Assertion failed.\n" + kReset +
                       kRed + "file_name(/a/b)" + kReset);
    EXPECT_EQ(logRecords(*sandbox),
              (std::vector<std::string>{kAssertHeader,
                                        "[sensor assert] file.open(file_name)   ~~~Assertion "
                                        "failed.\n",
                                        "[sensor assert] file_name(/a/b)\n"}));
}

TEST_F(DiagTest, EmptyMessagePrintsBareColoursAndLogsAnEmptyText) {
    std::string out = failCheck("-1 != index", "%s", "");
    EXPECT_EQ(out, kRed + kAssertHeader + "-1 != index   ~~~Assertion failed.\n" + kReset + kRed +
                       kReset);
    std::vector<std::string> records = logRecords(*sandbox);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[2], "[sensor assert] \n");
}

TEST_F(DiagTest, FailedCheckPrintsAtLevelZeroButNotBelow) {
    sandbox->setDebugSwitch("letters\n");
    EXPECT_NE(failCheck("a", "%s", "m"), "");
    EXPECT_EQ(logRecords(*sandbox).size(), 3u);

    sandbox->remove(kLogPath);
    sandbox->setDebugSwitch("-1\n0\n");
    EXPECT_EQ(failCheck("a", "%s", "m"), "");
    EXPECT_FALSE(sandbox->exists(kLogPath));
}

TEST_F(DiagTest, LogTextsAreCutAt499BytesWhileTheConsoleKeepsThemWhole) {
    std::string longCondition(900, 'c');
    std::string longMessage(700, 'm');
    std::string out = failCheck(longCondition.c_str(), "%s", longMessage.c_str());
    EXPECT_NE(out.find(longCondition + "   ~~~Assertion failed.\n"), std::string::npos);
    EXPECT_NE(out.find(longMessage + kReset), std::string::npos);
    std::vector<std::string> records = logRecords(*sandbox);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[1], "[sensor assert] " + longCondition.substr(0, 499) + "\n");
    EXPECT_EQ(records[2], "[sensor assert] " + longMessage.substr(0, 499) + "\n");
}

TEST_F(DiagTest, FailedCheckGoesOnWhenTheSwitchIsOff) {
    sandbox->setDebugSwitch("6\n0\n");
    ChildRun run = runInChild(*sandbox, [this] { failCheck("x", "%s", ""); });
    EXPECT_TRUE(run.exitedCleanly);
}

TEST_F(DiagTest, FailedCheckAbortsAfterItsReportWhenTheSwitchIsOn) {
    sandbox->setDebugSwitch("7\n1\n");
    ChildRun run = runInChild(*sandbox, [] {
        sensorAssertFailed("file.open(file_name)", "SensorFile.cpp", "getFileLen",
                           "INT64 getFileLen(const char*)", 42, "file_name(%s)", "/x");
    });
    EXPECT_TRUE(run.aborted);
    EXPECT_EQ(run.out, kRed + kAssertHeader + "file.open(file_name)   ~~~Assertion failed.\n" +
                           kReset + kRed + "file_name(/x)" + kReset);
    EXPECT_NE(
        run.err.find("SensorFile.cpp:42: INT64 getFileLen(const char*): Assertion `bRet' failed."),
        std::string::npos)
        << run.err;
    EXPECT_EQ(logRecords(*sandbox).size(), 3u);
}

TEST_F(DiagTest, SilencedCheckStillAbortsWhenTheSwitchIsOn) {
    sandbox->setDebugSwitch("-1\n1\n");
    ChildRun run = runInChild(*sandbox, [this] { failCheck("x", "%s", ""); });
    EXPECT_TRUE(run.aborted);
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(sandbox->exists(kLogPath));
}

// The statement macros, through a check of the library itself.
TEST_F(DiagTest, LibraryCheckNamesItsFileFunctionAndSignature) {
    sandbox->setDebugSwitch("1\n1\n");
    ChildRun run = runInChild(*sandbox, [] { getFileLen("/mnt/mtd/missing.cfg"); });
    EXPECT_TRUE(run.aborted);
    EXPECT_EQ(run.out.rfind(kRed + "[sensor assert] file:SensorFile.cpp fun:getFileLen line:", 0),
              0u)
        << run.out;
    EXPECT_NE(run.err.find(": INT64 getFileLen(const char*): Assertion `bRet' failed."),
              std::string::npos)
        << run.err;
}

}  // namespace
