#include "OVPath.h"

#include <sys/stat.h>

#include <cstdlib>

namespace OVPath {

std::string resolve(const std::string& path) {
    const char* root = std::getenv("SENSOR_ROOT");
    if (root == nullptr || root[0] == '\0' || path.empty() || path[0] != '/') {
        return path;
    }
    std::string resolved(root);
    while (!resolved.empty() && resolved.back() == '/') {
        resolved.pop_back();
    }
    return resolved + path;
}

bool exists(const std::string& path) {
    struct stat st;
    return ::stat(resolve(path).c_str(), &st) == 0;
}

}  // namespace OVPath
