#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "OVFile.h"
#include "OVLogger.h"
#include "OVPath.h"
#include "Sandbox.h"
#include "SyCommand.h"
#include "XmlString.h"

namespace {
using Files = std::vector<std::string>;
class PlatformSandboxTest : public SandboxTest {};

TEST_F(PlatformSandboxTest, ResolvesAbsolutePathsUnderTheRoot) {
    const std::string root = sandbox->root();
    EXPECT_EQ("relative/x", OVPath::resolve("relative/x"));
    ::setenv("SENSOR_ROOT", (root + "//").c_str(), 1);
    EXPECT_EQ(root + "/tmp/Debug.sign", OVPath::resolve("/tmp/Debug.sign"));
    ::setenv("SENSOR_ROOT", "", 1);  // empty: paths are used as given
    EXPECT_EQ("/tmp/Debug.sign", OVPath::resolve("/tmp/Debug.sign"));
    ::setenv("SENSOR_ROOT", root.c_str(), 1);
}

TEST_F(PlatformSandboxTest, NothingIsWrittenOutsideTheRoot) {
    const std::string probe = "/mnt/mtd/code/config_file/probe-" + std::to_string(getpid());
    OVFile file;
    ASSERT_TRUE(file.open(probe.c_str(), OVFile::modeWrite | OVFile::modeTruncate));
    file.close();
    OVLogger logger;
    logger.init("/mnt/mtd/log/SensorError.log", 10240, 3);
    logger.writeLog("[t]", "x");
    ASSERT_TRUE(saveXmlFile(TiXmlDocument(), "/tmp/merge_style_ch9.xml"));
    EXPECT_EQ(0, sy_system("touch /hd1/moduleConfig/touched", 30));
    EXPECT_NE(0, ::access(probe.c_str(), F_OK));
    EXPECT_EQ((Files{"/hd1/moduleConfig/touched", probe, "/mnt/mtd/log/SensorError.log",
                     "/tmp/merge_style_ch9.xml"}),
              sandbox->listFiles());
}

TEST_F(PlatformSandboxTest, ShellCommandExpandsGlobsInsideTheRoot) {
    const std::string dir = "/mnt/mtd/code/config_file/";
    for (const char* name : {"sensor0.cfg", "sensor3.cfg", "sensor4.cfg", "sensor-thermal2.cfg"}) {
        sandbox->writeFile(dir + name, "x");
    }
    EXPECT_EQ(0, sy_system("rm -rf /mnt/mtd/code/config*/sensor[0-3].cfg", 30));
    EXPECT_EQ((Files{dir + "sensor-thermal2.cfg", dir + "sensor4.cfg"}), sandbox->listFiles());
}

TEST_F(PlatformSandboxTest, ShellCommandResolvesOnlyWordsStartingWithSlash) {
    StdoutCapture out;
    EXPECT_EQ(0, sy_system("printf '%s|'  /a\tb/c x=/d", 30));
    EXPECT_EQ(sandbox->root() + "/a|b/c|x=/d|", out.stop());
    EXPECT_EQ(3, sy_system("exit 3", 30));
    EXPECT_EQ(-1, sy_system("", 30));
    EXPECT_EQ(-1, sy_system(nullptr, 30));
}
}  // namespace
