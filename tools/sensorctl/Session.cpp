#include "Session.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <sstream>

#ifdef SENSORCTL_HAVE_READLINE
#include <readline/history.h>
#include <readline/readline.h>
#endif

#include "IaSim.h"
#include "MachineInfo.h"
#include "ModuleConfigure.h"

namespace {

const char* const kMachineInfo = "/mnt/mtd/code/factory_setting/machineinfo.ini";
const char* const kModuleConfig = "/hd1/moduleConfig/moduleConfig.xml";

// Folders a camera has and the device files installed into them (source relative to the
// device data folder, destination as a camera path).
const char* const kFolders[] = {"/mnt/mtd/code/config_file",
                                "/mnt/mtd/code/factory_setting",
                                "/mnt/mtd/log",
                                "/tmp",
                                "/hd1/moduleConfig/sensorConfig/style",
                                "/hd1/moduleConfig/sensorConfig/styleDiversity"};
struct DeviceFile {
    const char* source;
    const char* target;
};
const DeviceFile kDeviceFiles[] = {
    {"style/Style.xml", "/hd1/moduleConfig/sensorConfig/style/Style.xml"},
    {"style/Style_dome.xml", "/hd1/moduleConfig/sensorConfig/style/Style_dome.xml"},
    {"style/Style_Thermal.xml", "/hd1/moduleConfig/sensorConfig/style/Style_Thermal.xml"},
    {"styleDiversity/StyleDiversity.xml",
     "/hd1/moduleConfig/sensorConfig/styleDiversity/StyleDiversity.xml"},
    {"styleDiversity/StyleDiversity_dome.xml",
     "/hd1/moduleConfig/sensorConfig/styleDiversity/StyleDiversity_dome.xml"},
    {"styleDiversity/StyleDiversity_Thermal.xml",
     "/hd1/moduleConfig/sensorConfig/styleDiversity/StyleDiversity_Thermal.xml"},
    {"moduleConfig.xml", kModuleConfig},
};

bool makeDirs(const std::string& dir) {
    std::string partial;
    for (size_t i = 0; i <= dir.size(); ++i) {
        if (i == dir.size() || dir[i] == '/') {
            if (!partial.empty() && ::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) {
                return false;
            }
        }
        if (i < dir.size()) {
            partial += dir[i];
        }
    }
    return true;
}

bool fileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

bool copyFile(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    out << in.rdbuf();
    return static_cast<bool>(out);
}

std::string trim(const std::string& text) {
    size_t b = text.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) {
        return "";
    }
    size_t e = text.find_last_not_of(" \t\r\n");
    return text.substr(b, e - b + 1);
}

}  // namespace

Session::Session(const Options& options) : m_opt(options), m_bInited(false), m_nErrors(0) {}

Session::~Session() {
    shutdown();
}

std::string Session::hostPath(const std::string& cameraPath) const {
    return m_opt.root + cameraPath;
}

bool Session::prepareRoot() {
    if (!makeDirs(m_opt.root)) {
        std::cerr << "sensorctl: cannot create the root folder " << m_opt.root << "\n";
        return false;
    }
    char resolved[PATH_MAX];
    if (::realpath(m_opt.root.c_str(), resolved) != nullptr) {
        m_opt.root = resolved;
    }
    for (const char* folder : kFolders) {
        makeDirs(hostPath(folder));
    }
    for (const DeviceFile& f : kDeviceFiles) {
        if (!fileExists(hostPath(f.target)) &&
            !copyFile(m_opt.deviceDir + "/" + f.source, hostPath(f.target))) {
            std::cerr << "sensorctl: cannot install " << m_opt.deviceDir << "/" << f.source << "\n";
        }
    }
    if (m_opt.machineGiven || !fileExists(hostPath(kMachineInfo))) {
        std::ofstream out(hostPath(kMachineInfo), std::ios::trunc);
        out << "deviceType=" << m_opt.deviceType << "\nhardwareModel=" << m_opt.model
            << "\nhardwareCode=" << m_opt.code << "\n";
    }
    if (!m_opt.debugLevel.empty()) {
        std::ofstream out(hostPath("/tmp/Debug.sign"), std::ios::trunc);
        out << m_opt.debugLevel << "\n";
    }
    // The environment is complete before any controller thread starts; later commands only
    // change these values.
    ::setenv("SENSOR_ROOT", m_opt.root.c_str(), 1);
    ::setenv("SENSOR_TIME_SCALE", m_opt.timeScale.c_str(), 1);
    if (std::getenv("SENSOR_FAKE_TIME") == nullptr) {
        std::time_t now = std::time(nullptr);
        std::tm local;
        ::localtime_r(&now, &local);
        char hhmm[16];
        std::snprintf(hhmm, sizeof(hhmm), "%02d:%02d", local.tm_hour, local.tm_min);
        ::setenv("SENSOR_FAKE_TIME", hhmm, 1);
    }
    return true;
}

bool Session::machineInfo(MachineInfo& out) const {
    return SystemInfoParser::parseMachineInfo(kMachineInfo, out);
}

ModuleConfigure Session::moduleConfigure(bool* matched) const {
    ModuleConfigure module;
    MachineInfo machine;
    std::vector<ModuleConfigure> found;
    const bool bFound = machineInfo(machine) &&
                        ModuleConfigureParser::parse(kModuleConfig, machine.getHardwareModel(),
                                                     machine.getHardwareCode(), found) &&
                        !found.empty();
    if (bFound) {
        module = found.front();
    }
    if (matched != nullptr) {
        *matched = bFound;
    }
    if (m_opt.detailGiven) {
        module.setDetail(m_opt.detail);
    }
    if (m_opt.moduleId >= 0) {
        module.setModuleId(m_opt.moduleId);
    }
    if (!m_opt.parameters.empty()) {
        module.setParameters(m_opt.parameters);
    }
    return module;
}

int Session::cameraId() const {
    return m_opt.deviceType == DeviceType::THERMAL_DEVICE ? 2 : m_opt.channel;
}

int Session::ispChannel() const {
    return cameraId() - 1;
}

bool Session::ensureInit() {
    if (m_bInited) {
        return true;
    }
    if (!m_controller) {
        m_controller.reset(new ISensorController());
        m_controller->setChannelID(m_opt.channel);
        m_controller->setVideoStreamModule(&m_video);
    }
    m_bInited = m_controller->init(moduleConfigure());
    return m_bInited;
}

ISensorController& Session::controller() {
    ensureInit();
    return *m_controller;
}

void Session::shutdown() {
    if (m_controller) {
        if (m_bInited) {
            m_controller->uinit();
        }
        m_controller.reset();
    }
    m_bInited = false;
}

void Session::error(const std::string& what) {
    ++m_nErrors;
    std::fflush(stdout);
    std::cerr << "sensorctl: " << m_strWhere << ": " << m_strCommand << ": " << what << std::endl;
}

bool Session::execute(const std::string& rawLine, const std::string& source, int lineNo) {
    std::string line = trim(rawLine);
    if (line.empty() || line[0] == '#') {
        return true;
    }
    std::istringstream words(line);
    std::string name;
    words >> name;
    Args args;
    std::string rest;
    std::getline(words, rest);
    rest = trim(rest);
    // Commands that take a parameter text keep it whole; the others split at blanks.
    if (name == "set" || name == "apply" || name == "gets") {
        if (!rest.empty()) {
            args.push_back(rest);
        }
    } else {
        std::istringstream more(rest);
        std::string word;
        while (more >> word) {
            args.push_back(word);
        }
    }
    m_strCommand = name;
    m_strWhere = source + ":" + std::to_string(lineNo);
    bool goOn = runCommand(*this, name, args);
    std::fflush(stdout);
    return goOn;
}

bool Session::executeArgs(const std::string& name, const Args& args, const std::string& source) {
    m_strCommand = name;
    m_strWhere = source;
    bool goOn = runCommand(*this, name, args);
    std::fflush(stdout);
    return goOn;
}

bool Session::runStream(std::istream& in, const std::string& source) {
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        if (!execute(line, source, ++lineNo)) {
            return false;
        }
    }
    return true;
}

bool Session::runInteractive() {
#ifdef SENSORCTL_HAVE_READLINE
    int lineNo = 0;
    while (char* raw = ::readline("sensorctl> ")) {
        std::string line(raw);
        std::free(raw);
        if (!trim(line).empty()) {
            ::add_history(line.c_str());
        }
        if (!execute(line, "stdin", ++lineNo)) {
            return false;
        }
    }
    std::cout << "\n";
    return true;
#else
    return runStream(std::cin, "stdin");
#endif
}
