#include "SensorDurableWrite.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "OVFile.h"
#include "OVPath.h"

namespace {

const char kTempMarker[] = ".tmp.";
const int kModeWriteTruncate = OVFile::modeWrite | OVFile::modeTruncate;

std::atomic<unsigned> g_nextTemp{0};

std::string tempNameFor(const std::string& target) {
    return target + kTempMarker + std::to_string(static_cast<long>(::getpid())) + "." +
           std::to_string(g_nextTemp.fetch_add(1));
}

std::string directoryOf(const std::string& path) {
    const std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Where the open file of `fd` lives on this machine. The framework's OVFile decides where a
// camera path lands; the rename and the directory sync must act on that same place, so it is
// read back from the descriptor, and only when that fails taken from the library's own path
// resolution.
std::string hostPathOf(int fd, const std::string& cameraPath) {
    if (fd >= 0) {
        const std::string link = "/proc/self/fd/" + std::to_string(fd);
        char buf[4096];
        const ssize_t n = ::readlink(link.c_str(), buf, sizeof(buf) - 1);
        if (n > 0 && buf[0] == '/') {
            return std::string(buf, static_cast<size_t>(n));
        }
    }
    return OVPath::resolve(cameraPath);
}

std::string baseNameOf(const std::string& path) {
    const std::string::size_type slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

DurableWriteResult result(DurableStep step, int written, int error) {
    return DurableWriteResult{step, written, error};
}

// Syncs a directory so that a rename in it survives a power cut. File systems that cannot
// sync a directory (EINVAL) keep their names durable by other means.
int syncDirectory(const std::string& hostDir) {
    const int fd = ::open(hostDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    int error = 0;
    if (::fsync(fd) != 0 && errno != EINVAL) {
        error = errno;
    }
    ::close(fd);
    return error;
}

// Opens the temporary file and takes its lock on a second descriptor of the same open
// file, so the lock outlives the file object's close until the rename is done. A cleaner
// may have removed the name between the open and the lock: then the file is opened anew.
bool openLockedTemp(OVFile& file, const std::string& temp, int& lockFd) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (!file.open(temp.c_str(), kModeWriteTruncate)) {
            return false;
        }
        FILE* handle = file.getFileHandle();
        lockFd = handle != nullptr ? ::dup(::fileno(handle)) : -1;
        if (lockFd < 0) {
            return true;  // nothing to lock with: the write goes on unprotected
        }
        ::flock(lockFd, LOCK_EX);
        struct stat st;
        if (::fstat(lockFd, &st) == 0 && st.st_nlink > 0) {
            return true;
        }
        ::close(lockFd);
        lockFd = -1;
        file.close();
    }
    return false;
}

// Writes, flushes and syncs the open temporary file; closes it.
DurableWriteResult fillTemp(OVFile& file, const void* data, unsigned int length) {
    const int written = length > 0 ? file.write(data, length) : 0;
    if (written != static_cast<int>(length)) {
        return result(DurableStep::kWrite, written, errno);
    }
    FILE* handle = file.getFileHandle();
    if (std::fflush(handle) != 0) {
        return result(DurableStep::kWrite, written, errno);
    }
    if (::fsync(::fileno(handle)) != 0) {
        return result(DurableStep::kSync, written, errno);
    }
    if (!file.close()) {
        return result(DurableStep::kWrite, written, errno);
    }
    return result(DurableStep::kDone, written, 0);
}

bool isTemporaryName(const char* name) {
    return std::strstr(name, kTempMarker) != nullptr;
}

// Removes one temporary file when no writer holds its lock.
bool removeIfUnheld(const std::string& hostPath) {
    const int fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        return false;
    }
    bool removed = false;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        removed = ::unlink(hostPath.c_str()) == 0;
    }
    ::close(fd);
    return removed;
}

}  // namespace

DurableWriteResult durableReplace(const char* target, const void* data, unsigned int length) {
    if (target == nullptr || target[0] == '\0' || (data == nullptr && length > 0)) {
        return result(DurableStep::kOpen, 0, EINVAL);
    }
    const std::string temp = tempNameFor(target);

    OVFile file;
    int lockFd = -1;
    if (!openLockedTemp(file, temp, lockFd)) {
        return result(DurableStep::kOpen, 0, errno);
    }
    // The target is beside the temporary file, wherever the framework put that.
    const std::string hostTemp = hostPathOf(lockFd, temp);
    const std::string hostTarget = directoryOf(hostTemp) + "/" + baseNameOf(target);
    DurableWriteResult outcome = fillTemp(file, data, length);
    if (outcome.failed == DurableStep::kDone && std::rename(hostTemp.c_str(), hostTarget.c_str())) {
        outcome = result(DurableStep::kRename, outcome.written, errno);
    }
    if (outcome.failed != DurableStep::kDone) {
        file.close();
        ::unlink(hostTemp.c_str());
    }
    if (lockFd >= 0) {
        ::close(lockFd);
    }
    if (outcome.failed == DurableStep::kDone) {
        const int error = syncDirectory(directoryOf(hostTarget));
        if (error != 0) {
            outcome = result(DurableStep::kDirSync, outcome.written, error);
        }
    }
    return outcome;
}

const char* durableStepText(DurableStep step) {
    switch (step) {
        case DurableStep::kDone:
            return "done";
        case DurableStep::kOpen:
            return "the temporary file could not be created";
        case DurableStep::kWrite:
            return "the write was short";
        case DurableStep::kSync:
            return "the sync to storage failed";
        case DurableStep::kRename:
            return "the rename over the file failed";
        case DurableStep::kDirSync:
            return "the directory sync failed";
    }
    return "unknown";
}

int removeStaleTemporaries(const char* dir) {
    if (dir == nullptr) {
        return 0;
    }
    const std::string hostDir = OVPath::resolve(dir);
    DIR* listing = ::opendir(hostDir.c_str());
    if (listing == nullptr) {
        return 0;
    }
    int removed = 0;
    while (const struct dirent* entry = ::readdir(listing)) {
        if (isTemporaryName(entry->d_name) &&
            removeIfUnheld(hostDir + "/" + std::string(entry->d_name))) {
            ++removed;
        }
    }
    ::closedir(listing);
    return removed;
}
