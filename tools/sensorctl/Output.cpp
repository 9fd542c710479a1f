#include "Output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <iostream>

namespace {

std::FILE* g_results = nullptr;

const char* colourOf(Tint tint) {
    switch (tint) {
        case Tint::echo:
            return "\033[36m";
        case Tint::error:
            return "\033[31m";
        case Tint::warning:
            return "\033[33m";
        case Tint::heading:
            return "\033[1m";
    }
    return "";
}

}  // namespace

bool moveLibraryOutput(const std::string& file) {
    int target = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (target < 0) {
        std::cerr << "sensorctl: cannot write the library log " << file << ": "
                  << std::strerror(errno) << "\n";
        return false;
    }
    std::fflush(stdout);
    int kept = ::fcntl(1, F_DUPFD_CLOEXEC, 3);  // the tool's own standard output, for results
    std::FILE* stream = kept >= 0 ? ::fdopen(kept, "w") : nullptr;
    if (stream == nullptr || ::dup2(target, 1) < 0) {
        std::cerr << "sensorctl: cannot move the library's output: " << std::strerror(errno)
                  << "\n";
        ::close(target);
        return false;
    }
    ::close(target);
    g_results = stream;
    return true;
}

std::FILE* results() {
    return g_results ? g_results : stdout;
}

void printResult(const std::string& text) {
    std::fprintf(results(), "%s\n", text.c_str());
}

void printEcho(const std::string& line) {
    std::fflush(stdout);
    std::fprintf(results(), "%s\n", tinted(Tint::echo, "> " + line, results()).c_str());
}

std::string tinted(Tint tint, const std::string& text, std::FILE* stream) {
    if (!::isatty(::fileno(stream))) {
        return text;
    }
    return colourOf(tint) + text + "\033[0m";
}
