#include "OVFile.h"

#include <sys/stat.h>

#include <climits>

#include "FileFaults.h"
#include "OVPath.h"

namespace {

bool isReadMode(int mode) {
    return mode == OVFile::modeRead;
}

bool isReplaceMode(int mode) {
    return (mode & OVFile::modeWrite) != 0 && (mode & OVFile::modeTruncate) != 0;
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
    if (hostfw::takeFileFault(hostfw::FileOp::open, target)) {
        return false;
    }
    if (isReadMode(mode)) {
        m_pFile = std::fopen(target.c_str(), "rb");
    } else if (isReplaceMode(mode)) {
        m_pFile = std::fopen(target.c_str(), "wb");
    }
    if (m_pFile == nullptr) {
        return false;
    }
    m_nMode = mode;
    m_strPath = target;
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
    count = clampCount(count);
    if (hostfw::takeFileFault(hostfw::FileOp::diskFull, m_strPath)) {
        return 0;
    }
    if (hostfw::takeFileFault(hostfw::FileOp::write, m_strPath)) {
        count /= 2;
    }
    size_t moved = std::fwrite(buf, 1, count, m_pFile);
    hostfw::countWritten(m_strPath, moved);
    return static_cast<int>(moved);
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

bool OVFile::close() {
    if (m_pFile == nullptr) {
        return true;
    }
    bool failed = std::ferror(m_pFile) != 0;
    failed = (std::fclose(m_pFile) != 0) || failed;
    m_pFile = nullptr;
    m_strPath.clear();
    m_nMode = 0;
    return !failed;
}
