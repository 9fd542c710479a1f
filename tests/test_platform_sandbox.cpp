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
class PlatformSandboxTest : public SandboxTest {};

TEST_F(PlatformSandboxTest, ResolvesAbsolutePathsUnderTheRoot) {
    const std::string root = sandbox->root();
    EXPECT_EQ(root + "/tmp/Debug.sign", OVPath::resolve("/tmp/Debug.sign"));
    EXPECT_EQ("relative/x", OVPath::resolve("relative/x"));
    ::setenv("SENSOR_ROOT", (root + "//").c_str(), 1);
    EXPECT_EQ(root + "/hd1", OVPath::resolve("/hd1"));
    ::setenv("SENSOR_ROOT", "", 1);  // empty: paths are used as given
    EXPECT_EQ("/tmp/Debug.sign", OVPath::resolve("/tmp/Debug.sign"));
    EXPECT_TRUE(OVPath::exists("/"));
    ::setenv("SENSOR_ROOT", root.c_str(), 1);
    EXPECT_FALSE(OVPath::exists("/tmp/Debug.sign"));
    sandbox->setDebugSwitch("6\n");
    EXPECT_TRUE(OVPath::exists("/tmp/Debug.sign"));
}

TEST_F(PlatformSandboxTest, NothingIsWrittenOutsideTheRoot) {
    const std::string probe = "/mnt/mtd/code/config_file/tarnis-probe-" + std::to_string(getpid());
    OVFile file;
    ASSERT_TRUE(file.open(probe.c_str(), OVFile::modeWrite | OVFile::modeTruncate));
    file.close();
    OVLogger logger;
    logger.init("/mnt/mtd/log/SensorError.log", 10240, 3);
    logger.writeLog("[t]", "x");
    ASSERT_TRUE(saveXmlFile(TiXmlDocument(), "/tmp/merge_style_ch9.xml"));
    EXPECT_EQ(0, sy_system("touch /hd1/moduleConfig/touched", 30));
    EXPECT_EQ(::access(probe.c_str(), F_OK), -1);
    EXPECT_EQ(
        (std::vector<std::string>{"/hd1/moduleConfig/touched", probe,
                                  "/mnt/mtd/log/SensorError.log", "/tmp/merge_style_ch9.xml"}),
        sandbox->listFiles());
}

TEST_F(PlatformSandboxTest, ShellCommandRunsGlobsInsideTheRoot) {
    for (const char* name : {"sensor0.cfg", "sensor3.cfg", "sensor4.cfg", "sensor-thermal2.cfg"}) {
        sandbox->writeFile(std::string("/mnt/mtd/code/config_file/") + name, "x");
    }
    EXPECT_EQ(0, sy_system("rm -rf /mnt/mtd/code/config*/sensor[0-3].cfg", 30));
    EXPECT_EQ((std::vector<std::string>{"/mnt/mtd/code/config_file/sensor-thermal2.cfg",
                                        "/mnt/mtd/code/config_file/sensor4.cfg"}),
              sandbox->listFiles());
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
