// Path resolution of a camera build: the library's paths are the camera's own, used as given.
#include <sys/stat.h>

#include "OVPath.h"

namespace OVPath {

std::string resolve(const std::string& path) {
    return path;
}

bool exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

}  // namespace OVPath
