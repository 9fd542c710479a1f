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
#include "DeviceCommands.h"
#include "OrvaneTime.h"
#include "Output.h"
#include "Session.h"
#include "SensorFile.h"
#include "SensorKeyVal.h"
#include "SensorPaths.h"

namespace {

bool argInt(Session& s, const Args& a, size_t i, long& v, const char* what) {
    if (i >= a.size() || !parseInt(a[i], v)) {
        s.error(std::string("expected ") + what + (i < a.size() ? ", got '" + a[i] + "'" : ""));
        return false;
    }
    return true;
}

// A processor option by name (set, get, range, correct, status), number, or "any" (-1).
bool argOption(Session& s, const Args& a, size_t i, long& v) {
    if (i < a.size() && a[i] == "any") {
        v = -1;
        return true;
    }
    if (i >= a.size() || !parseOption(a[i], v)) {
        s.error("expected an option (set, get, range, correct, status or any)" +
                (i < a.size() ? ", got '" + a[i] + "'" : ""));
        return false;
    }
    return true;
}

bool argKey(Session& s, const Args& a, size_t i, long& v) {
    if (i >= a.size()) {
        s.error("expected a key number or name");
        return false;
    }
    return s.lookupKey(a[i], v);
}

// A processor command: numbers as they are, key names through their row.
bool argCommand(Session& s, const Args& a, size_t i, long& v) {
    if (i >= a.size()) {
        s.error("expected a processor command (number or key name)");
        return false;
    }
    return s.lookupCommand(a[i], v);
}

// Values outside a control's range: a warning, or under --strict an error. False when the
// text must not be sent.
bool checkRanges(Session& s, const std::vector<KeyValue>& pairs) {
    bool refused = false;
    const std::vector<Control>* controls = s.controls();
    for (const KeyValue& kv : pairs) {
        const Control* c = controls ? findControl(*controls, kv.key) : nullptr;
        if (c == nullptr || !outsideRange(*c, kv.value)) {
            continue;
        }
        const std::string what = describeKey(kv.key) + " value " + std::to_string(kv.value) +
                                 " is outside the range of '" + c->styleName +
                                 "': " + rangeText(*c);
        if (s.options().strict) {
            s.error(what);
            refused = true;
        } else {
            s.warn(what);
        }
    }
    return !refused;
}

// ---- parameters ----
void cmdSet(Session& s, const Args& a, bool save) {
    std::vector<KeyValue> pairs;
    std::string error;
    if (!parsePairs(s, a[0], pairs, error)) {
        s.error(error + "; nothing sent");
        return;
    }
    if (!checkRanges(s, pairs)) {
        return;
    }
    std::vector<KeyVal> records;
    for (const KeyValue& kv : pairs) {
        records.push_back({static_cast<u32>(kv.key), static_cast<int>(kv.value)});
    }
    std::string text;
    keyval_st2str(text, records.data(), static_cast<u32>(records.size()));
    s.resultCode(s.controller().setParameters(text, save));
}
void cmdSetSave(Session& s, const Args& a) {
    cmdSet(s, a, true);
}
void cmdApply(Session& s, const Args& a) {
    cmdSet(s, a, false);
}
void cmdRaw(Session& s, const Args& a) {
    s.resultCode(s.controller().setParameters(a[0], true));
}

void cmdGet(Session& s, const Args& a) {
    long key = 0;
    if (argKey(s, a, 0, key)) {
        int value = 0;
        bool ok = s.controller().getParameter(static_cast<int>(key), value);
        s.resultBool(ok, ok ? std::to_string(value) : "");
    }
}

void cmdGets(Session& s, const Args& a) {
    std::vector<long> keys;
    std::string error, ids, out;
    if (!parseKeyList(s, a[0], keys, error)) {
        s.error(error);
        return;
    }
    for (long k : keys) {
        ids += (ids.empty() ? "(" : ",") + std::to_string(k);
    }
    bool ok = s.controller().getParameters(ids + ")", out);
    s.resultBool(ok, out);
}

void cmdAll(Session& s, const Args&) {
    std::string out;
    s.controller().getAllParameters(out);
    s.result(out);
}

void cmdFlush(Session& s, const Args&) {
    s.resultCode(s.controller().flush());
}

void cmdRestore(Session& s, const Args& a) {
    long key = 0;
    if (argKey(s, a, 0, key)) {
        s.resultCode(s.controller().restore(static_cast<int>(key)));
    }
}

void cmdReload(Session& s, const Args&) {
    s.resultBool(s.controller().resetToLastParameters());
}
void cmdReset(Session& s, const Args&) {
    s.resultBool(s.controller().resetParameters());
}

void cmdSensorCheck(Session& s, const Args& a) {
    std::string text = a[0];
    int ret = s.controller().SensorCheck(text);
    s.result(std::to_string(ret) + " " + text);
}

// "check (A,B,C)" is the sensor check request; "check [--device DIR]" checks the device data.
void cmdCheck(Session& s, const Args& a) {
    if (a.size() == 1 && !a[0].empty() && a[0][0] == '(') {
        cmdSensorCheck(s, a);
    } else {
        cmdCheckDeviceData(s, a);
    }
}

// ---- schemes ----
void cmdScheme(Session& s, const Args& a) {
    long v = 0;
    if (a.empty()) {
        int scheme = 0;
        bool ok = s.controller().getParamScheme(scheme);
        s.resultBool(ok, std::to_string(scheme));
    } else if (argInt(s, a, 0, v, "a scheme number")) {
        s.resultBool(s.controller().setParamScheme(static_cast<int>(v)));
    }
}

void cmdMode(Session& s, const Args& a) {
    long v = 0;
    if (a.empty()) {
        int mode = 0;
        bool ok = s.controller().getParamMode(mode);
        s.resultBool(ok, std::to_string(mode));
    } else if (argInt(s, a, 0, v, "a mode (0 manual, 1 automatic)")) {
        s.resultBool(s.controller().setParamMode(static_cast<int>(v)));
    }
}

// ---- UI ----
// Prints the whole document, or only its tab whose "key" is `tab`.
void printDocument(Session& s, const std::string& doc, const Args& a) {
    if (a.empty()) {
        s.result(doc);
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
            std::string text = printer.CStr();
            s.result(text.substr(0, text.find_last_not_of('\n') + 1));
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
    std::ifstream in(s.hostPath(SensorPaths::mergedStylePath(s.cameraId())), std::ios::binary);
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
    std::vector<KeyVal> records(SensorPaths::kKeyCapacity);
    u32 count = 0;
    bool showWDR = true;
    s.controller().getShowWDRFalg(showWDR);
    getFctData(s.cameraId(), style.data(), records.data(), &count, showWDR);
    std::string text;
    keyval_st2str(text, records.data(), count);
    s.result(text);
}

void cmdRange(Session& s, const Args& a) {
    long cmd = 0;
    if (argCommand(s, a, 0, cmd)) {
        int def = 0;
        std::string range;
        bool ok = s.controller().getSensorParamRange(static_cast<int>(cmd), def, range);
        s.resultBool(ok, ok ? std::to_string(def) + " " + range : "");
    }
}

void cmdExec(Session& s, const Args& a) {
    long cmd = 0;
    if (argCommand(s, a, 0, cmd)) {
        int value = 0;
        bool ok = s.controller().getCmdExecStatus(static_cast<int>(cmd), value);
        s.resultBool(ok, ok ? std::to_string(value) : "");
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
    if (sub == "log") {  // decoded, or as the processor numbers it with 'raw'
        const bool raw = a.size() > 1 && a[1] == "raw";
        for (const iasim::Call& c : iasim::callLog()) {
            s.result(raw ? iasim::formatCall(c) : decodeCall(c));
        }
    } else if (sub == "clear") {
        iasim::clearLog();
    } else if (sub == "dn") {
        if (argInt(s, a, 1, x, "a day/night state (0 day, 1 night)")) {
            iasim::setDNState(ch, static_cast<int>(x));
        }
    } else if (sub == "value") {
        if (!argCommand(s, a, 1, x)) {
            return;
        }
        if (a.size() < 3) {
            s.result(std::to_string(iasim::getValue(ch, static_cast<int>(x))));
        } else if (argInt(s, a, 2, y, "a value")) {
            iasim::setValue(ch, static_cast<int>(x), static_cast<int>(y));
        }
    } else if (sub == "range") {
        std::vector<int> items;
        if (!argCommand(s, a, 1, x) || !argInt(s, a, 2, y, "a default value")) {
            return;
        }
        for (size_t i = 3; i < a.size(); ++i) {
            if (!argInt(s, a, i, z, "an item value")) {
                return;
            }
            items.push_back(static_cast<int>(z));
        }
        iasim::setDiscreteRange(ch, static_cast<int>(x), static_cast<int>(y), items);
        s.forgetControls();
    } else if (sub == "dynamic") {
        std::vector<int> cmds;
        for (size_t i = 1; i < a.size(); ++i) {
            if (!argCommand(s, a, i, x)) {
                return;
            }
            cmds.push_back(static_cast<int>(x));
        }
        iasim::setDynamicCmds(ch, cmds);
        s.forgetControls();
    } else if (sub == "fail") {
        if (argCommand(s, a, 1, x) && argOption(s, a, 2, y) &&
            argInt(s, a, 3, z, "a non-zero result")) {
            iasim::injectFailure(static_cast<int>(x), static_cast<int>(y), static_cast<int>(z));
            s.forgetControls();
        }
    } else if (sub == "heal") {
        iasim::clearFailures();
        s.forgetControls();
    } else if (sub == "status") {
        if (argCommand(s, a, 1, x) && argInt(s, a, 2, y, "a status")) {
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
            s.result("notify ch=" + std::to_string(n.channel) + " " + describeKey(n.key) +
                     " val=" + std::to_string(n.value));
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
    s.resultBool(current == scheme, std::to_string(current));
}

void cmdFiles(Session& s, const Args&) {
    s.ensureInit();
    // The files of a plain channel (1) and of the thermal channel.
    for (int channel : {1, SensorPaths::kThermalChannel}) {
        for (int scheme = 0; scheme < 16; ++scheme) {
            const std::string name = SensorPaths::paramFilePath(channel, scheme);
            const std::string host = s.hostPath(name);
            std::error_code error;
            if (!std::filesystem::exists(host, error)) {
                continue;
            }
            // Only a regular file holds records; anything else (a directory) is named.
            if (!std::filesystem::is_regular_file(host, error)) {
                s.result(name + " not a regular file");
                continue;
            }
            std::ifstream in(host, std::ios::binary);
            if (!in) {
                continue;
            }
            std::string bytes((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
            std::vector<KeyVal> records(bytes.size() / SensorPaths::kRecordBytes);
            if (!records.empty()) {
                std::memcpy(records.data(), bytes.data(),
                            records.size() * SensorPaths::kRecordBytes);
            }
            std::string text;
            keyval_st2str(text, records.data(), static_cast<u32>(records.size()));
            s.result(name + " " + std::to_string(bytes.size()) + " bytes " + text);
        }
    }
}

void cmdInit(Session& s, const Args&) {
    s.resultBool(s.ensureInit());
}
void cmdUinit(Session& s, const Args&) {
    s.shutdown();
}
void cmdHelp(Session& s, const Args& a) {
    const std::vector<std::string> names = commandNames();
    if (!a.empty() && std::find(names.begin(), names.end(), a[0]) == names.end()) {
        s.error("no command '" + a[0] + "'");
        return;
    }
    printHelp(a.empty() ? "" : a[0]);
}

// Number of logged processor calls, all of them or those of one command (and option).
void cmdIspCalls(Session& s, const Args& a) {
    long cmd = -1, opt = -1;
    if ((!a.empty() && !argCommand(s, a, 0, cmd)) || (a.size() > 1 && !argOption(s, a, 1, opt))) {
        return;
    }
    size_t count = 0;
    for (const iasim::Call& c : iasim::callLog()) {
        count += (cmd < 0 || c.cmd == cmd) && (opt < 0 || c.opt == opt) ? 1 : 0;
    }
    s.result(std::to_string(count));
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
// Commands whose argument is one text kept whole, blanks included.
const char* const kWholeText[] = {"set", "apply", "raw", "gets", "expect"};

const Command kCommands[] = {
    {"list", 0, 3, cmdList, "list [-v] [--json] [TAB|NAME]",
     "the controls of this channel: key name, key, command, style name, type, default,"
     " current value and range (min..max or index:name items); -v adds the handler and the"
     " enable list; a tab or a control (list brightness) narrows it"},
    {"set", 1, 1, cmdSetSave, "set TEXT",
     "apply and store a parameter text: set (KEY_BRIGHTNESS,60)(saturation,40); keys by name"
     " or number, values decimal; a malformed text sends nothing"},
    {"apply", 1, 1, cmdApply, "apply TEXT", "like set, without storing"},
    {"raw", 1, 1, cmdRaw, "raw TEXT", "send a parameter text unchanged to the library's parser"},
    {"get", 1, 1, cmdGet, "get KEY", "read one key: get KEY_BRIGHTNESS, get brightness, get 34"},
    {"gets", 1, 1, cmdGets, "gets (KEY,...)", "read several keys: gets (brightness,2337)"},
    {"all", 0, 0, cmdAll, "all", "every value of the current scheme"},
    {"flush", 0, 0, cmdFlush, "flush", "write the current scheme to its parameter file"},
    {"restore", 1, 1, cmdRestore, "restore KEY", "send a key's stored value again"},
    {"reload", 0, 0, cmdReload, "reload", "go back to the values last flushed"},
    {"reset", 0, 0, cmdReset, "reset", "factory reset of the channel"},
    {"check", 0, 2, cmdCheck, "check (A,B,C)", "sensor check request"},
    {"check", 0, 2, cmdCheck, "check [--device DIR]",
     "check every style, diversity and module document of the device data"},
    {"explain", 0, 0, cmdExplain, "explain", "what each diversity rule did for this model"},
    {"page", 0, 4, cmdPage, "page [--out FILE] [--scheme N]",
     "the settings page of this model as one HTML file (default sensorctl-page.html)"},
    {"scheme", 0, 1, cmdScheme, "scheme [N]", "show or select the current scheme"},
    {"mode", 0, 1, cmdMode, "mode [N]", "show or set the parameter mode (0 manual, 1 automatic)"},
    {"style", 0, 1, cmdStyle, "style [TAB]",
     "the dynamic UI style document (values are factory defaults; 'list' shows current ones)"},
    {"merged", 0, 1, cmdMerged, "merged [TAB]", "the merged UI style document, or one tab"},
    {"factory", 0, 0, cmdFactory, "factory", "the factory records as a parameter text"},
    {"range", 1, 1, cmdRange, "range CMD",
     "default and allowed values the processor reports: range KEY_MAX_SHUTTER"},
    {"exec", 1, 1, cmdExec, "exec CMD", "execution status of a processor command"},
    {"call", 1, kMany, cmdCall, "call NAME [ARGS]", "a named control: call setIrisValue 100"},
    {"expect", 1, 1, cmdExpect, "expect COMMAND... VALUE",
     "run a command and fail the run unless its result is VALUE (a leading 'true' may be left"
     " out): expect get brightness 70; expect isp-calls 1; 'COMMAND == RESULT' for results"
     " of several words"},
    {"isp", 1, kMany, cmdIsp, "isp SUB ...",
     "simulated processor (CMD: a number is a command, a key name its row's command):"
     " isp log [raw] | clear | dn STATE | value CMD [VAL] | range CMD DEF ITEM... |"
     " dynamic CMD... | fail CMD OPT RESULT | heal | status CMD STATUS"},
    {"isp-calls", 0, 2, cmdIspCalls, "isp-calls [CMD [OPT]]",
     "number of processor calls logged (of one command and option)"},
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
    {"help", 0, 1, cmdHelp, "help [COMMAND]", "this list, or one command"},
    {"quit", 0, 0, nullptr, "quit", "end the session"},
};

// "  USAGE   help text" with the help wrapped to the width of a terminal.
std::string wrapped(const std::string& usage, const std::string& help) {
    const size_t indent = 33, width = 100;
    std::string text = "  " + usage;
    text += usage.size() + 2 < indent ? std::string(indent - 2 - usage.size(), ' ')
                                      : "\n" + std::string(indent, ' ');
    size_t column = indent;
    std::istringstream words(help);
    std::string word;
    for (bool first = true; words >> word; first = false) {
        if (!first && column + 1 + word.size() > width) {
            text += "\n" + std::string(indent, ' ');
            column = indent;
        } else if (!first) {
            text += " ";
            ++column;
        }
        text += word;
        column += word.size();
    }
    return text;
}

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

bool takesWholeText(const std::string& name) {
    return std::find(std::begin(kWholeText), std::end(kWholeText), name) != std::end(kWholeText);
}

std::vector<std::string> commandNames() {
    std::vector<std::string> names;
    for (const Command& c : kCommands) {
        names.push_back(c.name);
    }
    return names;
}

void printHelp(const std::string& command) {
    bool found = false;
    for (const Command& c : kCommands) {
        if (command == c.name) {
            printResult(std::string(c.usage) + "\n  " + c.help);
            found = true;
        }
    }
    if (found) {
        return;
    }
    printResult(
        "Commands (a KEY is a KEY_ name, a key number or the style's name of a control, in any\n"
        "case; 'list' shows them all):");
    for (const Command& c : kCommands) {
        printResult(wrapped(c.usage, c.help));
    }
    printResult("Named calls (call NAME [ARGS]):");
    printNamedCalls();
}
