// The commands of a sensorctl script, declared once as a table.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <system_error>
#include <thread>

#include <tinyxml.h>

#include "IaSim.h"
#include "OrvaneTime.h"
#include "Session.h"
#include "SensorFile.h"
#include "SensorKeyVal.h"

namespace {

void printBool(bool ok, const std::string& outputs = "") {
    std::printf("%s%s%s\n", ok ? "true" : "false", outputs.empty() ? "" : " ", outputs.c_str());
}

bool argInt(Session& s, const Args& a, size_t i, long& v, const char* what) {
    if (i >= a.size() || !parseInt(a[i], v)) {
        s.error(std::string("expected ") + what + (i < a.size() ? ", got '" + a[i] + "'" : ""));
        return false;
    }
    return true;
}

bool argKey(Session& s, const Args& a, size_t i, long& v) {
    if (i >= a.size() || !parseKey(a[i], v)) {
        s.error("expected a key number or name" + (i < a.size() ? ", got '" + a[i] + "'" : ""));
        return false;
    }
    return true;
}

bool keyText(Session& s, const Args& a, std::string& text) {
    std::string bad;
    if (!resolveKeyNames(a[0], text, bad)) {
        s.error("unknown key name '" + bad + "'");
        return false;
    }
    return true;
}

// ---- parameters ----
void cmdSet(Session& s, const Args& a, bool save) {
    std::string text;
    if (keyText(s, a, text)) {
        std::printf("%d\n", s.controller().setParameters(text, save));
    }
}
void cmdSetSave(Session& s, const Args& a) {
    cmdSet(s, a, true);
}
void cmdApply(Session& s, const Args& a) {
    cmdSet(s, a, false);
}

void cmdGet(Session& s, const Args& a) {
    long key = 0;
    if (argKey(s, a, 0, key)) {
        int value = 0;
        bool ok = s.controller().getParameter(static_cast<int>(key), value);
        printBool(ok, ok ? std::to_string(value) : "");
    }
}

void cmdGets(Session& s, const Args& a) {
    std::string ids, out;
    if (keyText(s, a, ids)) {
        bool ok = s.controller().getParameters(ids, out);
        printBool(ok, out);
    }
}

void cmdAll(Session& s, const Args&) {
    std::string out;
    s.controller().getAllParameters(out);
    std::printf("%s\n", out.c_str());
}

void cmdFlush(Session& s, const Args&) {
    std::printf("%d\n", s.controller().flush());
}

void cmdRestore(Session& s, const Args& a) {
    long key = 0;
    if (argKey(s, a, 0, key)) {
        std::printf("%d\n", s.controller().restore(static_cast<int>(key)));
    }
}

void cmdReload(Session& s, const Args&) {
    printBool(s.controller().resetToLastParameters());
}
void cmdReset(Session& s, const Args&) {
    printBool(s.controller().resetParameters());
}

void cmdCheck(Session& s, const Args& a) {
    std::string text = a[0];
    int ret = s.controller().SensorCheck(text);
    std::printf("%d %s\n", ret, text.c_str());
}

// ---- schemes ----
void cmdScheme(Session& s, const Args& a) {
    long v = 0;
    if (a.empty()) {
        int scheme = 0;
        bool ok = s.controller().getParamScheme(scheme);
        printBool(ok, std::to_string(scheme));
    } else if (argInt(s, a, 0, v, "a scheme number")) {
        printBool(s.controller().setParamScheme(static_cast<int>(v)));
    }
}

void cmdMode(Session& s, const Args& a) {
    long v = 0;
    if (a.empty()) {
        int mode = 0;
        bool ok = s.controller().getParamMode(mode);
        printBool(ok, std::to_string(mode));
    } else if (argInt(s, a, 0, v, "a mode (0 manual, 1 automatic)")) {
        printBool(s.controller().setParamMode(static_cast<int>(v)));
    }
}

// ---- UI ----
// Prints the whole document, or only its tab whose "key" is `tab`.
void printDocument(Session& s, const std::string& doc, const Args& a) {
    if (a.empty()) {
        std::printf("%s\n", doc.c_str());
        return;
    }
    std::vector<char> text(doc.begin(), doc.end());
    text.resize(text.size() + 4, '\0');  // zero padding beyond the terminator for the parser
    TiXmlDocument parsed;
    parsed.Parse(text.data(), nullptr, TIXML_ENCODING_UTF8);
    TiXmlElement* root = parsed.RootElement();
    for (TiXmlElement* tab = root ? root->FirstChildElement() : nullptr; tab != nullptr;
         tab = tab->NextSiblingElement()) {
        const char* key = tab->Attribute("key");
        if (key != nullptr && a[0] == key) {
            TiXmlPrinter printer;
            tab->Accept(&printer);
            std::printf("%s", printer.CStr());
            return;
        }
    }
    s.error("the document has no tab '" + a[0] + "'");
}

void cmdStyle(Session& s, const Args& a) {
    printDocument(s, s.controller().getUIStyleFile(), a);
}

std::string mergedStyle(Session& s) {
    s.ensureInit();
    char name[100];
    std::snprintf(name, sizeof(name), "/tmp/merge_style_ch%d.xml", s.cameraId());
    std::ifstream in(s.hostPath(name), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void cmdMerged(Session& s, const Args& a) {
    std::string doc = mergedStyle(s);
    if (doc.empty()) {
        s.error("no merged style for this channel");
        return;
    }
    printDocument(s, doc, a);
}

void cmdFactory(Session& s, const Args&) {
    std::string doc = mergedStyle(s);
    std::vector<char> style(doc.begin(), doc.end());
    style.resize(style.size() + 4, '\0');  // zero padding beyond the terminator for the parser
    std::vector<KeyVal> records(160);
    u32 count = 0;
    bool showWDR = true;
    s.controller().getShowWDRFalg(showWDR);
    getFctData(s.cameraId(), style.data(), records.data(), &count, showWDR);
    std::string text;
    keyval_st2str(text, records.data(), count);
    std::printf("%s\n", text.c_str());
}

void cmdRange(Session& s, const Args& a) {
    long cmd = 0;
    if (argKey(s, a, 0, cmd)) {
        int def = 0;
        std::string range;
        bool ok = s.controller().getSensorParamRange(static_cast<int>(cmd), def, range);
        printBool(ok, ok ? std::to_string(def) + " " + range : "");
    }
}

void cmdExec(Session& s, const Args& a) {
    long cmd = 0;
    if (argKey(s, a, 0, cmd)) {
        int value = 0;
        bool ok = s.controller().getCmdExecStatus(static_cast<int>(cmd), value);
        printBool(ok, ok ? std::to_string(value) : "");
    }
}

void cmdCall(Session& s, const Args& a) {
    runNamedCall(s, a);
}

// ---- the simulated world ----
void cmdIsp(Session& s, const Args& a) {
    const std::string sub = a[0];
    const int ch = s.ispChannel();
    long x = 0, y = 0, z = 0;
    if (sub == "log") {
        for (const iasim::Call& c : iasim::callLog()) {
            std::printf("%s\n", iasim::formatCall(c).c_str());
        }
    } else if (sub == "clear") {
        iasim::clearLog();
    } else if (sub == "dn") {
        if (argInt(s, a, 1, x, "a day/night state (0 day, 1 night)")) {
            iasim::setDNState(ch, static_cast<int>(x));
        }
    } else if (sub == "value") {
        if (!argKey(s, a, 1, x)) {
            return;
        }
        if (a.size() < 3) {
            std::printf("%d\n", iasim::getValue(ch, static_cast<int>(x)));
        } else if (argInt(s, a, 2, y, "a value")) {
            iasim::setValue(ch, static_cast<int>(x), static_cast<int>(y));
        }
    } else if (sub == "range") {
        std::vector<int> items;
        if (!argKey(s, a, 1, x) || !argInt(s, a, 2, y, "a default value")) {
            return;
        }
        for (size_t i = 3; i < a.size(); ++i) {
            if (!argInt(s, a, i, z, "an item value")) {
                return;
            }
            items.push_back(static_cast<int>(z));
        }
        iasim::setDiscreteRange(ch, static_cast<int>(x), static_cast<int>(y), items);
    } else if (sub == "dynamic") {
        std::vector<int> cmds;
        for (size_t i = 1; i < a.size(); ++i) {
            if (!argKey(s, a, i, x)) {
                return;
            }
            cmds.push_back(static_cast<int>(x));
        }
        iasim::setDynamicCmds(ch, cmds);
    } else if (sub == "fail") {
        if (argKey(s, a, 1, x) && argInt(s, a, 2, y, "an option (-1 any)") &&
            argInt(s, a, 3, z, "a non-zero result")) {
            iasim::injectFailure(static_cast<int>(x), static_cast<int>(y), static_cast<int>(z));
        }
    } else if (sub == "heal") {
        iasim::clearFailures();
    } else if (sub == "status") {
        if (argKey(s, a, 1, x) && argInt(s, a, 2, y, "a status")) {
            iasim::setExecStatus(ch, static_cast<int>(x), static_cast<int>(y));
        }
    } else {
        s.error("unknown subcommand '" + sub +
                "', expected log, clear, dn, value, range, dynamic, fail, heal or status");
    }
}

void cmdVideo(Session& s, const Args& a) {
    const std::string sub = a[0];
    long x = 0, y = 0, z = 0;
    if (sub == "log") {
        for (const SimVideoModule::Notification& n : s.video().notifications()) {
            std::printf("notify ch=%d key=%d val=%d\n", n.channel, n.key, n.value);
        }
    } else if (sub == "clear") {
        s.video().clearNotifications();
    } else if (sub == "ready") {
        if (argInt(s, a, 1, x, "a number of polls")) {
            s.video().setReadyAfter(static_cast<int>(x));
        }
    } else if (sub == "stream") {
        std::vector<AVStreamParam> streams;
        if (a.size() < 4 || (a.size() - 1) % 3 != 0) {
            s.error("expected FPS ENCODER HEIGHT for each stream");
            return;
        }
        for (size_t i = 1; i + 2 < a.size(); i += 3) {
            if (!argInt(s, a, i, x, "a frame rate") || !argInt(s, a, i + 1, y, "an encoder") ||
                !argInt(s, a, i + 2, z, "a height")) {
                return;
            }
            AVStreamParam p;
            p.setFrameRate(static_cast<int>(x));
            p.setVideoEncoderType(static_cast<int>(y));
            p.setVideoHeight(static_cast<int>(z));
            streams.push_back(p);
        }
        s.video().setStreams(streams);
    } else if (sub == "wdr") {
        if (argInt(s, a, 1, x, "a limited-frames mode id") && argInt(s, a, 2, y, "a limit")) {
            LimitedFramesWDRModeParam p;
            p.setLimitFramesModeId(static_cast<int>(x));
            p.setLimitWdr(static_cast<int>(y));
            s.video().setLimitedFramesWDR(p);
        }
    } else {
        s.error("unknown subcommand '" + sub + "', expected log, clear, ready, stream or wdr");
    }
}

void cmdClock(Session& s, const Args& a) {
    int h = -1, m = -1;
    char extra = 0;
    if (std::sscanf(a[0].c_str(), "%d:%d%c", &h, &m, &extra) != 2 || h < 0 || h > 23 || m < 0 ||
        m > 59) {
        s.error("expected a time HH:MM, got '" + a[0] + "'");
        return;
    }
    char hhmm[16];
    std::snprintf(hhmm, sizeof(hhmm), "%02d:%02d", h, m);
    ::setenv("SENSOR_FAKE_TIME", hhmm, 1);  // the variable exists since start: value change only
}

void cmdWait(Session& s, const Args& a) {
    double seconds = 0;
    char extra = 0;
    if (std::sscanf(a[0].c_str(), "%lf%c", &seconds, &extra) != 1 || seconds < 0) {
        s.error("expected a number of seconds, got '" + a[0] + "'");
        return;
    }
    long whole = static_cast<long>(seconds);
    OrvaneTime::wait(OrvaneTime(whole, static_cast<long>((seconds - whole) * 1e6)));
}

// Lets the sensor thread run until scheme N is current, at most SECONDS of real time.
void cmdAwait(Session& s, const Args& a) {
    long scheme = 0, seconds = 30;
    if (!argInt(s, a, 0, scheme, "a scheme number") ||
        (a.size() > 1 && !argInt(s, a, 1, seconds, "a number of seconds"))) {
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int current = -1;
    while (s.controller().getParamScheme(current) && current != scheme &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    printBool(current == scheme, std::to_string(current));
}

void cmdFiles(Session& s, const Args&) {
    s.ensureInit();
    for (const char* pattern : {"/mnt/mtd/code/config_file/sensor%d.cfg",
                                "/mnt/mtd/code/config_file/sensor-thermal%d.cfg"}) {
        for (int scheme = 0; scheme < 16; ++scheme) {
            char name[128];
            std::snprintf(name, sizeof(name), pattern, scheme);
            const std::string host = s.hostPath(name);
            std::error_code error;
            if (!std::filesystem::exists(host, error)) {
                continue;
            }
            // Only a regular file holds records; anything else (a directory) is named.
            if (!std::filesystem::is_regular_file(host, error)) {
                std::printf("%s not a regular file\n", name);
                continue;
            }
            std::ifstream in(host, std::ios::binary);
            if (!in) {
                continue;
            }
            std::string bytes((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
            std::vector<KeyVal> records(bytes.size() / sizeof(KeyVal));
            if (!records.empty()) {
                std::memcpy(records.data(), bytes.data(), records.size() * sizeof(KeyVal));
            }
            std::string text;
            keyval_st2str(text, records.data(), static_cast<u32>(records.size()));
            std::printf("%s %zu bytes %s\n", name, bytes.size(), text.c_str());
        }
    }
}

void cmdInit(Session& s, const Args&) {
    printBool(s.ensureInit());
}
void cmdUinit(Session& s, const Args&) {
    s.shutdown();
}
void cmdHelp(Session&, const Args&) {
    printHelp();
}

struct Command {
    const char* name;
    size_t minArgs;
    size_t maxArgs;
    void (*run)(Session&, const Args&);
    const char* usage;
    const char* help;
};

const size_t kMany = 1000;

const Command kCommands[] = {
    {"set", 1, 1, cmdSetSave, "set TEXT",
     "apply and store a parameter text: set (KEY_BRIGHTNESS,60)(2337,40)"},
    {"apply", 1, 1, cmdApply, "apply TEXT", "apply a parameter text without storing it"},
    {"get", 1, 1, cmdGet, "get KEY", "read one key: get KEY_BRIGHTNESS"},
    {"gets", 1, 1, cmdGets, "gets IDS", "read several keys: gets (34,2337)"},
    {"all", 0, 0, cmdAll, "all", "every value of the current scheme"},
    {"flush", 0, 0, cmdFlush, "flush", "write the current scheme to its parameter file"},
    {"restore", 1, 1, cmdRestore, "restore KEY", "send a key's stored value again"},
    {"reload", 0, 0, cmdReload, "reload", "go back to the values last flushed"},
    {"reset", 0, 0, cmdReset, "reset", "factory reset of the channel"},
    {"check", 1, 1, cmdCheck, "check (A,B,C)", "sensor check request"},
    {"scheme", 0, 1, cmdScheme, "scheme [N]", "show or select the current scheme"},
    {"mode", 0, 1, cmdMode, "mode [N]", "show or set the parameter mode (0 manual, 1 automatic)"},
    {"style", 0, 1, cmdStyle, "style [TAB]",
     "the dynamic UI style document, or one tab: style exposure"},
    {"merged", 0, 1, cmdMerged, "merged [TAB]", "the merged UI style document, or one tab"},
    {"factory", 0, 0, cmdFactory, "factory", "the factory records as a parameter text"},
    {"range", 1, 1, cmdRange, "range CMD", "default and allowed values: range KEY_MAX_SHUTTER"},
    {"exec", 1, 1, cmdExec, "exec CMD", "execution status of a processor command"},
    {"call", 1, kMany, cmdCall, "call NAME [ARGS]", "a named control: call setIrisValue 100"},
    {"isp", 1, kMany, cmdIsp, "isp SUB ...",
     "simulated processor: isp log | clear | dn STATE | value CMD [VAL] | range CMD DEF ITEM... |"
     " dynamic CMD... | fail CMD OPT RESULT | heal | status CMD STATUS"},
    {"video", 1, kMany, cmdVideo, "video SUB ...",
     "simulated video module: video log | clear | ready POLLS | stream FPS ENC HEIGHT... |"
     " wdr MODEID LIMIT (streams and WDR count at init)"},
    {"clock", 1, 1, cmdClock, "clock HH:MM", "set the device clock"},
    {"wait", 1, 1, cmdWait, "wait SECONDS", "let the sensor thread run (scaled by --time-scale)"},
    {"await", 1, 2, cmdAwait, "await N [SECONDS]",
     "let the sensor thread run until scheme N is current (default at most 30 s)"},
    {"files", 0, 0, cmdFiles, "files", "the parameter files and their records"},
    {"init", 0, 0, cmdInit, "init", "initialise the channel now (otherwise at first use)"},
    {"uinit", 0, 0, cmdUinit, "uinit", "tear the channel down (the next command starts it again)"},
    {"help", 0, 0, cmdHelp, "help", "this list"},
    {"quit", 0, 0, nullptr, "quit", "end the session"},
};

}  // namespace

bool runCommand(Session& s, const std::string& name, const Args& args) {
    for (const Command& c : kCommands) {
        if (name != c.name) {
            continue;
        }
        if (c.run == nullptr) {
            return false;
        }
        if (args.size() < c.minArgs || args.size() > c.maxArgs) {
            s.error(std::string("expected: ") + c.usage);
            return true;
        }
        c.run(s, args);
        return true;
    }
    s.error("unknown command, try 'help'");
    return true;
}

void printHelp() {
    std::printf("Commands (keys and commands may be numbers or names such as KEY_BRIGHTNESS):\n");
    for (const Command& c : kCommands) {
        std::printf("  %-18s %s\n", c.usage, c.help);
    }
    std::printf("Named calls (call NAME [ARGS]):\n");
    printNamedCalls();
}
