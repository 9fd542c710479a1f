#include "OVLogger.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>

#include "OVPath.h"

namespace {

// Loggers are short-lived and several may append to one file from different threads: one
// lock keeps each record whole and each rotation complete.
std::mutex& logMutex() {
    static std::mutex* mutex = new std::mutex;
    return *mutex;
}

std::string rotatedName(const std::string& path, int index) {
    return path + "." + std::to_string(index);
}

long long fileSize(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

// path.(maxFiles-1) is dropped, path.k becomes path.(k+1), path becomes path.1.
void rotate(const std::string& path, int maxFiles) {
    if (maxFiles <= 1) {
        ::unlink(path.c_str());
        return;
    }
    ::unlink(rotatedName(path, maxFiles - 1).c_str());
    for (int k = maxFiles - 2; k >= 1; --k) {
        std::rename(rotatedName(path, k).c_str(), rotatedName(path, k + 1).c_str());
    }
    std::rename(path.c_str(), rotatedName(path, 1).c_str());
}

std::string timeStamp() {
    std::time_t now = std::time(nullptr);
    std::tm local;
    char text[32] = "";
    if (::localtime_r(&now, &local) != nullptr) {
        std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", &local);
    }
    return text;
}

}  // namespace

OVLogger::OVLogger() : m_nMaxSize(0), m_nMaxFiles(0), m_bInited(false) {}

OVLogger::~OVLogger() {}

bool OVLogger::init(const char* path, int maxSize, int maxFiles) {
    m_bInited = false;
    if (path == nullptr || path[0] == '\0' || maxSize <= 0 || maxFiles <= 0) {
        return false;
    }
    // The camera path is kept and resolved at each write, like every other file access.
    m_strPath = path;
    m_nMaxSize = maxSize;
    m_nMaxFiles = maxFiles;
    m_bInited = true;
    return true;
}

void OVLogger::writeLog(const char* tag, const char* text) {
    if (!m_bInited) {
        return;
    }
    std::string record = timeStamp() + " " + (tag ? tag : "") + " " + (text ? text : "");
    if (record.back() != '\n') {
        record.push_back('\n');
    }
    std::lock_guard<std::mutex> guard(logMutex());
    std::string path = OVPath::resolve(m_strPath);
    if (fileSize(path) >= m_nMaxSize) {
        rotate(path, m_nMaxFiles);
    }
    FILE* file = std::fopen(path.c_str(), "ab");
    if (file == nullptr) {
        return;
    }
    std::fwrite(record.data(), 1, record.size(), file);
    std::fclose(file);
}
