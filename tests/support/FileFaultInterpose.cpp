// The C library's fsync and rename as the test executables see them: the library calls
// them itself to replace its files durably, so a test arms a fault with hostfw::failNext
// and these definitions, which take the place of the C library's in the process, fail the
// named operation once and otherwise forward to the real function.
#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>

#include "FileFaults.h"

namespace {

// The host path an open descriptor refers to ("" when unknown).
std::string pathOfDescriptor(int fd) {
    char link[64];
    std::snprintf(link, sizeof(link), "/proc/self/fd/%d", fd);
    char target[PATH_MAX];
    const ssize_t n = ::readlink(link, target, sizeof(target) - 1);
    return n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
}

template <typename F>
F realFunction(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" int fsync(int fd) {
    if (hostfw::takeFileFault(hostfw::FileOp::sync, pathOfDescriptor(fd))) {
        errno = EIO;
        return -1;
    }
    static const auto real = realFunction<int (*)(int)>("fsync");
    return real(fd);
}

extern "C" int rename(const char* from, const char* to) {
    if (to != nullptr && hostfw::takeFileFault(hostfw::FileOp::rename, to)) {
        errno = EIO;
        return -1;
    }
    static const auto real = realFunction<int (*)(const char*, const char*)>("rename");
    return real(from, to);
}

// Referenced by the sandbox, so that every test executable links these definitions.
void linkFileFaultInterposers() {}
