#include "MachineInfo.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "OVFile.h"

namespace {

std::string trim(const std::string& text) {
    const char* blanks = " \t\r\n";
    std::string::size_type begin = text.find_first_not_of(blanks);
    if (begin == std::string::npos) {
        return "";
    }
    std::string::size_type end = text.find_last_not_of(blanks);
    return text.substr(begin, end - begin + 1);
}

// A whole decimal number that fits an int.
bool toInt(const std::string& text, int& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    long number = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE || number < INT_MIN || number > INT_MAX) {
        return false;
    }
    value = static_cast<int>(number);
    return true;
}

}  // namespace

bool SystemInfoParser::parseMachineInfo(const std::string& path, MachineInfo& info) {
    OVFile file;
    if (!file.open(path.c_str(), OVFile::modeRead)) {
        return false;
    }
    MachineInfo parsed;
    bool haveType = false;
    bool badType = false;
    FILE* handle = file.getFileHandle();
    while (!std::feof(handle) && !std::ferror(handle)) {
        std::string line = OVFile::ReadOneLine(handle);
        std::string::size_type equal = line.find('=');
        if (equal == std::string::npos) {
            continue;
        }
        std::string name = trim(line.substr(0, equal));
        std::string value = trim(line.substr(equal + 1));
        if (name == "deviceType") {
            int type = 0;
            badType = !toInt(value, type);
            haveType = !badType;
            parsed.setDeviceType(type);
        } else if (name == "hardwareModel") {
            parsed.setHardwareModel(value);
        } else if (name == "hardwareCode") {
            parsed.setHardwareCode(value);
        }
    }
    if (!haveType || badType) {
        return false;
    }
    info = parsed;
    return true;
}
