// sensorctl: runs one camera channel of libtarnis on this machine, with the simulated image
// processor and video module, from a script or interactively.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>

#include "Output.h"
#include "Session.h"
#include "TarnisVersion.h"

namespace {

const char* const kUsage =
    "usage: sensorctl [OPTIONS] [SCRIPT...]\n"
    "       sensorctl [OPTIONS] COMMAND [ARGS...]\n"
    "\n"
    "Runs one channel of the sensor library against the simulated image processor and video\n"
    "module. Commands come from the SCRIPT files in order, or from standard input (with a\n"
    "prompt, history and line editing on a terminal); '-' reads standard input. A first\n"
    "word that names a command runs that one command (a script of that name: ./NAME).\n"
    "\n"
    "Options:\n"
    "  --root DIR          the sandbox: the folder where the camera's files are made (default\n"
    "                      ./sensorctl-root); missing device data and machineinfo.ini are\n"
    "                      installed there, existing files are used as they are\n"
    "  --fresh             empty the root first, so the session starts from a new camera\n"
    "                      (refused when the root holds anything but a sandbox's folders)\n"
    "  --device DIR        device data to install (default: the device/ folder beside\n"
    "                      sensorctl, else the installed share/tarnis/device)\n"
    "  --channel N         1-based video channel (default 1; 2 is the thermal channel)\n"
    "  --device-type N     deviceType of machineinfo.ini (default 1; 13 thermal, 20 dome, ...)\n"
    "  --model TEXT        hardwareModel of machineinfo.ini (default Hi3519V101)\n"
    "  --code TEXT         hardwareCode of machineinfo.ini (default IPC-01)\n"
    "  --detail TEXT       module detail text, e.g. '(isInfrared=1)(max_scheme=4)'\n"
    "                      (default: the module of moduleConfig.xml matching the machine)\n"
    "  --module-id N       module id (default: from moduleConfig.xml)\n"
    "  --parameters TEXT   module parameter text\n"
    "  --time-scale X      factor applied to every wait of the library (default 0.01)\n"
    "  --debug LEVEL       write LEVEL to the root's /tmp/Debug.sign (6 shows the library's\n"
    "                      debug traces, 7 also whole documents)\n"
    "  --list              list the channel's controls (after any SCRIPT; alone, then exit)\n"
    "  --json              'list' prints JSON lines;  -v, --verbose: 'list' adds handlers\n"
    "  --strict            a false result, a non-zero result code, a failed check of the\n"
    "                      library or a value outside a control's range is an error\n"
    "  --quiet             scripts do not echo their commands ('> set ...')\n"
    "  --library-log FILE  the library's console output goes to FILE; standard output\n"
    "                      shows only the tool's results\n"
    "  --version           library version and parameter-file format version\n"
    "  --help              this text and the commands\n"
    "\n"
    "Example:\n"
    "  sensorctl --list --library-log /dev/null             # every control, range, value\n"
    "  sensorctl --root /tmp/cam tools/sensorctl/demo.txt\n"
    "  echo 'set (KEY_BRIGHTNESS,70)' | sensorctl --debug 6 -\n"
    "  sensorctl check --device my-device-data\n"
    "  sensorctl --device-type 20 --code DOME-01 page --out dome.html\n"
    "\n"
    "A script's commands are echoed ('> get brightness') before their results. Each command\n"
    "prints its result on one line (a number, true/false with any outputs, or a parameter\n"
    "text); documents and lists print whole. Errors go to standard error and the session goes\n"
    "on; the exit status is 1 when any command was in error ('expect' makes a mismatch one).\n"
    "\n";

bool isCommandName(const std::string& word) {
    const std::vector<std::string> names = commandNames();
    return std::find(names.begin(), names.end(), word) != names.end();
}

bool needValue(int argc, char** argv, int& i, std::string& out) {
    if (i + 1 >= argc) {
        std::cerr << "sensorctl: option " << argv[i] << " expects a value\n";
        return false;
    }
    out = argv[++i];
    return true;
}

bool needInt(int argc, char** argv, int& i, int& out) {
    std::string text;
    long v = 0;
    if (!needValue(argc, argv, i, text)) {
        return false;
    }
    if (!parseInt(text, v)) {
        std::cerr << "sensorctl: option " << argv[i - 1] << " expects a number, got '" << text
                  << "'\n";
        return false;
    }
    out = static_cast<int>(v);
    return true;
}

// 0: run; 1: error; 2: help asked for; 3: version asked for.
int parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool ok = true;
        if (a == "--help" || a == "-h") {
            return 2;
        } else if (a == "--version") {
            return 3;
        } else if (a == "--root") {
            ok = needValue(argc, argv, i, o.root);
        } else if (a == "--fresh") {
            o.fresh = true;
        } else if (a == "--device") {
            ok = needValue(argc, argv, i, o.deviceDir);
        } else if (a == "--channel") {
            ok = needInt(argc, argv, i, o.channel);
        } else if (a == "--device-type") {
            ok = needInt(argc, argv, i, o.deviceType);
            o.machineGiven = true;
        } else if (a == "--model") {
            ok = needValue(argc, argv, i, o.model);
            o.machineGiven = true;
        } else if (a == "--code") {
            ok = needValue(argc, argv, i, o.code);
            o.machineGiven = true;
        } else if (a == "--detail") {
            ok = needValue(argc, argv, i, o.detail);
            o.detailGiven = true;
        } else if (a == "--module-id") {
            ok = needInt(argc, argv, i, o.moduleId);
        } else if (a == "--parameters") {
            ok = needValue(argc, argv, i, o.parameters);
        } else if (a == "--time-scale") {
            ok = needValue(argc, argv, i, o.timeScale);
        } else if (a == "--debug") {
            ok = needValue(argc, argv, i, o.debugLevel);
        } else if (o.scripts.empty() && isCommandName(a)) {
            o.command = a;  // the rest of the line is that command's words
            o.commandArgs.assign(argv + i + 1, argv + argc);
            return 0;
        } else if (a == "--library-log") {
            ok = needValue(argc, argv, i, o.libraryLog);
        } else if (a == "--strict") {
            o.strict = true;
        } else if (a == "--quiet") {
            o.quiet = true;
        } else if (a == "--list") {
            o.list = true;
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "-v" || a == "--verbose") {
            o.verbose = true;
        } else if (a.size() > 1 && a[0] == '-' && a != "-") {
            std::cerr << "sensorctl: unknown option " << a << " (see --help)\n";
            return 1;
        } else {
            o.scripts.push_back(a);
        }
        if (!ok) {
            return 1;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    int parsed = parseOptions(argc, argv, options);
    if (parsed == 2) {
        std::fputs(kUsage, stdout);
        printHelp();
        return 0;
    }
    if (parsed == 3) {
        std::printf("sensorctl: libtarnis %s, parameter file format version %d\n",
                    TARNIS_VERSION_STRING, TARNIS_PARAM_FILE_VERSION);
        return 0;
    }
    if (parsed != 0) {
        return 2;
    }
    if (!options.libraryLog.empty() && !moveLibraryOutput(options.libraryLog)) {
        return 2;
    }
    Session session(options);
    if (!session.prepareRoot()) {
        return 2;
    }
    if (!options.command.empty()) {
        session.executeArgs(options.command, options.commandArgs, "command line");
        session.shutdown();
        std::fflush(stdout);
        return session.errorCount() == 0 ? 0 : 1;
    }
    bool goOn = true;
    for (const std::string& script : options.scripts) {
        if (script == "-") {
            goOn = session.runStream(std::cin, "stdin");
        } else {
            std::ifstream in(script);
            if (!in) {
                std::cerr << "sensorctl: cannot read " << script << "\n";
                return 2;
            }
            goOn = session.runStream(in, script);
        }
        if (!goOn) {
            break;
        }
    }
    if (goOn && options.list) {
        session.execute("list", "--list", 1);
    }
    if (options.scripts.empty() && !options.list) {
        if (::isatty(0)) {
            session.runInteractive();
        } else {
            session.runStream(std::cin, "stdin");
        }
    }
    session.shutdown();
    std::fflush(stdout);
    std::fflush(results());
    return session.errorCount() == 0 ? 0 : 1;
}
