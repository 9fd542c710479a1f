// The interactive session: a prompt with history, line editing and completion of command
// names, subcommands and key names (readline), or plain standard input without readline.
#include <cstdlib>
#include <cstring>
#include <iostream>

#ifdef SENSORCTL_HAVE_READLINE
#include <readline/history.h>
#include <readline/readline.h>
#endif

#include "Output.h"
#include "Session.h"

namespace {

#ifdef SENSORCTL_HAVE_READLINE
Session* g_session = nullptr;
std::vector<std::string> g_candidates;

// Words the cursor position can take: commands first, subcommands after isp and video, else
// key names (KEY_ names, and the style's names once the channel runs).
std::vector<std::string> wordsAt(const std::string& before) {
    std::vector<std::string> words;
    const size_t first = before.find_first_not_of(' ');
    if (first == std::string::npos || before.find(' ', first) == std::string::npos) {
        return commandNames();
    }
    const std::string command = before.substr(first, before.find(' ', first) - first);
    const bool secondWord =
        before.find_first_not_of(' ', before.find(' ', first)) == std::string::npos;
    if (command == "help" && secondWord) {
        return commandNames();
    }
    if (command == "isp" && secondWord) {
        return {"log", "clear", "dn", "value", "range", "dynamic", "fail", "heal", "status"};
    }
    if (command == "video" && secondWord) {
        return {"log", "clear", "ready", "stream", "wdr"};
    }
    for (const KeyRow& row : keyRows()) {
        words.push_back(row.name);
    }
    if (g_session != nullptr && g_session->hasControls()) {  // no start-up from a keystroke
        if (const std::vector<Control>* controls = g_session->controls()) {
            for (const Control& c : *controls) {
                words.push_back(c.styleName);
            }
        }
    }
    return words;
}

char* nextCandidate(const char* text, int state) {
    static size_t index = 0;
    if (state == 0) {
        index = 0;
        g_candidates = wordsAt(std::string(rl_line_buffer, rl_point - std::strlen(text)));
    }
    const size_t length = std::strlen(text);
    while (index < g_candidates.size()) {
        const std::string& word = g_candidates[index++];
        if (word.compare(0, length, text) == 0 ||
            (length > 0 && word.size() >= length &&
             equalsIgnoringCase(word.substr(0, length), text))) {
            return ::strdup(word.c_str());
        }
    }
    return nullptr;
}

char** complete(const char* text, int, int) {
    rl_attempted_completion_over = 1;  // no file names
    return rl_completion_matches(text, nextCandidate);
}

bool blank(const std::string& text) {
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}
#endif

}  // namespace

bool Session::runInteractive() {
    m_bEcho = false;  // the user sees what they typed
#ifdef SENSORCTL_HAVE_READLINE
    g_session = this;
    rl_outstream = results();  // the prompt stays with the results when the library's output moves
    rl_attempted_completion_function = complete;
    rl_basic_word_break_characters = const_cast<char*>(" \t\n(,)");
    int lineNo = 0;
    while (char* raw = ::readline("sensorctl> ")) {
        std::string line(raw);
        std::free(raw);
        if (!blank(line)) {
            ::add_history(line.c_str());
        }
        if (!execute(line, "stdin", ++lineNo)) {
            return false;
        }
    }
    std::fputs("\n", results());
    return true;
#else
    return runStream(std::cin, "stdin");
#endif
}
