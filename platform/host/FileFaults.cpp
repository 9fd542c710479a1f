#include "FileFaults.h"

#include <map>
#include <mutex>
#include <vector>

#include "OVPath.h"

namespace hostfw {

namespace {

struct Fault {
    FileOp op;
    std::string hostPath;
};

std::mutex g_lock;
std::vector<Fault> g_faults;
std::map<std::string, unsigned long long> g_written;

// The fault's path itself, or a file named after it.
bool covers(const std::string& faultPath, const std::string& hostPath) {
    if (hostPath == faultPath) {
        return true;
    }
    return hostPath.size() > faultPath.size() &&
           hostPath.compare(0, faultPath.size(), faultPath) == 0 &&
           hostPath[faultPath.size()] == '.';
}

}  // namespace

void failNext(FileOp op, const std::string& cameraPath) {
    std::lock_guard<std::mutex> guard(g_lock);
    g_faults.push_back({op, OVPath::resolve(cameraPath)});
}

void clearFileFaults() {
    std::lock_guard<std::mutex> guard(g_lock);
    g_faults.clear();
}

bool takeFileFault(FileOp op, const std::string& hostPath) {
    std::lock_guard<std::mutex> guard(g_lock);
    for (auto it = g_faults.begin(); it != g_faults.end(); ++it) {
        if (it->op == op && covers(it->hostPath, hostPath)) {
            if (op != FileOp::diskFull) {
                g_faults.erase(it);
            }
            return true;
        }
    }
    return false;
}

unsigned long long bytesWritten(const std::string& cameraFolder) {
    const std::string folder = OVPath::resolve(cameraFolder);
    std::lock_guard<std::mutex> guard(g_lock);
    unsigned long long total = 0;
    for (const auto& entry : g_written) {
        if (entry.first.compare(0, folder.size(), folder) == 0 &&
            entry.first.size() > folder.size() && entry.first[folder.size()] == '/') {
            total += entry.second;
        }
    }
    return total;
}

void resetBytesWritten() {
    std::lock_guard<std::mutex> guard(g_lock);
    g_written.clear();
}

void countWritten(const std::string& hostPath, unsigned long long bytes) {
    std::lock_guard<std::mutex> guard(g_lock);
    g_written[hostPath] += bytes;
}

}  // namespace hostfw
