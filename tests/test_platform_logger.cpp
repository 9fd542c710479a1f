#include <regex>
#include <string>

#include "OVLogger.h"
#include "Sandbox.h"

namespace {
const std::string kLog = "/mnt/mtd/log/SensorError.log";

class PlatformLoggerTest : public SandboxTest {
protected:
    void write(int maxSize, const std::string& text, const char* path = kLog.c_str()) {
        OVLogger logger;
        ASSERT_TRUE(logger.init(path, maxSize, 3));
        logger.writeLog("[sensor warn]", text.c_str());
    }
    std::string records(const std::string& path) {  // without their time stamps
        return std::regex_replace(sandbox->readFile(path),
                                  std::regex("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d "), "");
    }
};

TEST_F(PlatformLoggerTest, AppendsStampedRecordsEndingInOneNewline) {
    write(10240, "file:a fun:b line:3\n");
    write(10240, "");
    EXPECT_TRUE(
        std::regex_match(sandbox->readFile(kLog),
                         std::regex("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d \\[sensor "
                                    "warn\\] file:a fun:b line:3\n.{19} \\[sensor warn\\] \n")));
}

TEST_F(PlatformLoggerTest, RotatesBySizeKeepingThreeFiles) {
    const std::string pad(40, '.');  // every record exceeds the limit: each later write rotates
    for (const char* name : {"A", "B", "C", "D"}) {
        write(40, name + pad);
    }
    EXPECT_EQ("[sensor warn] D" + pad + "\n", records(kLog));
    EXPECT_EQ("[sensor warn] C" + pad + "\n", records(kLog + ".1"));
    EXPECT_EQ("[sensor warn] B" + pad + "\n", records(kLog + ".2"));
    EXPECT_EQ(3u, sandbox->listFiles().size());
}

TEST_F(PlatformLoggerTest, UnopenableOrUninitialisedLoggerDoesNothing) {
    OVLogger().writeLog("[t]", "x");
    write(10240, "x", "/no/such/dir/x.log");
    EXPECT_TRUE(sandbox->listFiles().empty());
}
}  // namespace
