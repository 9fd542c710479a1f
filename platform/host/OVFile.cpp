#include "OVFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <vector>

#include "OVPath.h"

namespace {

bool isReadMode(int mode) {
    return mode == OVFile::modeRead;
}

bool isReplaceMode(int mode) {
    return (mode & OVFile::modeWrite) != 0 && (mode & OVFile::modeTruncate) != 0;
}

// Creates a uniquely named file beside `target` and opens it for writing. The name is
// returned in `tempPath`; null when the directory cannot take a new file.
FILE* openTempBeside(const std::string& target, std::string& tempPath) {
    std::string pattern = target + ".tmp.XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd < 0) {
        return nullptr;
    }
    // mkstemp creates the file private to its owner; the replaced file is an ordinary one.
    ::fchmod(fd, 0644);
    FILE* file = ::fdopen(fd, "wb");
    if (file == nullptr) {
        ::close(fd);
        ::unlink(name.data());
        return nullptr;
    }
    tempPath = name.data();
    return file;
}

unsigned int clampCount(unsigned int count) {
    return count > static_cast<unsigned int>(INT_MAX) ? static_cast<unsigned int>(INT_MAX) : count;
}

}  // namespace

OVFile::OVFile() : m_pFile(nullptr), m_nMode(0) {}

OVFile::~OVFile() {
    close();
}

bool OVFile::open(const char* path, int mode) {
    close();
    if (path == nullptr || path[0] == '\0') {
        return false;
    }
    std::string target = OVPath::resolve(path);
    if (isReadMode(mode)) {
        m_pFile = std::fopen(target.c_str(), "rb");
    } else if (isReplaceMode(mode)) {
        m_pFile = openTempBeside(target, m_strTemp);
    }
    if (m_pFile == nullptr) {
        m_strTemp.clear();
        return false;
    }
    m_nMode = mode;
    m_strTarget = target;
    return true;
}

int OVFile::read(void* buf, unsigned int count) {
    if (m_pFile == nullptr || buf == nullptr || !isReadMode(m_nMode)) {
        return 0;
    }
    return static_cast<int>(std::fread(buf, 1, clampCount(count), m_pFile));
}

int OVFile::write(const void* buf, unsigned int count) {
    if (m_pFile == nullptr || buf == nullptr || !isReplaceMode(m_nMode)) {
        return 0;
    }
    return static_cast<int>(std::fwrite(buf, 1, clampCount(count), m_pFile));
}

long long OVFile::getLength() {
    if (m_pFile == nullptr) {
        return -1;
    }
    if (isReplaceMode(m_nMode)) {
        // Buffered output counts as part of the file.
        std::fflush(m_pFile);
    }
    struct stat st;
    if (::fstat(::fileno(m_pFile), &st) != 0) {
        return -1;
    }
    return static_cast<long long>(st.st_size);
}

std::string OVFile::ReadOneLine(FILE* file) {
    std::string line;
    if (file == nullptr) {
        return line;
    }
    int c;
    while ((c = std::getc(file)) != EOF && c != '\n') {
        line.push_back(static_cast<char>(c));
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

void OVFile::close() {
    if (m_pFile == nullptr) {
        return;
    }
    bool failed = std::ferror(m_pFile) != 0;
    failed = (std::fclose(m_pFile) != 0) || failed;
    m_pFile = nullptr;
    if (!m_strTemp.empty()) {
        // A write that did not complete leaves the previous file in place.
        if (failed || std::rename(m_strTemp.c_str(), m_strTarget.c_str()) != 0) {
            ::unlink(m_strTemp.c_str());
        }
    }
    m_strTemp.clear();
    m_strTarget.clear();
    m_nMode = 0;
}
