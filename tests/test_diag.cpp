// Level switch, trace statements and failed checks: console bytes, error log, abort. The
// trace unit is compiled in under renamed globals; the library's own are used via the export.
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

#include <cstring>
#include <regex>
#include <tuple>

#include <gtest/gtest.h>

#include "Sandbox.h"

extern int g_nDebugLevel;
extern bool g_bEnAssert;
void updateDebugLevel();

namespace {

const char kLogPath[] = "/mnt/mtd/log/SensorError.log";
const std::string kRed = "\x1b[0m\x1b[31m";
const std::string kReset = "\x1b[0m";
const std::string kAssertHeader = "[sensor assert] file:SensorFile.cpp fun:getFileLen line:42\n";

void failCheck(const char* condition, const char* message) {
    sensorAssertFailed(condition, "SensorFile.cpp", "getFileLen", "INT64 getFileLen(const char*)",
                       42, "%s", message);
}

using DiagTest = SandboxTest;

std::string logText(const Sandbox& sandbox) {  // the error log without its time stamps
    return std::regex_replace(sandbox.readFile(kLogPath),
                              std::regex("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d "), "");
}

TEST_F(DiagTest, EachKindPrintsAndLogsItsBlockAboveItsThreshold) {
    const std::string head = " file:ISensorController.cpp fun:setParameters line:321\n";
    // Letter, kind, colour, console block, error-log records.
    const std::tuple<char, SensorTraceKind, int, std::string, std::string> kinds[] = {
        {'d', kTraceDbg, kColorWhite, "\x1b[0m\x1b[37m[sensor dbg]" + head + "v(5)\n" + kReset, ""},
        {'i', kTraceInfo, kColorMagenta, "\x1b[0m\x1b[35m[sensor info]" + head + "v(5)\n" + kReset,
         ""},
        {'w', kTraceWarn, kColorNone, "\x1b[0m\x1b[0m[sensor warn]" + head + "v(5)\n" + kReset,
         "[sensor warn]" + head + "[sensor warn] v(5)\n"},
        {'e', kTraceErr, kColorNone, "\x1b[0m\x1b[0m[sensor err]" + head + "v(5)\n" + kReset, ""},
        {'p', kTracePlain, kColorGreen, "\x1b[0m\x1b[32mv(5)\n" + kReset, ""},
        {'a', kTracePlain, 0,
         kRed + kAssertHeader + "-1 != index   ~~~Assertion failed.\n" + kReset + kRed + kReset,
         kAssertHeader + "[sensor assert] -1 != index   ~~~Assertion failed.\n[sensor assert] \n"},
    };
    // Switch file (none for the first row), level, assertion switch, the kinds that print.
    const std::tuple<const char*, int, bool, const char*> rows[] = {
        // clang-format off
        {nullptr,     1,  false, "a"},
        {"6",         6,  false, "dwepa"},
        {"7\n1\n",    7,  true,  "diwepa"},
        {"\n1",       1,  true,  "a"},
        {"letters\n", 0,  false, "a"},
        {"-1\n1",     -1, true,  ""},
        // clang-format on
    };
    const std::string out = sandbox->root() + "/child.out";
    for (const auto& [content, level, enAssert, prints] : rows) {
        sandbox->remove(kLogPath);
        if (content != nullptr) {
            sandbox->setDebugSwitch(content);
        }
        g_nDebugLevel = 99;
        g_bEnAssert = !enAssert;
        updateDebugLevel();  // the library's own
        EXPECT_EQ(g_nDebugLevel, level) << level;
        EXPECT_EQ(g_bEnAssert, enAssert) << level;

        std::fflush(stdout);
        pid_t pid = ::fork();
        if (pid == 0) {
            ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
            ::dup2(::open("/dev/null", O_WRONLY), 2);
            for (const auto& [letter, kind, color, block, log] : kinds) {  // the check last
                letter == 'a' ? failCheck("-1 != index", "")
                              : sensorTrace(kind, color, "ISensorController.cpp", "setParameters",
                                            321, "%s", "v(5)\n");
            }
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_EQ(WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT, enAssert) << level;
        std::string console, records;
        for (const auto& [letter, kind, color, block, log] : kinds) {
            console += std::strchr(prints, letter) != nullptr ? block : "";
            records += std::strchr(prints, letter) != nullptr ? log : "";
        }
        EXPECT_EQ(readHostFile(out), console) << level;
        EXPECT_EQ(logText(*sandbox), records) << level;
    }
}

TEST_F(DiagTest, LogTextsAreCutAt499BytesWhileTheConsoleKeepsThemWhole) {
    const std::string condition(900, 'c');
    const std::string message(700, 'm');
    StdoutCapture capture;
    failCheck(condition.c_str(), message.c_str());
    EXPECT_EQ(capture.stop(), kRed + kAssertHeader + condition + "   ~~~Assertion failed.\n" +
                                  kReset + kRed + message + kReset);
    EXPECT_EQ(logText(*sandbox), kAssertHeader + "[sensor assert] " + condition.substr(0, 499) +
                                     "\n" + "[sensor assert] " + message.substr(0, 499) + "\n");
}

}  // namespace
