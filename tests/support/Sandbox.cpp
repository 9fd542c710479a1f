#include "Sandbox.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "FileFaults.h"
#include "IaSim.h"
#include "XmlString.h"

namespace fs = std::filesystem;

namespace {

void makeDirs(const std::string& dir) {
    std::error_code ignored;
    fs::create_directories(dir, ignored);
}

}  // namespace

std::string readHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buf;
    buf << in.rdbuf();
    return buf.str();
}

std::string nestedXml(size_t depth, const std::string& inner) {
    std::string text;
    for (size_t i = 0; i < depth; ++i) {
        text += "<e>";
    }
    text += inner;
    for (size_t i = 0; i < depth; ++i) {
        text += "</e>";
    }
    return text;
}

ToolRun runSensorctl(const std::string& dir, const std::string& args) {
    const char* tool = std::getenv("SENSORCTL");
    const char* emulator = std::getenv("SENSORCTL_EMULATOR");
    const std::string cmd = std::string(emulator ? emulator : "") + " " +
                            (tool ? tool : "sensorctl") + " --root " + dir + "/cam " + args + " >" +
                            dir + "/out.txt 2>" + dir + "/err.txt";
    const int status = std::system(cmd.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readHostFile(dir + "/out.txt"),
            readHostFile(dir + "/err.txt")};
}

std::string printedXml(const std::string& xml) {
    TiXmlDocument doc;
    doc.Parse(xml.c_str(), nullptr, TIXML_ENCODING_UTF8);
    std::string text;
    getXmlString(doc, text);
    return text;
}

Sandbox::Sandbox() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && tmp[0] ? tmp : "/tmp") + "/tarnis-test-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    char* made = ::mkdtemp(buf.data());
    if (made == nullptr) {
        std::abort();
    }
    m_root = made;
    for (const char* dir : {"/mnt/mtd/code/config_file", "/mnt/mtd/code/factory_setting",
                            "/mnt/mtd/log", "/tmp", "/hd1/moduleConfig/sensorConfig/style",
                            "/hd1/moduleConfig/sensorConfig/styleDiversity"}) {
        makeDirs(m_root + dir);
    }
    ::setenv("SENSOR_ROOT", m_root.c_str(), 1);
    ::setenv("SENSOR_TIME_SCALE", "0.001", 1);
    ::setenv("SENSOR_FAKE_TIME", "12:00", 1);
}

Sandbox::~Sandbox() {
    std::error_code ignored;
    fs::remove_all(m_root, ignored);
}

std::string Sandbox::path(const std::string& cameraPath) const {
    return m_root + cameraPath;
}

void Sandbox::writeFile(const std::string& cameraPath, const std::string& bytes) const {
    std::string full = path(cameraPath);
    makeDirs(full.substr(0, full.rfind('/')));
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Sandbox::readFile(const std::string& cameraPath) const {
    return readHostFile(path(cameraPath));
}

bool Sandbox::exists(const std::string& cameraPath) const {
    return fs::exists(path(cameraPath));
}

void Sandbox::remove(const std::string& cameraPath) const {
    ::unlink(path(cameraPath).c_str());
}

void Sandbox::installDeviceData() const {
    const std::string device = TARNIS_DEVICE_DIR;
    const std::string style = "/hd1/moduleConfig/sensorConfig/style/";
    const std::string div = "/hd1/moduleConfig/sensorConfig/styleDiversity/";
    for (const char* name : {"Style.xml", "Style_dome.xml", "Style_Thermal.xml"}) {
        writeFile(style + name, readHostFile(device + "/style/" + name));
    }
    for (const char* name :
         {"StyleDiversity.xml", "StyleDiversity_dome.xml", "StyleDiversity_Thermal.xml"}) {
        writeFile(div + name, readHostFile(device + "/styleDiversity/" + name));
    }
    writeFile("/mnt/mtd/code/factory_setting/machineinfo.ini",
              readHostFile(device + "/machineinfo.ini"));
    writeFile("/hd1/moduleConfig/moduleConfig.xml", readHostFile(device + "/moduleConfig.xml"));
}

void Sandbox::writeMachineInfo(int deviceType, const std::string& model,
                               const std::string& code) const {
    writeFile("/mnt/mtd/code/factory_setting/machineinfo.ini",
              "deviceType=" + std::to_string(deviceType) + "\nhardwareModel=" + model +
                  "\nhardwareCode=" + code + "\n");
}

void Sandbox::setDebugSwitch(const std::string& content) const {
    writeFile("/tmp/Debug.sign", content);
}

std::vector<std::string> Sandbox::listFiles() const {
    std::vector<std::string> out;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(m_root)) {
        if (!e.is_directory()) {
            out.push_back(e.path().string().substr(m_root.size()));
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

void linkFileFaultInterposers();

void SandboxTest::SetUp() {
    linkFileFaultInterposers();
    sandbox = new Sandbox();
    iasim::reset();
    hostfw::clearFileFaults();
}

void SandboxTest::TearDown() {
    delete sandbox;
    sandbox = nullptr;
}

StdoutCapture::StdoutCapture() : m_savedFd(-1), m_active(false) {
    std::fflush(stdout);
    char name[] = "/tmp/tarnis-stdout-XXXXXX";
    int fd = ::mkstemp(name);
    if (fd < 0) {
        return;
    }
    m_path = name;
    m_savedFd = ::dup(1);
    ::dup2(fd, 1);
    ::close(fd);
    m_active = true;
}

StdoutCapture::~StdoutCapture() {
    stop();
}

std::string StdoutCapture::stop() {
    if (!m_active) {
        return "";
    }
    std::fflush(stdout);
    ::dup2(m_savedFd, 1);
    ::close(m_savedFd);
    m_active = false;
    std::string text = readHostFile(m_path);
    ::unlink(m_path.c_str());
    return text;
}
