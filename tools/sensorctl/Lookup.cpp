#include "Lookup.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "Controls.h"
#include "ia_ioctrl.h"

namespace {

struct NamedNumber {
    long number;
    const char* name;
};

// Processor commands that no key row drives, named as the processor interface names them.
const NamedNumber kPlainCommands[] = {
    {IA_CMD_DN_STATE, "IA_CMD_DN_STATE"},
    {IA_CMD_EXPOSURE_STRATEGY, "IA_CMD_EXPOSURE_STRATEGY"},
    {IA_CMD_HEAT_STATUS, "IA_CMD_HEAT_STATUS"},
    {IA_CMD_PTZ_RUN_STATE, "IA_CMD_PTZ_RUN_STATE"},
    {IA_CMD_AF_STATISTIC, "IA_CMD_AF_STATISTIC"},
    {IA_CMD_CAMERA_VERSION, "IA_CMD_CAMERA_VERSION"},
    {IA_CMD_SENSOR_CHECK, "IA_CMD_SENSOR_CHECK"},
    {IA_CMD_DYNAMIC_PARAMS_CMDS_GET, "IA_CMD_DYNAMIC_PARAMS_CMDS_GET"},
};

const NamedNumber kOptions[] = {
    {IA_CMD_OPT_SET, "set"},
    {IA_CMD_OPT_GET, "get"},
    {IA_CMD_OPT_GET_PARAM_RNAGE, "range"},
    {IA_CMD_OPT_CORRECT_PARAM, "correct"},
    {IA_CMD_OPT_GET_EXEC_STATUS, "status"},
};

const KeyRow* rowNamed(const std::string& name) {
    for (const KeyRow& r : keyRows()) {
        if (equalsIgnoringCase(name, r.name)) {
            return &r;
        }
    }
    return nullptr;
}

void addOnce(std::vector<long>& keys, long key) {
    for (long k : keys) {
        if (k == key) {
            return;
        }
    }
    keys.push_back(key);
}

}  // namespace

const std::vector<KeyRow>& keyRows() {
    static const std::vector<KeyRow> rows = {
#define KEY_ROW(key, command, handler, name, ...) {key, command, #handler, #name},
#include "SensorKeyList.def"
#undef KEY_ROW
    };
    return rows;
}

const KeyRow* rowOfKey(long key) {
    for (const KeyRow& r : keyRows()) {
        if (r.key == key) {
            return &r;
        }
    }
    return nullptr;
}

bool rowHasHandler(const KeyRow& row) {
    return std::strcmp(row.handler, "NONE") != 0;
}

const KeyRow* rowOfCommand(long command) {
    for (const KeyRow& r : keyRows()) {
        if (r.command == command && rowHasHandler(r)) {
            return &r;
        }
    }
    return nullptr;
}

const char* plainCommandName(long command) {
    for (const NamedNumber& c : kPlainCommands) {
        if (c.number == command) {
            return c.name;
        }
    }
    return nullptr;
}

const char* optionName(int option) {
    for (const NamedNumber& o : kOptions) {
        if (o.number == option) {
            return o.name;
        }
    }
    return nullptr;
}

bool parseOption(const std::string& text, long& option) {
    for (const NamedNumber& o : kOptions) {
        if (equalsIgnoringCase(text, o.name)) {
            option = o.number;
            return true;
        }
    }
    return parseInt(text, option);
}

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

bool parseInt(const std::string& text, long& out) {
    const bool hex = text.compare(0, 2, "0x") == 0 || text.compare(0, 3, "-0x") == 0;
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, hex ? 16 : 10);
    if (errno != 0 || end == text.c_str() || *end != '\0') {
        return false;
    }
    out = v;
    return true;
}

std::vector<long> keyCandidates(const std::string& text, const std::vector<Control>* controls) {
    std::vector<long> keys;
    long number = 0;
    if (parseInt(text, number)) {
        if (rowOfKey(number) != nullptr || (controls && findControl(*controls, number))) {
            keys.push_back(number);
        }
        return keys;
    }
    if (const KeyRow* row = rowNamed(text)) {
        keys.push_back(row->key);
        return keys;
    }
    if (controls != nullptr) {
        for (const Control& c : *controls) {
            if (equalsIgnoringCase(text, c.styleName)) {
                addOnce(keys, c.key);
            }
        }
    }
    return keys;
}

std::string describeKey(long key) {
    const KeyRow* row = rowOfKey(key);
    return row ? std::string(row->name) + "(" + std::to_string(key) + ")"
               : "key " + std::to_string(key);
}

bool lookupKey(const std::string& text, const std::vector<Control>* controls, long& key,
               std::string& error) {
    std::vector<long> keys = keyCandidates(text, controls);
    if (keys.size() == 1) {
        key = keys[0];
        return true;
    }
    if (keys.empty()) {
        long number = 0;
        error = parseInt(text, number)
                    ? "no key " + text + " in the key table or the style ('raw' sends any text)"
                    : "unknown key or control name '" + text + "' (try 'list')";
        return false;
    }
    error = "'" + text + "' names " + std::to_string(keys.size()) + " controls:";
    for (long k : keys) {
        error += " " + describeKey(k);
    }
    error += "; give the KEY_ name or number";
    return false;
}

bool lookupCommand(const std::string& text, const std::vector<Control>* controls, long& command,
                   std::string& error) {
    if (parseInt(text, command)) {
        return true;
    }
    for (const NamedNumber& c : kPlainCommands) {
        if (equalsIgnoringCase(text, c.name)) {
            command = c.number;
            return true;
        }
    }
    long key = 0;
    if (!lookupKey(text, controls, key, error)) {
        return false;
    }
    const KeyRow* row = rowOfKey(key);
    if (row != nullptr && !rowHasHandler(*row)) {
        error = describeKey(key) + " is only stored by the library; it has no processor command";
        return false;
    }
    command = row ? row->command : key;  // a key without a row is sent as its own command
    return true;
}

std::string decodeCall(const iasim::Call& call) {
    std::string line = "ch=" + std::to_string(call.channel + 1) + " ";
    if (const KeyRow* row = rowOfCommand(call.cmd)) {
        line += std::string(row->name) + " key=" + std::to_string(row->key) + " ";
    } else if (const char* name = plainCommandName(call.cmd)) {
        line += std::string(name) + " ";
    }
    const char* option = optionName(call.opt);
    line += "cmd=" + std::to_string(call.cmd) + " " +
            (option ? option : "opt=" + std::to_string(call.opt)) + " ";
    if (call.record.empty()) {
        line += "val=" + std::to_string(call.value);
    } else {
        line += "rec=[";
        for (size_t i = 0; i < call.record.size(); ++i) {
            line += (i > 0 ? "," : "") + std::to_string(call.record[i]);
        }
        line += "]";
    }
    return line + " ret=" + std::to_string(call.result);
}
