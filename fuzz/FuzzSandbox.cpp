#include "FuzzSandbox.h"

#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "SensorPaths.h"

namespace fs = std::filesystem;

namespace fuzz {

namespace {

std::string g_root;

void removeRoot() {
    std::error_code ignored;
    fs::remove_all(g_root, ignored);
}

std::string readHost(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buf;
    buf << in.rdbuf();
    return buf.str();
}

}  // namespace

void setUpSandbox() {
    if (!g_root.empty()) {
        return;
    }
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && tmp[0] ? tmp : "/tmp") + "/tarnis-fuzz-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) == nullptr) {
        abort();
    }
    g_root = buf.data();
    atexit(removeRoot);
    using namespace SensorPaths;
    for (const std::string& file :
         {std::string(kParamFileDir) + "/", std::string(kMachineInfoPath),
          std::string(kErrorLogPath), std::string(kDebugSwitchPath), std::string(kStyleDir),
          std::string(kStyleDiversityDir), std::string(kModuleConfigPath)}) {
        fs::create_directories(fs::path(g_root + file).parent_path());
    }
    setenv("SENSOR_ROOT", g_root.c_str(), 1);
    setenv("SENSOR_TIME_SCALE", "0.0001", 1);
    setenv("SENSOR_FAKE_TIME", "12:00", 1);
    const std::string device = TARNIS_DEVICE_DIR;
    for (const char* name : {"Style.xml", "Style_dome.xml", "Style_Thermal.xml"}) {
        writeFile(std::string(kStyleDir) + name, readHost(device + "/style/" + name));
    }
    for (const char* name :
         {"StyleDiversity.xml", "StyleDiversity_dome.xml", "StyleDiversity_Thermal.xml"}) {
        writeFile(std::string(kStyleDiversityDir) + name,
                  readHost(device + "/styleDiversity/" + name));
    }
    writeFile(kMachineInfoPath, readHost(device + "/machineinfo.ini"));
    writeFile(kModuleConfigPath, readHost(device + "/moduleConfig.xml"));
    // Silent: the reports of every refused input would cost more than the inputs themselves.
    writeFile(kDebugSwitchPath, "-1\n0\n");
}

std::string hostPath(const std::string& cameraPath) {
    return g_root + cameraPath;
}

void writeFile(const std::string& cameraPath, const std::string& bytes) {
    std::ofstream(hostPath(cameraPath), std::ios::binary | std::ios::trunc) << bytes;
}

uint8_t Input::byte() {
    return m_pos < m_size ? m_data[m_pos++] : 0;
}

int32_t Input::int32() {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        value = (value << 8) | byte();
    }
    int32_t out;
    memcpy(&out, &value, sizeof(out));
    return out;
}

std::string Input::text(char separator) {
    std::string out;
    while (m_pos < m_size && m_data[m_pos] != static_cast<uint8_t>(separator)) {
        out.push_back(static_cast<char>(m_data[m_pos++]));
    }
    if (m_pos < m_size) {
        ++m_pos;
    }
    return out;
}

}  // namespace fuzz
