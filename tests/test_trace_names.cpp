// Statements that operations leave to their helpers report under the operation's own name:
// console headers, error-log records and the abort text name the operation, never the helper.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <regex>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "ControllerSeam.h"
#include "GThread.h"
#include "IaSim.h"
#include "ISensorController.h"
#include "Sandbox.h"

namespace {

// The function names of every "fun:" header in a console or log text.
std::set<std::string> headerNames(const std::string& text) {
    std::set<std::string> names;
    const std::regex header("file:\\S+ fun:(\\S+) line:\\d+\n");
    for (std::sregex_iterator it(text.begin(), text.end(), header), end; it != end; ++it) {
        names.insert((*it)[1]);
    }
    return names;
}

class TraceNameTest : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        sandbox->installDeviceData();
        sandbox->writeMachineInfo(1);
    }
    void TearDown() override {
        if (ctl) {
            ctl->uinit();
        }
        ctl.reset();
        SandboxTest::TearDown();
    }
    void init() {
        ctl = std::make_unique<ISensorController>();
        seam = std::make_unique<SensorControllerTestSeam>(*ctl);
        ModuleConfigure module;
        module.setDetail("(isInfrared=1)(max_scheme=4)");
        ASSERT_TRUE(ctl->init(module));
    }
    // Runs `action` at debug level 6; checks that the console headers and the error log name
    // `operation` and none of `helpers`.
    void expectNamed(const std::string& operation, const std::set<std::string>& helpers,
                     const std::function<void()>& action) {
        sandbox->setDebugSwitch("6\n");
        StdoutCapture capture;
        action();
        const std::string console = capture.stop();
        sandbox->setDebugSwitch("");
        const std::string log = sandbox->readFile("/mnt/mtd/log/SensorError.log");
        const std::set<std::string> named = headerNames(console + log);
        EXPECT_EQ(1u, named.count(operation)) << console;
        for (const std::string& helper : helpers) {
            EXPECT_EQ(0u, named.count(helper)) << helper;
        }
    }
    std::unique_ptr<ISensorController> ctl;
    std::unique_ptr<SensorControllerTestSeam> seam;
};

TEST_F(TraceNameTest, SetParametersNamesItselfForItsRecordSteps) {
    init();
    sandbox->remove("/mnt/mtd/log/SensorError.log");
    // A known key (dispatch trace), an unknown one (failed lookup: assertion and log).
    expectNamed("setParameters", {"dispatchKeyVal", "storeKeyVal", "irPowerAllowed"},
                [&] { ctl->setParameters("(34,77)(99999,1)", true); });
}

TEST_F(TraceNameTest, InitNamesItselfForItsSteps) {
    // No stamp: the version warning (console and log); the scheme storage trace.
    expectNamed("init", {"initAllocSchemes", "initCheckVersion", "initLoadSchemes"},
                [&] { init(); });
    EXPECT_NE(std::string::npos,
              sandbox->readFile("/mnt/mtd/log/SensorError.log").find("fun:init line:"));
}

TEST_F(TraceNameTest, ADayNightSwitchNamesTheThreadBody) {
    init();
    ASSERT_TRUE(seam->thread()->stop());  // the pass runs here, on the test's thread
    seam->autoScheme() = true;
    iasim::setDNState(0, 1);
    expectNamed("sensorThread", {"schemePass", "dayNightPass", "sensorPass"},
                [&] { seam->sensorThreadPass(); });
    EXPECT_EQ(1, seam->curScheme());
    ASSERT_TRUE(seam->thread()->start());
}

TEST_F(TraceNameTest, GetAllParametersNamesItselfForReadingAndCorrecting) {
    init();
    sandbox->remove("/tmp/merge_style_ch1.xml");  // no style: its check fails, values corrected
    std::string parameters;
    expectNamed("getAllParameters", {"readStyleMaxShutter", "appendCorrectedScheme"},
                [&] { ctl->getAllParameters(parameters); });
    EXPECT_FALSE(parameters.empty());
}

TEST_F(TraceNameTest, ADebugResetNamesResetParameters) {
    init();
    sandbox->remove("/hd1/moduleConfig/moduleConfig.xml");
    expectNamed("resetParameters", {"readModuleDocuments", "buildResetModule"},
                [&] { ctl->resetParameters(); });
}

// With the assertion switch on, an unknown key aborts with the operation's signature.
TEST(TraceNameAbort, AnUnknownKeyAbortsNamingSetParameters) {
    Sandbox sandbox;
    ISensorController ctl;
    SensorControllerTestSeam seam(ctl);
    seam.prepare({{8000, 0}, {8001, 0}, {8002, 0}, {8003, 0}, {8004, 0}, {34, 50}}, 1);
    sandbox.setDebugSwitch("1\n1\n");
    const std::string err = sandbox.root() + "/abort.txt";
    std::fflush(stdout);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        ctl.setParameters("(99999,1)", true);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    seam.release();
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_NE(std::string::npos,
              readHostFile(err).find(
                  "int ISensorController::setParameters(KeyVal*, u32, bool): Assertion `bRet' "
                  "failed."))
        << readHostFile(err);
}

}  // namespace
