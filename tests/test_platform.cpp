// The host stand-ins for the camera platform, confined to the per-test sandbox root.
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "FileFaults.h"
#include "GThread.h"
#include "HostInspect.h"
#include "MachineInfo.h"
#include "ModuleConfigure.h"
#include "OVFile.h"
#include "OVLogger.h"
#include "OrvaneTime.h"
#include "RefCountManager.h"
#include "Sandbox.h"
#include "StringHandler.h"
#include "SyCommand.h"

namespace {
using Files = std::vector<std::string>;
const char* kCfg = "/mnt/mtd/code/config_file/sensor0.cfg";
const char* kInfo = "/mnt/mtd/code/factory_setting/machineinfo.ini";
const char* kModules = "/hd1/moduleConfig/moduleConfig.xml";
const std::string kLog = "/mnt/mtd/log/SensorError.log";
class PlatformTest : public SandboxTest {};

TEST_F(PlatformTest, WriteTruncatesInPlaceAndFailedOpenWritesNothing) {
    sandbox->writeFile(kCfg, "old");
    OVFile file;
    ASSERT_TRUE(file.open(kCfg, OVFile::modeWrite | OVFile::modeTruncate));
    EXPECT_EQ("", sandbox->readFile(kCfg));  // emptied at once, as a camera's framework does
    EXPECT_EQ(8, file.write("6\r\n\nlast", 8));
    EXPECT_TRUE(file.close());
    EXPECT_EQ(Files{kCfg}, sandbox->listFiles());
    EXPECT_NE(0, ::access(kCfg, F_OK));  // nothing outside the root
    ASSERT_TRUE(file.open(kCfg));
    for (const char* expected : {"6", "", "last", "", ""}) {
        EXPECT_EQ(expected, OVFile::ReadOneLine(file.getFileHandle()));
    }
    OVFile bad;
    EXPECT_FALSE(bad.open("/no/such/dir/f.cfg", OVFile::modeWrite | OVFile::modeTruncate));
    EXPECT_NE(3, bad.write("abc", 3));
    EXPECT_EQ(Files{kCfg}, sandbox->listFiles());
}

TEST_F(PlatformTest, CloseReportsBytesThatNeverReachedTheFile) {
    ::mkdir(sandbox->path("/dev").c_str(), 0755);
    ASSERT_EQ(0, ::symlink("/dev/full", sandbox->path("/dev/full").c_str()));
    OVFile file;
    ASSERT_TRUE(file.open("/dev/full", OVFile::modeWrite | OVFile::modeTruncate));
    EXPECT_EQ(3, file.write("abc", 3));  // buffered
    EXPECT_FALSE(file.close());
}

TEST_F(PlatformTest, FaultSeamFailsTheNamedPathOnceAndCountsBytes) {
    using hostfw::FileOp;
    const int kWrite = OVFile::modeWrite | OVFile::modeTruncate;
    hostfw::resetBytesWritten();
    hostfw::failNext(FileOp::open, kCfg);
    OVFile file;
    EXPECT_FALSE(file.open(kCfg, kWrite));
    ASSERT_TRUE(file.open(kCfg, kWrite));  // used up
    hostfw::failNext(FileOp::write, kCfg);
    EXPECT_EQ(4, file.write("abcdefgh", 8));
    EXPECT_EQ(8, file.write("abcdefgh", 8));
    hostfw::failNext(FileOp::diskFull, kCfg);
    EXPECT_EQ(0, file.write("abcdefgh", 8));
    EXPECT_EQ(0, file.write("abcdefgh", 8));  // full until cleared
    hostfw::clearFileFaults();
    hostfw::failNext(FileOp::write, kCfg);
    ASSERT_TRUE(file.open(std::string(kCfg).append(".tmp.1").c_str(), kWrite));
    EXPECT_EQ(4, file.write("abcdefgh", 8));  // a file named after the armed path
    EXPECT_EQ(16u, hostfw::bytesWritten("/mnt/mtd/code"));
    EXPECT_EQ(0u, hostfw::bytesWritten("/mnt/mtd/code/config"));  // folders, not prefixes
}

TEST_F(PlatformTest, LoggerRotatesBySizeKeepingThreeStampedFiles) {
    for (const char* name : {"A", "B", "C", "D"}) {  // each record exceeds the limit of 40
        OVLogger logger;
        ASSERT_TRUE(logger.init(kLog.c_str(), 40, 3));
        logger.writeLog("[sensor warn]", (name + std::string(40, '.')).c_str());
    }
    const std::string record = "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d \\[sensor warn\\] ";
    EXPECT_TRUE(std::regex_match(
        sandbox->readFile(kLog) + sandbox->readFile(kLog + ".1") + sandbox->readFile(kLog + ".2"),
        std::regex(record + "D\\.{40}\n" + record + "C\\.{40}\n" + record + "B\\.{40}\n")));
    EXPECT_EQ(3u, sandbox->listFiles().size());
}

std::atomic<int> g_entered{0}, g_left{0};
int pass() {
    ++g_entered;
    OrvaneTime::wait(OrvaneTime(2, 0));  // a couple of scaled milliseconds inside the pass
    ++g_left;
    return 0;
}

TEST_F(PlatformTest, ThreadRepeatsItsBodyUntilStopped) {
    g_entered = g_left = 0;
    const function<int> none(&GThread::emptyFun);
    GThread thread(function<int>(&pass), "SensorThread", none, none);
    EXPECT_FALSE(thread.stop());
    ASSERT_TRUE(thread.start());
    EXPECT_FALSE(thread.start());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (g_left < 3 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_GE(g_left.load(), 3);
    EXPECT_TRUE(thread.stop());
    EXPECT_EQ(g_entered.load(), g_left.load());  // the running pass ended before stop returned
    EXPECT_FALSE(thread.stop());
}

TEST(PlatformRefCount, OneCounterPerLiveAddress) {
    RefCountManager& manager = RefCountManager::getInstance();
    const int base = hostfw::liveRefCounters();
    int a = 0, b = 0;
    ref_count* first = manager.retrieveRefCount(&a, "t");
    EXPECT_EQ(first, manager.retrieveRefCount(&a, "t"));
    ref_count* other = manager.retrieveRefCount(&b, "t");
    EXPECT_NE(first, other);
    ASSERT_EQ(0, first->lock());
    EXPECT_EQ(1, first->dec_reference());  // two references: the count was 2
    EXPECT_EQ(0, first->dec_reference());
    EXPECT_EQ(0, first->unLock());
    ref_count* reused = manager.retrieveRefCount(&a, "t");  // dead counter not yet handed back
    EXPECT_NE(first, reused);
    for (ref_count* c : {first, reused, other}) {
        manager.returnbackRefCount(c, "t");
    }
    EXPECT_EQ(base, hostfw::liveRefCounters());
}

TEST(PlatformStrings, SplitKeepsEmptyPiecesAndStr2TypeExtracts) {
    const std::pair<const char*, Files> cases[] = {
        {"1,,3,", {"1", "", "3", ""}}, {",", {"", ""}}, {"abc", {"abc"}}, {"", {}}};
    for (const auto& c : cases) {
        Files out{"stale"};
        StringHandler::split(c.first, out, ",");
        EXPECT_EQ(c.second, out) << c.first;
    }
    int value = 0;
    EXPECT_TRUE(StringHandler::str2type("  -7 rest", value));
    EXPECT_EQ(-7, value);
    EXPECT_FALSE(StringHandler::str2type("abc", value));
}

TEST_F(PlatformTest, ClockFollowsFakeTimeAndScale) {
    const std::pair<const char*, int> times[] = {{"7:05", 425}, {"23:59:30", 1439}};
    for (const auto& t : times) {
        ::setenv("SENSOR_FAKE_TIME", t.first, 1);
        OVDeviceTime got = OVDeviceTime::getCurrentTime();
        EXPECT_EQ(t.second, got.getHour() * 60 + got.getMinute()) << t.first;
    }
    ::setenv("SENSOR_TIME_SCALE", "0", 1);
    OrvaneTime::wait(OrvaneTime(3600, 0));     // an hour at scale 0: nothing
    ::setenv("SENSOR_TIME_SCALE", "junk", 1);  // unreadable: scale 1, never shorter
    const auto start = std::chrono::steady_clock::now();
    OrvaneTime::wait(OrvaneTime(0, 3000));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(3));
}

TEST_F(PlatformTest, ShellResolvesSlashWordsAndGlobsInsideTheRoot) {
    const std::string dir = "/mnt/mtd/code/config_file/";
    for (const char* name : {"sensor0.cfg", "sensor3.cfg", "sensor4.cfg", "sensor-thermal2.cfg"}) {
        sandbox->writeFile(dir + name, "x");
    }
    EXPECT_EQ(0, sy_system("rm -rf /mnt/mtd/code/config*/sensor[0-3].cfg", 30));
    EXPECT_EQ((Files{dir + "sensor-thermal2.cfg", dir + "sensor4.cfg"}), sandbox->listFiles());
    StdoutCapture out;
    EXPECT_EQ(0, sy_system("printf '%s|'  /a\tb/c x=/d", 30));
    EXPECT_EQ(sandbox->root() + "/a|b/c|x=/d|", out.stop());
    EXPECT_EQ(3, sy_system("exit 3", 30));
    EXPECT_EQ(-1, sy_system("", 30));
}

TEST_F(PlatformTest, ShellQuotesARootHoldingBlanksQuotesAndSemicolons) {
    // Beside the odd root: a folder named like its first word, and where "; touch" would land.
    const std::string base = sandbox->root() + "/odd";
    const std::string root = base + "/a b;touch pwned;'x";
    const std::string dir = "/mnt/mtd/code/config_file/";
    std::filesystem::create_directories(base + "/a");
    std::filesystem::create_directories(root + dir);
    std::ofstream(root + dir + "sensor1.cfg") << "x";
    std::ofstream(root + dir + "sensor5.cfg") << "x";
    ::setenv("SENSOR_ROOT", root.c_str(), 1);
    const std::string cwd = std::filesystem::current_path();
    std::filesystem::current_path(base);
    const int status = sy_system("rm -rf /mnt/mtd/code/config*/sensor[0-3].cfg", 30);
    std::filesystem::current_path(cwd);
    ::setenv("SENSOR_ROOT", sandbox->root().c_str(), 1);
    EXPECT_EQ(0, status);
    EXPECT_FALSE(std::filesystem::exists(root + dir + "sensor1.cfg"));
    EXPECT_TRUE(std::filesystem::exists(root + dir + "sensor5.cfg"));
    EXPECT_TRUE(std::filesystem::exists(base + "/a")) << "an unrelated folder was removed";
    EXPECT_FALSE(std::filesystem::exists(base + "/pwned")) << "the root ran as a command";
}

TEST_F(PlatformTest, MachineInfoNeedsANumericDeviceType) {
    MachineInfo info;
    sandbox->writeFile(kInfo,
                       "[board]\r\n hardwareModel = Hi3519V101\r\ndeviceType=13\r\n"
                       "hardwareCode=IPC-01");
    ASSERT_TRUE(SystemInfoParser::parseMachineInfo(kInfo, info));
    EXPECT_EQ(13, info.getDeviceType());
    EXPECT_EQ("Hi3519V101|IPC-01", info.getHardwareModel() + "|" + info.getHardwareCode());
    for (const char* bad : {"", "hardwareModel=x\n", "deviceType=abc\n", "deviceType=12x\n", "-"}) {
        bad[0] == '-' ? sandbox->remove(kInfo) : sandbox->writeFile(kInfo, bad);  // "-": no file
        EXPECT_FALSE(SystemInfoParser::parseMachineInfo(kInfo, info)) << bad;
    }
    EXPECT_EQ(13, info.getDeviceType());  // failed parses left the record alone
}

TEST_F(PlatformTest, ModulesMatchModelAndCodeInDocumentOrder) {
    sandbox->writeFile(kModules,
                       "<moduleConfig><module hardwareModel=\"M\" hardwareCode=\"C\" id=\"1\""
                       " detail=\"(a=1)\" parameters=\"p1\"/>"
                       "<module hardwareModel=\"M\" hardwareCode=\"X\" id=\"2\"/>"
                       "<other hardwareModel=\"M\" id=\"9\"/>"
                       "<module hardwareModel=\"M\" id=\"3\" detail=\"d3\"/></moduleConfig>");
    std::vector<ModuleConfigure> out(1);
    ASSERT_TRUE(ModuleConfigureParser::parse(kModules, "M", "C", out));
    ASSERT_EQ(3u, out.size());  // appended after the entry already there
    EXPECT_EQ((std::vector<int>{1, 3}),
              (std::vector<int>{out[1].getModuleId(), out[2].getModuleId()}));
    EXPECT_EQ("(a=1)|p1", out[1].getDetail() + "|" + out[1].getParameters());
    for (const char* bad : {"<moduleConfig><module id=\"1\">", "", "<a>\xe4\xb8", "-"}) {
        bad[0] == '-' ? sandbox->remove(kModules) : sandbox->writeFile(kModules, bad);
        std::vector<ModuleConfigure> none;
        EXPECT_FALSE(ModuleConfigureParser::parse(kModules, "M", "C", none)) << bad;
        EXPECT_TRUE(none.empty());
    }
}
}  // namespace
