// Power cuts: a child process runs init, flushes and factory resets on channel 1 and is
// killed with SIGKILL at a random moment, 300 times. Every parameter file must hold the old or
// the new records of the operation in flight, never a mix; the next init removes the dead
// writer's temporary files and comes up with the last acknowledged value (or the one in
// flight). And the system calls of one flush, in order: write, fsync, rename, directory fsync.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ISensorController.h"
#include "Sandbox.h"
#include "SimVideoModule.h"

namespace {

const int kRuns = 300;
const int kBrightness = 34;
const int kSchemes = 4;
const char* const kDetail = "(isInfrared=1)(lens=motor)(max_scheme=4)";
const std::string kFile0 = "/mnt/mtd/code/config_file/sensor0.cfg";

// Brightness set by operation `op` (1-based) of child `run`; every fourth operation is a
// factory reset instead.
bool isReset(int op) {
    return op % 4 == 0;
}
int valueOf(int run, int op) {
    return 1 + (run * 31 + op * 7) % 99;
}

// Initialises channel 1 on the sandbox's device data.
bool initChannel(ISensorController& ctl, const SimVideoModule& video) {
    ctl.setChannelID(1);
    ctl.setVideoStreamModule(&video);
    ModuleConfigure module;
    module.setDetail(kDetail);
    return ctl.init(module);
}

// The child: one line per step on `fd` ("I <brightness>" after init, "A <op>" after each
// acknowledged operation), until it is killed. Never returns.
[[noreturn]] void childMain(int fd, int run) {
    const int devnull = ::open("/dev/null", O_WRONLY);
    ::dup2(devnull, 1);
    SimVideoModule video;
    ISensorController ctl;
    initChannel(ctl, video);
    auto say = [fd](const std::string& line) {
        if (::write(fd, line.data(), line.size()) < 0) {
            ::_exit(3);
        }
    };
    int value = -1;
    ctl.getParameter(kBrightness, value);
    say("I " + std::to_string(value) + "\n");
    for (int op = 1; op < 100000; ++op) {
        if (isReset(op)) {
            ctl.resetParameters();
        } else {
            ctl.setParameter(kBrightness, valueOf(run, op), true);
            if (ctl.flush() != 0) {
                ::_exit(4);
            }
        }
        say("A " + std::to_string(op) + "\n");
    }
    ::_exit(0);
}

struct Child {
    pid_t pid;
    int fd;
};

Child startChild(int run) {
    int fds[2];
    if (::pipe(fds) != 0) {
        std::abort();
    }
    std::fflush(stdout);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        childMain(fds[1], run);
    }
    ::close(fds[1]);
    return {pid, fds[0]};
}

// Everything the child wrote, after it ended.
std::string drain(int fd) {
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof(buf))) > 0) {
        out.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return out;
}

// Kills the child; its wait status.
int kill(const Child& child) {
    ::kill(child.pid, SIGKILL);
    int status = 0;
    ::waitpid(child.pid, &status, 0);
    return status;
}

struct Report {
    bool inited = false;
    int initValue = -1;
    int acked = 0;
};

Report parse(const std::string& out) {
    Report r;
    std::istringstream in(out);
    std::string tag;
    int number;
    while (in >> tag >> number) {
        if (tag == "I") {
            r.inited = true;
            r.initValue = number;
        } else if (tag == "A") {
            r.acked = number;
        }
    }
    return r;
}

class PowerCutTest : public SandboxTest {
protected:
    void SetUp() override {
        // A kill cuts a process, not the power: the files may live in memory, where syncs
        // cost nothing and the 300 runs take a few seconds.
        if (::access("/dev/shm", W_OK) == 0) {
            ::setenv("TMPDIR", "/dev/shm", 1);
        }
        SandboxTest::SetUp();
        sandbox->installDeviceData();
        sandbox->writeMachineInfo(1);
    }
    // The records' keys of a whole file, or empty when the file is missing.
    std::vector<uint32_t> keysOf(const std::string& bytes) {
        std::vector<uint32_t> keys(bytes.size() / 8);
        for (size_t i = 0; i < keys.size(); ++i) {
            std::memcpy(&keys[i], bytes.data() + i * 8, 4);
        }
        return keys;
    }
    int brightnessIn(const std::string& bytes) {
        for (size_t i = 0; i + 8 <= bytes.size(); i += 8) {
            uint32_t key;
            int32_t value;
            std::memcpy(&key, bytes.data() + i, 4);
            std::memcpy(&value, bytes.data() + i + 4, 4);
            if (key == static_cast<uint32_t>(kBrightness)) {
                return value;
            }
        }
        return -1;
    }
    std::vector<std::string> temporaries() {
        std::vector<std::string> out;
        for (const std::string& f : sandbox->listFiles()) {
            if (f.find(".tmp.") != std::string::npos) {
                out.push_back(f);
            }
        }
        return out;
    }
};

TEST_F(PowerCutTest, EveryFileIsOldOrNewAndInitComesUpWithTheAcknowledgedValue) {
    // Calibration: how long init and two flushes take here (native, sanitizers, qemu). The
    // file layout is read while the third operation, a flush, can only replace the file.
    const auto begin = std::chrono::steady_clock::now();
    Child first = startChild(0);
    std::string seen;
    char c;
    while (parse(seen).acked < 2 && ::read(first.fd, &c, 1) == 1) {
        seen.push_back(c);
    }
    const auto span = std::chrono::steady_clock::now() - begin;
    const std::vector<uint32_t> layout = keysOf(sandbox->readFile(kFile0));
    const int status = kill(first);
    seen += drain(first.fd) + " status " + std::to_string(status);
    const Report calibration = parse(seen);
    ASSERT_TRUE(calibration.inited) << seen;
    const int factoryValue = calibration.initValue;
    ASSERT_FALSE(layout.empty()) << seen;
    auto after = [&](int run, int op, int base) {
        return op == 0 ? base : isReset(op) ? factoryValue : valueOf(run, op);
    };
    // Values scheme 0 may hold now: the last acknowledged one and the one in flight.
    std::set<int> possible = {after(0, calibration.acked, factoryValue),
                              after(0, calibration.acked + 1, factoryValue)};

    std::mt19937 random(20240615);
    const long long limit = std::chrono::duration_cast<std::chrono::microseconds>(span).count() * 2;
    std::uniform_int_distribution<long long> delay(0, limit);
    int killedInInit = 0;
    for (int run = 1; run <= kRuns; ++run) {
        SCOPED_TRACE(run);
        Child child = startChild(run);
        ::usleep(static_cast<useconds_t>(delay(random)));
        kill(child);
        const Report r = parse(drain(child.fd));
        if (!r.inited) {
            ++killedInInit;  // files and values stay as they were, or as init made them
        } else {
            ASSERT_EQ(1u, possible.count(r.initValue)) << r.initValue;
            possible = {after(run, r.acked, r.initValue), after(run, r.acked + 1, r.initValue)};
            // The init removed every earlier writer's temporary files.
            for (const std::string& temp : temporaries()) {
                ASSERT_NE(std::string::npos, temp.find(".tmp." + std::to_string(child.pid) + "."))
                    << temp;
            }
        }
        for (int s = 0; s < kSchemes; ++s) {
            const std::string file =
                "/mnt/mtd/code/config_file/sensor" + std::to_string(s) + ".cfg";
            if (!sandbox->exists(file)) {
                continue;  // removed by a reset in flight; the next init writes factory records
            }
            const std::string bytes = sandbox->readFile(file);
            ASSERT_EQ(layout, keysOf(bytes)) << file << " holds " << bytes.size() << " bytes";
            ASSERT_EQ(layout.size() * 8, bytes.size());
            if (s == 0) {
                ASSERT_EQ(1u, possible.count(brightnessIn(bytes))) << brightnessIn(bytes);
            }
        }
        if (!sandbox->exists(kFile0)) {
            possible.insert(factoryValue);
        }
    }
    // A last init that is not interrupted.
    StdoutCapture quiet;
    SimVideoModule video;
    ISensorController ctl;
    ASSERT_TRUE(initChannel(ctl, video));
    int value = -1;
    ctl.getParameter(kBrightness, value);
    ctl.uinit();
    quiet.stop();
    EXPECT_EQ(1u, possible.count(value)) << value;
    EXPECT_TRUE(temporaries().empty());
    std::printf("%d of %d runs were cut during init\n", killedInInit, kRuns);
}

#ifdef STRACE_PROGRAM
// The calls of the flush after the program's marker: the temporary file is written and synced
// before it is renamed over the parameter file, and the directory is synced after the rename.
TEST_F(PowerCutTest, OneFlushWritesSyncsRenamesAndSyncsTheDirectoryInThatOrder) {
    const std::string trace = sandbox->root() + "/trace.txt";
    const std::string command = std::string(STRACE_PROGRAM) + " -f -qq -o " + trace +
                                " -e trace=openat,write,fsync,rename,renameat,renameat2 " +
                                FLUSH_ONCE_PROGRAM + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    if (WEXITSTATUS(status) != 0 && std::ifstream(trace).peek() == EOF) {
        GTEST_SKIP() << "strace cannot trace here";
    }
    ASSERT_EQ(0, WEXITSTATUS(status));
    std::ifstream in(trace);
    std::string line;
    bool afterMarker = false;
    std::vector<std::string> steps;
    std::string tempFd, dirFd;
    const std::regex openTemp(R"(openat\(.*sensor0\.cfg\.tmp\.[0-9.]+", .*\) = ([0-9]+))");
    const std::regex openDir(
        R"(openat\(.*config_file", O_RDONLY[^)]*O_DIRECTORY[^)]*\) = ([0-9]+))");
    const std::regex renamed(
        R"(rename(at2?)?\(.*sensor0\.cfg\.tmp\.[0-9.]+",.*sensor0\.cfg".*= 0)");
    std::smatch m;
    while (std::getline(in, line)) {
        if (line.find("write(2, \"flush\\n\"") != std::string::npos) {
            afterMarker = true;
            continue;
        }
        if (!afterMarker) {
            continue;
        }
        if (!dirFd.empty() && line.find("fsync(" + dirFd + ")") != std::string::npos) {
            steps.push_back("directory fsync");
        } else if (std::regex_search(line, m, openTemp)) {
            tempFd = m[1];
        } else if (std::regex_search(line, m, openDir)) {
            dirFd = m[1];
        } else if (!tempFd.empty() && line.find("write(" + tempFd + ",") != std::string::npos &&
                   line.find("= 712") != std::string::npos) {
            steps.push_back("write");
        } else if (!tempFd.empty() && line.find("fsync(" + tempFd + ")") != std::string::npos) {
            steps.push_back("fsync");
        } else if (std::regex_search(line, renamed)) {
            steps.push_back("rename");
            tempFd.clear();
        }
    }
    EXPECT_EQ((std::vector<std::string>{"write", "fsync", "rename", "directory fsync"}), steps);
}
#endif

}  // namespace
