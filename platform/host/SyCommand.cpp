#include "SyCommand.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <chrono>
#include <string>
#include <thread>

#include "OVPath.h"

extern char** environ;

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// The text in single quotes for /bin/sh: taken literally, a ' written as '\''.
std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted.push_back(c);
        }
    }
    return quoted + "'";
}

// A camera path under the sandbox root: the root prefix quoted (it may hold blanks or shell
// characters), the camera path itself left to the shell so that its patterns still expand.
std::string resolveWord(const std::string& word) {
    const std::string resolved = OVPath::resolve(word);
    if (resolved.size() <= word.size()) {
        return resolved;
    }
    const std::string prefix = resolved.substr(0, resolved.size() - word.size());
    return shellQuoted(prefix) + word;
}

// Every blank-separated word that begins with "/" is a camera path: it is placed under the
// sandbox root. Blanks are kept as they are; glob characters stay for the shell to expand.
std::string resolveWords(const std::string& command) {
    std::string out;
    std::string::size_type i = 0;
    while (i < command.size()) {
        if (isBlank(command[i])) {
            out.push_back(command[i++]);
            continue;
        }
        std::string::size_type end = i;
        while (end < command.size() && !isBlank(command[end])) {
            ++end;
        }
        std::string word = command.substr(i, end - i);
        out += word[0] == '/' ? resolveWord(word) : word;
        i = end;
    }
    return out;
}

bool onlyBlanks(const std::string& text) {
    for (char c : text) {
        if (!isBlank(c) && c != '\n') {
            return false;
        }
    }
    return true;
}

// Waits for `pid`; when `timeout` seconds pass first, kills its process group and reports
// false. A timeout of 0 or less waits without limit.
bool waitChild(pid_t pid, int timeout, int& status) {
    if (timeout <= 0) {
        while (::waitpid(pid, &status, 0) < 0) {
            if (errno != EINTR) {
                return false;
            }
        }
        return true;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout);
    auto pause = std::chrono::microseconds(200);
    for (;;) {
        pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            return true;
        }
        if (done < 0 && errno != EINTR) {
            return false;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(-pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return false;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(20000));
    }
}

}  // namespace

int sy_system(const char* command, int timeout) {
    if (command == nullptr || onlyBlanks(command)) {
        return -1;
    }
    std::string resolved = resolveWords(command);
    char shell[] = "/bin/sh";
    char dashC[] = "-c";
    char* argv[] = {shell, dashC, &resolved[0], nullptr};

    // Output already printed by this process comes before the command's own.
    std::fflush(stdout);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // Its own process group, so that a timeout ends the whole pipeline.
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    pid_t pid = 0;
    int spawned = ::posix_spawn(&pid, shell, nullptr, &attr, argv, environ);
    posix_spawnattr_destroy(&attr);
    if (spawned != 0) {
        return -1;
    }
    int status = 0;
    if (!waitChild(pid, timeout, status)) {
        return -1;
    }
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}
