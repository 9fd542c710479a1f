#include "Session.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <vector>

#include "IaSim.h"
#include "MachineInfo.h"
#include "ModuleConfigure.h"
#include "Output.h"
#include "SensorFile.h"
#include "SensorPaths.h"

namespace {

const char* const kMachineInfo = SensorPaths::kMachineInfoPath;
const char* const kModuleConfig = SensorPaths::kModuleConfigPath;
const char* const kErrorLog = SensorPaths::kErrorLogPath;
// What the library's logger writes at the head of every failed check.
const char* const kFailedCheckMark = "[sensor assert] file:";

// The folder of a camera path: everything before its last "/".
std::string folderOf(const std::string& path) {
    return path.substr(0, path.rfind('/'));
}

// Folders a camera has: those of every file the library reads or writes.
std::vector<std::string> cameraFolders() {
    return {folderOf(SensorPaths::paramFilePath(1, 0)), folderOf(SensorPaths::kMachineInfoPath),
            folderOf(SensorPaths::kErrorLogPath),       folderOf(SensorPaths::kDebugSwitchPath),
            folderOf(SensorPaths::kStyleDir),           folderOf(SensorPaths::kStyleDiversityDir)};
}

// The device files installed into them (source relative to the device data folder,
// destination as a camera path).
struct DeviceFile {
    std::string source;
    std::string target;
};
std::vector<DeviceFile> deviceFiles() {
    std::vector<DeviceFile> files;
    for (const char* name : {"Style.xml", "Style_dome.xml", "Style_Thermal.xml"}) {
        files.push_back({std::string("style/") + name, SensorPaths::kStyleDir + std::string(name)});
    }
    for (const char* name :
         {"StyleDiversity.xml", "StyleDiversity_dome.xml", "StyleDiversity_Thermal.xml"}) {
        files.push_back({std::string("styleDiversity/") + name,
                         SensorPaths::kStyleDiversityDir + std::string(name)});
    }
    files.push_back({"moduleConfig.xml", kModuleConfig});
    return files;
}

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

// The device data: beside the executable (a build tree links it there), else where the
// install puts it relative to the executable's folder.
std::string defaultDeviceDir() {
    char exe[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", exe, sizeof(exe) - 1);
    std::string dir = n > 0 ? std::string(exe, static_cast<size_t>(n)) : std::string(".");
    dir = dir.substr(0, dir.find_last_of('/') + 1);
    if (fileExists(dir + "device/style")) {
        return dir + "device";
    }
    return dir + SENSORCTL_DEVICE_FROM_BIN;
}

// A fresh root: every entry removed. Only the folders a sandbox holds are removed, so a
// mistyped root (a home folder, "/") is refused rather than emptied.
bool emptyRoot(const std::string& root) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::exists(root, ec)) {
        return true;
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(root, ec)) {
        const std::string name = entry.path().filename().string();
        if (name != "hd1" && name != "mnt" && name != "tmp") {
            std::cerr << "sensorctl: --fresh: " << root << " holds " << name
                      << ", which is not part of a sandbox; not emptied\n";
            return false;
        }
    }
    for (const char* name : {"hd1", "mnt", "tmp"}) {
        fs::remove_all(fs::path(root) / name, ec);
        if (ec) {
            std::cerr << "sensorctl: --fresh: cannot empty " << root << ": " << ec.message()
                      << "\n";
            return false;
        }
    }
    return true;
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

Session::Session(const Options& options)
    : m_opt(options), m_bInited(false), m_nErrors(0), m_bEcho(false), m_pCapture(nullptr) {
    if (m_opt.deviceDir.empty()) {
        m_opt.deviceDir = defaultDeviceDir();
    }
}

Session::~Session() {
    shutdown();
}

std::string Session::hostPath(const std::string& cameraPath) const {
    return m_opt.root + cameraPath;
}

bool Session::prepareRoot() {
    if (m_opt.fresh && !emptyRoot(m_opt.root)) {
        return false;
    }
    if (!makeDirs(m_opt.root)) {
        std::cerr << "sensorctl: cannot create the root folder " << m_opt.root << "\n";
        return false;
    }
    char resolved[PATH_MAX];
    if (::realpath(m_opt.root.c_str(), resolved) != nullptr) {
        m_opt.root = resolved;
    }
    for (const std::string& folder : cameraFolders()) {
        makeDirs(hostPath(folder));
    }
    for (const DeviceFile& f : deviceFiles()) {
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
        std::ofstream out(hostPath(SensorPaths::kDebugSwitchPath), std::ios::trunc);
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
    forgetControls();
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
    forgetControls();
}

const std::vector<Control>* Session::controls() {
    if (!ensureInit()) {
        return nullptr;
    }
    if (m_vControls.empty()) {
        std::ifstream in(hostPath(SensorPaths::mergedStylePath(cameraId())), std::ios::binary);
        std::stringstream merged;
        merged << in.rdbuf();
        bool showWDR = true;
        m_controller->getShowWDRFalg(showWDR);
        std::string dynamic;
        iasim::UnloggedScope quiet;  // the tool's own queries stay out of the processor log
        getDnaStyle(cameraId(), merged.str().c_str(), dynamic, showWDR);
        m_vControls = readControls(dynamic);
    }
    return &m_vControls;
}

bool Session::lookupKey(const std::string& text, long& key) {
    std::string why;
    if (!::lookupKey(text, controls(), key, why)) {
        error(why);
        return false;
    }
    return true;
}

bool Session::lookupCommand(const std::string& text, long& command) {
    std::string why;
    if (!::lookupCommand(text, controls(), command, why)) {
        error(why);
        return false;
    }
    return true;
}

void Session::result(const std::string& text) {
    if (m_pCapture != nullptr) {
        *m_pCapture += (m_pCapture->empty() ? "" : "\n") + text;
    } else {
        printResult(text);
    }
}

void Session::resultBool(bool ok, const std::string& outputs) {
    result(std::string(ok ? "true" : "false") + (outputs.empty() ? "" : " ") + outputs);
    if (!ok && m_opt.strict) {
        error("the call returned false");
    }
}

void Session::resultCode(int code) {
    result(std::to_string(code));
    if (code != 0 && m_opt.strict) {
        error("the call returned " + std::to_string(code));
    }
}

long Session::errorLogSize() const {
    struct stat st;
    return ::stat(hostPath(kErrorLog).c_str(), &st) == 0 ? static_cast<long>(st.st_size) : 0;
}

int Session::failedChecksSince(long size) const {
    std::ifstream in(hostPath(kErrorLog), std::ios::binary);
    in.seekg(0, std::ios::end);
    long now = static_cast<long>(in.tellg());
    in.seekg(now >= size ? size : 0);  // a smaller file was rotated: all of it is new
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    int count = 0;
    for (size_t at = text.find(kFailedCheckMark); at != std::string::npos;
         at = text.find(kFailedCheckMark, at + 1)) {
        ++count;
    }
    return count;
}

void Session::error(const std::string& what) {
    ++m_nErrors;
    report(Tint::error, what);
}

void Session::warn(const std::string& what) {
    report(Tint::warning, "warning: " + what);
}

void Session::report(Tint tint, const std::string& what) const {
    std::fflush(stdout);
    std::fflush(results());
    std::cerr << tinted(tint, "sensorctl: " + m_strWhere + ": " + m_strCommand + ": " + what,
                        stderr)
              << std::endl;
}

void Session::splitLine(const std::string& line, std::string& name, Args& args) const {
    std::istringstream words(line);
    words >> name;
    std::string rest;
    std::getline(words, rest);
    rest = trim(rest);
    args.clear();
    if (takesWholeText(name)) {
        if (!rest.empty()) {
            args.push_back(rest);
        }
        return;
    }
    std::istringstream more(rest);
    std::string word;
    while (more >> word) {
        args.push_back(word);
    }
}

bool Session::dispatch(const std::string& name, const Args& args) {
    const long logSize = m_opt.strict ? errorLogSize() : 0;
    bool goOn = runCommand(*this, name, args);
    if (m_opt.strict) {
        int failed = failedChecksSince(logSize);
        if (failed > 0) {
            error("the library reported " + std::to_string(failed) + " failed check" +
                  (failed == 1 ? "" : "s") + " (see " + kErrorLog + ")");
        }
    }
    std::fflush(stdout);
    std::fflush(results());
    return goOn;
}

bool Session::execute(const std::string& rawLine, const std::string& source, int lineNo) {
    std::string line = trim(rawLine);
    if (line.empty() || line[0] == '#') {
        return true;
    }
    std::string name;
    Args args;
    splitLine(line, name, args);
    m_strCommand = name;
    m_strWhere = source + ":" + std::to_string(lineNo);
    if (m_bEcho) {
        printEcho(line);
    }
    return dispatch(name, args);
}

void Session::capture(const std::string& line, std::string& out, int& errors) {
    std::string name;
    Args args;
    splitLine(trim(line), name, args);
    const std::string outer = m_strCommand;
    const int before = m_nErrors;
    std::string captured;
    m_pCapture = &captured;
    m_strCommand = name;
    dispatch(name, args);
    m_pCapture = nullptr;
    m_strCommand = outer;
    out = captured;
    errors = m_nErrors - before;
}

bool Session::executeArgs(const std::string& name, const Args& args, const std::string& source) {
    m_strCommand = name;
    m_strWhere = source;
    return dispatch(name, args);
}

bool Session::runStream(std::istream& in, const std::string& source) {
    m_bEcho = !m_opt.quiet;
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        if (!execute(line, source, ++lineNo)) {
            return false;
        }
    }
    return true;
}
