// Costs of the controller's main paths on the bundled device data, each beside the floor it
// cannot beat: every trace statement on the path first tests whether the debug switch file
// exists (a stat of a missing file under the sandbox root), and the path needs at least one
// simulated processor call. Each benchmark reports
//   stats  - switch-file tests per operation (counted once, before timing),
//   floor  - stats x one stat + one processor call, in ns (measured beside it),
//   ratio  - time per operation / floor.
// Run by hand: build with -DTARNIS_BENCH=ON and start bench/bench_controller.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include <benchmark/benchmark.h>

#include "../tests/support/ControllerSeam.h"
#include "GThread.h"
#include "IaSim.h"
#include "ISensorController.h"
#include "OVPath.h"
#include "ia_ioctrl.h"
#include "SensorPaths.h"

// Counts the switch-file tests: the platform's existence test calls stat through the dynamic
// linker, so this definition sees them. Counting is on only while a path is being measured.
namespace {
std::atomic<bool> g_bCounting{false};
std::atomic<long> g_nSwitchTests{0};
}  // namespace

extern "C" int stat(const char* path, struct stat* buf) {
    using StatFn = int (*)(const char*, struct stat*);
    static StatFn realStat = reinterpret_cast<StatFn>(dlsym(RTLD_NEXT, "stat"));
    if (g_bCounting.load(std::memory_order_relaxed)) {
        size_t len = std::strlen(path);
        const char* tail = SensorPaths::kDebugSwitchPath;
        size_t tailLen = std::strlen(tail);
        if (len >= tailLen && std::strcmp(path + len - tailLen, tail) == 0) {
            g_nSwitchTests.fetch_add(1, std::memory_order_relaxed);
        }
    }
    return realStat(path, buf);
}

namespace {

const char* const kStyleDir = SensorPaths::kStyleDir;
const char* const kDiversityDir = SensorPaths::kStyleDiversityDir;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buf;
    buf << in.rdbuf();
    return buf.str();
}

void makeDirs(const std::string& dir) {
    std::string partial;
    std::stringstream in(dir);
    std::string piece;
    while (std::getline(in, piece, '/')) {
        partial += piece.empty() ? "/" : piece + "/";
        ::mkdir(partial.c_str(), 0755);
    }
}

void copyInto(const std::string& root, const std::string& from, const std::string& to) {
    std::string target = root + to;
    makeDirs(target.substr(0, target.rfind('/')));
    std::ofstream(target, std::ios::binary) << readFile(from);
}

// A sandbox root of the benchmark's own with the bundled device data; the clock runs
// unscaled to zero so no wait costs time.
class BenchRoot {
public:
    BenchRoot() {
        char pattern[] = "/tmp/tarnis-bench-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        if (made == nullptr) {
            std::abort();
        }
        m_root = made;
        const std::string device = TARNIS_DEVICE_DIR;
        for (const char* name : {"Style.xml", "Style_dome.xml", "Style_Thermal.xml"}) {
            copyInto(m_root, device + "/style/" + name, std::string(kStyleDir) + name);
        }
        for (const char* name :
             {"StyleDiversity.xml", "StyleDiversity_dome.xml", "StyleDiversity_Thermal.xml"}) {
            copyInto(m_root, device + "/styleDiversity/" + name, std::string(kDiversityDir) + name);
        }
        copyInto(m_root, device + "/machineinfo.ini", SensorPaths::kMachineInfoPath);
        for (const std::string& file :
             {SensorPaths::paramFilePath(1, 0), std::string(SensorPaths::kErrorLogPath),
              std::string(SensorPaths::kDebugSwitchPath)}) {
            makeDirs(m_root + file.substr(0, file.rfind('/')));
        }
        ::setenv("SENSOR_ROOT", m_root.c_str(), 1);
        ::setenv("SENSOR_TIME_SCALE", "0", 1);
        ::setenv("SENSOR_FAKE_TIME", "12:00", 1);
    }
    ~BenchRoot() {
        std::string command = "rm -rf '" + m_root + "'";
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "could not remove %s\n", m_root.c_str());
        }
    }

private:
    std::string m_root;
};

BenchRoot& benchRoot() {
    static BenchRoot root;
    return root;
}

ModuleConfigure benchModule() {
    ModuleConfigure module;
    module.setModuleId(1);
    module.setDetail("(isInfrared=1)(lens=motor)(max_scheme=4)");
    return module;
}

// Redirects stdout to /dev/null while it lives: the engine writes a line per list applied.
class QuietStdout {
public:
    QuietStdout() {
        std::fflush(stdout);
        m_nSaved = ::dup(1);
        int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::close(null);
    }
    ~QuietStdout() {
        std::fflush(stdout);
        ::dup2(m_nSaved, 1);
        ::close(m_nSaved);
    }

private:
    int m_nSaved;
};

// Switch-file tests made by one run of `op`.
long countSwitchTests(const std::function<void()>& op) {
    g_nSwitchTests = 0;
    g_bCounting = true;
    op();
    g_bCounting = false;
    return g_nSwitchTests.load();
}

// ns of one stat of a missing file under the root, and of one processor call.
double nsPer(const std::function<void()>& op, int rounds) {
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i) {
        op();
    }
    std::chrono::duration<double, std::nano> took = std::chrono::steady_clock::now() - start;
    return took.count() / rounds;
}

double statNs() {
    return nsPer([] { benchmark::DoNotOptimize(OVPath::exists(SensorPaths::kDebugSwitchPath)); },
                 20000);
}

double processorCallNs() {
    int value = 0;
    double ns =
        nsPer([&] { ia_ioctrl_v2(0, static_cast<ia_cmd_e>(34), IA_CMD_OPT_GET, &value); }, 20000);
    iasim::clearLog();
    return ns;
}

// Wall time of the timed loop, for the ratio.
class LoopClock {
public:
    LoopClock() : m_start(std::chrono::steady_clock::now()) {}
    double nsPerIteration(const benchmark::State& state) const {
        std::chrono::duration<double, std::nano> took = std::chrono::steady_clock::now() - m_start;
        return state.iterations() > 0 ? took.count() / static_cast<double>(state.iterations())
                                      : 0.0;
    }

private:
    std::chrono::steady_clock::time_point m_start;
};

void reportFloor(benchmark::State& state, const LoopClock& clock, long stats) {
    const double opNs = clock.nsPerIteration(state);
    const double floorNs = static_cast<double>(stats) * statNs() + processorCallNs();
    state.counters["stats"] = static_cast<double>(stats);
    state.counters["floor_ns"] = floorNs;
    state.counters["ratio"] = floorNs > 0 ? opNs / floorNs : 0.0;
}

// An initialised controller with its thread stopped (with an unscaled-to-zero clock the
// thread would spin and contend for the mutex).
struct Channel {
    Channel() : seam(ctl) {
        ctl.setChannelID(1);
        ctl.init(benchModule());
        seam.thread()->stop();
        iasim::clearLog();
    }
    ~Channel() { ctl.uinit(); }
    ISensorController ctl;
    SensorControllerTestSeam seam;
};

void BM_SetParameter(benchmark::State& state) {
    benchRoot();
    QuietStdout quiet;
    Channel channel;
    int value = 10;
    auto op = [&] {
        value = (value == 10) ? 11 : 10;
        channel.ctl.setParameter(34, value, true);
    };
    long stats = countSwitchTests(op);
    long n = 0;
    LoopClock clock;
    for (auto _ : state) {
        op();
        if ((++n & 255) == 0) {
            iasim::clearLog();
        }
    }
    reportFloor(state, clock, stats);
}
BENCHMARK(BM_SetParameter);

void BM_SchemeSwitchAllKeysDiffer(benchmark::State& state) {
    benchRoot();
    QuietStdout quiet;
    Channel channel;
    const u32 sum = channel.seam.keyValSum();
    KeyVal* other = channel.seam.userKeyVal()[1];
    // Scheme 1 differs from scheme 0 in every value but the scheme keys, the placeholders
    // and the light type (which would route other keys).
    for (u32 i = 5; i < sum; ++i) {
        u32 key = other[i].key;
        if (key != 10 && key != 11 && key != 224) {
            other[i].value += 1;
        }
    }
    int target = 1;
    auto op = [&] {
        channel.ctl.setParamScheme(target);
        target = 1 - target;
    };
    long stats = countSwitchTests(op);
    op();
    long n = 0;
    LoopClock clock;
    for (auto _ : state) {
        op();
        if ((++n & 63) == 0) {
            iasim::clearLog();
        }
    }
    reportFloor(state, clock, stats);
}
BENCHMARK(BM_SchemeSwitchAllKeysDiffer);

void BM_InitUinit(benchmark::State& state) {
    benchRoot();
    QuietStdout quiet;
    ISensorController ctl;
    ctl.setChannelID(1);
    auto op = [&] {
        ctl.init(benchModule());
        ctl.uinit();
        iasim::clearLog();
    };
    op();  // the first run writes the parameter files; later runs load them
    long stats = countSwitchTests(op);
    LoopClock clock;
    for (auto _ : state) {
        op();
    }
    reportFloor(state, clock, stats);
}
BENCHMARK(BM_InitUinit)->Unit(benchmark::kMillisecond);

// The floor's two parts on their own.
void BM_FloorSwitchFileTest(benchmark::State& state) {
    benchRoot();
    for (auto _ : state) {
        benchmark::DoNotOptimize(OVPath::exists(SensorPaths::kDebugSwitchPath));
    }
}
BENCHMARK(BM_FloorSwitchFileTest);

void BM_FloorProcessorCall(benchmark::State& state) {
    benchRoot();
    int value = 0;
    long n = 0;
    for (auto _ : state) {
        ia_ioctrl_v2(0, static_cast<ia_cmd_e>(34), IA_CMD_OPT_GET, &value);
        if ((++n & 1023) == 0) {
            iasim::clearLog();
        }
    }
}
BENCHMARK(BM_FloorProcessorCall);

}  // namespace

BENCHMARK_MAIN();
