#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "OVLogger.h"
#include "Sandbox.h"

namespace {
const char* kLog = "/mnt/mtd/log/SensorError.log";

class PlatformLoggerTest : public SandboxTest {
  protected:
    void write(int maxSize, const char* text) {
        OVLogger logger;
        ASSERT_TRUE(logger.init(kLog, maxSize, 3));
        logger.writeLog("[sensor warn]", text);
    }
    std::string body(const std::string& cameraPath) {  // records without their time stamps
        return std::regex_replace(sandbox->readFile(cameraPath),
                                  std::regex("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d "), "");
    }
};

TEST_F(PlatformLoggerTest, AppendsStampedRecords) {
    write(10240, "file:a fun:b line:3\n");
    write(10240, "");
    EXPECT_TRUE(std::regex_match(sandbox->readFile(kLog),
                                 std::regex("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d "
                                            "\\[sensor warn\\] file:a fun:b line:3\n.{19} "
                                            "\\[sensor warn\\] \n")));
}

TEST_F(PlatformLoggerTest, RotatesBySizeKeepingThreeFiles) {
    // Each record is larger than the limit, so every write after the first rotates.
    const std::string pad(40, '.');
    for (const char* name : {"A", "B", "C", "D"}) {
        write(40, (name + pad).c_str());
    }
    EXPECT_EQ("[sensor warn] D" + pad + "\n", body(kLog));
    EXPECT_EQ("[sensor warn] C" + pad + "\n", body(std::string(kLog) + ".1"));
    EXPECT_EQ("[sensor warn] B" + pad + "\n", body(std::string(kLog) + ".2"));
    EXPECT_EQ(3u, sandbox->listFiles().size());
}

TEST_F(PlatformLoggerTest, UnopenableOrUninitialisedLoggerDoesNothing) {
    OVLogger idle;
    idle.writeLog("[t]", "x");
    OVLogger lost;
    ASSERT_TRUE(lost.init("/no/such/dir/x.log", 10240, 3));
    lost.writeLog("[t]", "x");
    EXPECT_TRUE(sandbox->listFiles().empty());
}

TEST_F(PlatformLoggerTest, ConcurrentWritersKeepRecordsWhole) {
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([this] {
            for (int i = 0; i < 50; ++i) {
                write(1 << 20, "0123456789012345678901234567890123456789");
            }
        });
    }
    for (std::thread& w : writers) {
        w.join();
    }
    std::string all = body(kLog);
    std::string record = "[sensor warn] 0123456789012345678901234567890123456789\n";
    ASSERT_EQ(200 * record.size(), all.size());
    for (size_t at = 0; at < all.size(); at += record.size()) {
        ASSERT_EQ(record, all.substr(at, record.size()));
    }
}
}  // namespace
