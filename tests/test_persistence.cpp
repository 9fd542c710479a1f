// What survives what: saved settings across failed writes, a stamp that cannot be used, broken
// device data, a changed key list, damaged files and odd scheme counts; and the bytes each
// flush and boot write to flash.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ControllerSeam.h"
#include "FileFaults.h"
#include "IaSim.h"
#include "ISensorController.h"
#include "Sandbox.h"
#include "SimVideoModule.h"
#include "StyleLimits.h"

namespace {

using hostfw::FileOp;

const char* const kDir = "/mnt/mtd/code/config_file";
const char* const kStamp = "/mnt/mtd/code/config_file/ovsversion.cfg";
const char* const kLog = "/mnt/mtd/log/SensorError.log";
const char* const kStyle = "/hd1/moduleConfig/sensorConfig/style/Style.xml";
const char* const kDiversity = "/hd1/moduleConfig/sensorConfig/styleDiversity/StyleDiversity.xml";
const std::string kFile0 = "/mnt/mtd/code/config_file/sensor0.cfg";
const int kBrightness = 34;

std::string paramFile(int scheme) {
    return "/mnt/mtd/code/config_file/sensor" + std::to_string(scheme) + ".cfg";
}

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

class PersistTest : public SandboxTest {
protected:
    void SetUp() override {
        SandboxTest::SetUp();
        sandbox->installDeviceData();
        sandbox->writeMachineInfo(1);
        setshowBeawayFalg(true);
    }
    void TearDown() override {
        stop();
        SandboxTest::TearDown();
    }
    // A fresh controller of channel 1 (console output swallowed).
    void start(const std::string& detail = "(isInfrared=1)(lens=motor)(max_scheme=4)") {
        stop();
        ctl = std::make_unique<ISensorController>();
        seam = std::make_unique<SensorControllerTestSeam>(*ctl);
        ctl->setChannelID(1);
        ctl->setVideoStreamModule(&video);
        ModuleConfigure module;
        module.setDetail(detail);
        StdoutCapture quiet;
        ASSERT_TRUE(ctl->init(module));
    }
    void stop() {
        if (ctl) {
            ctl->uinit();
            ctl.reset();
        }
    }
    int brightness() {
        int value = -1;
        EXPECT_TRUE(ctl->getParameter(kBrightness, value));
        return value;
    }
    // Sets brightness and flushes; the flush result.
    int save(int value) {
        EXPECT_EQ(0, ctl->setParameter(kBrightness, value, true));
        StdoutCapture quiet;
        return ctl->flush();
    }
    std::string log() const { return sandbox->readFile(kLog); }
    std::vector<std::string> temporaries() const {
        std::vector<std::string> out;
        for (const std::string& f : sandbox->listFiles()) {
            if (f.find(".tmp.") != std::string::npos) {
                out.push_back(f);
            }
        }
        return out;
    }

    SimVideoModule video;
    std::unique_ptr<ISensorController> ctl;
    std::unique_ptr<SensorControllerTestSeam> seam;
};

// Finding 1: init removes the temporary files of dead writers, never one a writer holds.
TEST_F(PersistTest, InitRemovesStaleTemporariesButNotOneAWriterHolds) {
    start();
    const std::string dead = kFile0 + ".tmp.99999.0";
    const std::string held = std::string(kStamp) + ".tmp.1.1";
    sandbox->writeFile(dead, "");
    sandbox->writeFile(paramFile(1) + ".tmp.XyZ123", "x");  // the old stand-in's leftovers
    sandbox->writeFile(held, "");
    const int fd = ::open(sandbox->path(held).c_str(), O_RDONLY);
    ASSERT_EQ(0, ::flock(fd, LOCK_EX));
    start();
    EXPECT_EQ(std::vector<std::string>{held}, temporaries());
    ::close(fd);
    start();
    EXPECT_TRUE(temporaries().empty());
}

// Finding 2: every failed write of the parameter file keeps the old file, is reported,
// makes flush return 508, and the next flush works.
TEST_F(PersistTest, AFailedFlushKeepsTheOldFileReportsAndReturns508) {
    const struct {
        FileOp op;
        std::string path;
        const char* report;
    } faults[] = {
        {FileOp::open, kFile0, "file.open(file_name, OVFile::modeWrite | OVFile::modeTruncate)"},
        {FileOp::write, kFile0, "nSize == sizeof(KeyVal)*p_nKeyValSum"},
        {FileOp::diskFull, kFile0, "nSize(0) sizeof(KeyVal) = 8, p_nKeyValNum(89)"},
        {FileOp::sync, kFile0, "sensor0.cfg) not saved: the sync to storage failed"},
        {FileOp::rename, kFile0, "sensor0.cfg) not saved: the rename over the file failed"},
    };
    start();
    ASSERT_EQ(0, save(41));
    const std::string saved = sandbox->readFile(kFile0);
    for (const auto& f : faults) {
        SCOPED_TRACE(f.report);
        sandbox->remove(kLog);
        hostfw::failNext(f.op, f.path);
        EXPECT_EQ(508, save(42));
        hostfw::clearFileFaults();
        EXPECT_EQ(saved, sandbox->readFile(kFile0));
        EXPECT_NE(std::string::npos, log().find(f.report)) << log();
        EXPECT_TRUE(temporaries().empty());
        EXPECT_EQ(42, brightness());  // the controller goes on with the value
    }
    EXPECT_EQ(0, save(43));
    start();
    EXPECT_EQ(43, brightness());
}

TEST_F(PersistTest, ADirectoryInTheFilesPlaceFailsTheFlushLoudly) {
    start();
    sandbox->remove(kFile0);
    ASSERT_EQ(0, ::mkdir(sandbox->path(kFile0).c_str(), 0755));
    EXPECT_EQ(508, save(44));
    EXPECT_NE(std::string::npos, log().find("not saved: the rename over the file failed"));
}

// Finding 3: a stamp that cannot be read or written is said once per boot and never wipes.
TEST_F(PersistTest, AStampThatCannotBeWrittenNeverWipesTheSettings) {
    start();
    ASSERT_EQ(0, save(45));
    sandbox->remove(kStamp);
    ASSERT_EQ(0, ::mkdir(sandbox->path(kStamp).c_str(), 0755));
    sandbox->remove(kLog);
    for (int boot = 0; boot < 2; ++boot) {
        start();
        EXPECT_EQ(45, brightness());
    }
    EXPECT_EQ(2u, count(log(), "ovsversion.cfg) cannot be read: parameter files kept"));
    EXPECT_EQ(2u, count(log(), "ovsversion.cfg) does not read back as 8 after writing"));
}

TEST_F(PersistTest, AVersionChangeThatRemovesFilesLeavesOneRecord) {
    start();
    ASSERT_EQ(0, save(46));
    sandbox->writeFile(kStamp, std::string("\x07\0\0\0", 4));
    sandbox->remove(kLog);
    start();
    EXPECT_NE(46, brightness());
    EXPECT_EQ(1u, count(log(), "stamp(7) differs from version 8: parameter files of channel 1"));
}

// Finding 4: with broken device data nothing is written or removed, flush says 509 and the
// log says why once; repaired, the saved settings come back.
TEST_F(PersistTest, BrokenDeviceDataNeverCostsSavedSettings) {
    const std::string style = sandbox->readFile(kStyle);
    const std::string diversity = sandbox->readFile(kDiversity);
    const struct {
        const char* what;
        const char* file;
        std::string content;  // "-" removes the file
        const char* reason;   // what the error log says is wrong
    } cases[] = {
        {"empty style", kStyle, "", "Style.xml is missing or empty"},
        {"missing style", kStyle, "-", "Style.xml is missing or empty"},
        {"truncated style", kStyle, style.substr(0, style.size() / 2), "Style.xml does not parse"},
        {"bad UTF-8", kStyle, style.substr(0, 200) + "\xff\xfe<" + style.substr(200),
         "Style.xml is not valid UTF-8"},
        {"truncated diversity", kDiversity, diversity.substr(0, diversity.size() / 2),
         "StyleDiversity.xml does not parse"},
        {"missing diversity", kDiversity, "-", "StyleDiversity.xml is missing or empty"},
        // Refused by the size or depth limit before it is parsed.
        {"style too deep", kStyle, nestedXml(kMaxStyleDepth + 1),
         "Style.xml is beyond the size or depth limit"},
        {"diversity too large", kDiversity, diversity + std::string(kMaxStyleBytes, ' '),
         "StyleDiversity.xml is beyond the size or depth limit"},
    };
    start();
    ASSERT_EQ(0, save(47));
    ctl->setParamScheme(1);
    ASSERT_EQ(0, save(48));
    std::vector<std::string> files;
    for (int s = 0; s < 4; ++s) {
        files.push_back(sandbox->readFile(paramFile(s)));
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (std::string(c.content) == "-") {
            sandbox->remove(c.file);
        } else {
            sandbox->writeFile(c.file, c.content);
        }
        sandbox->writeFile(kStamp, std::string("\x07\0\0\0", 4));  // a mismatch must not wipe
        sandbox->remove(kLog);
        start();
        EXPECT_EQ(509, ctl->flush());
        EXPECT_EQ(509, ctl->flush());
        {
            StdoutCapture quiet;
            EXPECT_TRUE(ctl->resetParameters());
        }
        EXPECT_EQ(2u, count(log(), "device data broken")) << log();  // init and the reset's
        EXPECT_EQ(2u, count(log(), c.reason)) << log();
        for (int s = 0; s < 4; ++s) {
            EXPECT_EQ(files[s], sandbox->readFile(paramFile(s))) << s;
        }
        sandbox->writeFile(kStyle, style);
        sandbox->writeFile(kDiversity, diversity);
        sandbox->writeFile(kStamp, std::string("\x08\0\0\0", 4));
        start();
        EXPECT_EQ(47, brightness());
    }
}

// Finding 5: the key list is the same after a reset during a 60 fps stream, and whatever
// another channel decided about Beaway.
TEST_F(PersistTest, TheKeyListDoesNotDependOnStreamsOrOtherChannels) {
    start();
    const u32 keys = seam->keyValSum();
    AVStreamParam fast;
    fast.setFrameRate(60);
    video.setStreams({fast});
    start();
    {
        StdoutCapture quiet;
        EXPECT_TRUE(ctl->resetParameters());
    }
    EXPECT_EQ(keys, seam->keyValSum());
    EXPECT_EQ(keys * 8, sandbox->readFile(kFile0).size());
    setshowBeawayFalg(false);
    start();
    EXPECT_EQ(keys, seam->keyValSum());
}

// Finding 6: random bytes are a damaged file: kept as .bad, factory values, nothing of it
// reaches the processor, flush works.
// The processor values set since the last call, in order.
std::vector<std::pair<int, int>> processorSets() {
    std::vector<std::pair<int, int>> out;
    for (const iasim::Call& call : iasim::callLog()) {
        if (call.opt == IA_CMD_OPT_SET) {
            out.emplace_back(call.cmd, call.value);
        }
    }
    iasim::clearLog();
    return out;
}

TEST_F(PersistTest, ADamagedFileIsKeptAsBadAndNothingOfItReachesTheProcessor) {
    iasim::clearLog();
    start();
    const auto factorySets = processorSets();
    const std::string factory = sandbox->readFile(kFile0);
    std::mt19937 random(15);
    std::string noise(factory.size(), '\0');
    for (char& c : noise) {
        c = static_cast<char>(random());
    }
    sandbox->writeFile(kFile0, noise);
    sandbox->remove(kLog);
    iasim::reset();
    start();
    EXPECT_EQ(factorySets, processorSets());  // exactly what factory files send
    EXPECT_EQ(noise, sandbox->readFile(kFile0 + ".bad"));
    EXPECT_EQ(factory, sandbox->readFile(kFile0));
    EXPECT_EQ(1u, count(log(), "sensor0.cfg) damaged"));
    EXPECT_EQ(0, save(49));
}

// A file of another key list loads by key, with one report of the counts, and is rewritten in
// this list's layout.
TEST_F(PersistTest, AnotherKeyListLoadsByKey) {
    start();
    ASSERT_EQ(0, save(50));
    std::vector<KeyVal> records(seam->keyValSum());
    std::memcpy(records.data(), sandbox->readFile(kFile0).data(), records.size() * 8);
    const std::vector<KeyVal> expected = records;
    std::reverse(records.begin(), records.end());
    records.erase(records.begin());       // one key missing
    records.push_back(KeyVal{60001, 5});  // one unknown
    sandbox->writeFile(
        kFile0, std::string(reinterpret_cast<const char*>(records.data()), records.size() * 8));
    sandbox->remove(kLog);
    start();
    EXPECT_EQ(50, brightness());
    EXPECT_EQ(1u,
              count(log(), "sensor0.cfg) loaded by key: 88 known, 1 unknown dropped, 1 missing"));
    EXPECT_EQ(expected.size() * 8, sandbox->readFile(kFile0).size());
    start();
    EXPECT_EQ(1u, count(log(), "loaded by key"));  // once: the file has this layout now
}

// Finding 7: a scheme count that is no number gives the default four schemes, which save.
TEST_F(PersistTest, ASchemeCountThatIsNoNumberGivesFourSavingSchemes) {
    for (const char* detail : {"(max_scheme=0)", "(max_scheme=abc)", "(max_scheme=)"}) {
        SCOPED_TRACE(detail);
        start(detail);
        EXPECT_EQ(4u, seam->sysConf().nSchemeSum);
        EXPECT_EQ(0, save(51));
        start(detail);
        EXPECT_EQ(51, brightness());
    }
}

// Flash wear: one file's bytes per flush, none for an ordinary boot.
TEST_F(PersistTest, AFlushWritesOneFileAndAnOrdinaryBootNothing) {
    start();
    hostfw::resetBytesWritten();
    ASSERT_EQ(0, save(52));
    EXPECT_EQ(seam->keyValSum() * 8, hostfw::bytesWritten("/mnt/mtd"));
    hostfw::resetBytesWritten();
    start();
    stop();
    EXPECT_EQ(0u, hostfw::bytesWritten("/mnt/mtd"));
}

}  // namespace
