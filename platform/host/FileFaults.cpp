#include "FileFaults.h"

#include <atomic>
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
std::atomic<unsigned long long> g_written{0};

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

unsigned long long bytesWritten() {
    return g_written.load();
}

void resetBytesWritten() {
    g_written.store(0);
}

void countWritten(unsigned long long bytes) {
    g_written.fetch_add(bytes);
}

}  // namespace hostfw
