// `list`: one line per control of the channel's dynamic style, as a table or as JSON lines.
#include <algorithm>

#include <nlohmann/json.hpp>

#include "Output.h"
#include "Session.h"

namespace {

struct ListOptions {
    bool verbose = false;
    bool json = false;
    std::string filter;
};

std::string orDash(bool has, long value) {
    return has ? std::to_string(value) : "-";
}

// The table's cells of one control, in column order.
std::vector<std::string> cells(const Control& c, bool verbose) {
    const long command = controlCommand(c);
    std::vector<std::string> row = {c.row ? c.row->name : "-",
                                    std::to_string(c.key),
                                    orDash(command >= 0, command),
                                    c.styleName.empty() ? "-" : c.styleName,
                                    c.type,
                                    orDash(c.hasDefault, c.def),
                                    orDash(c.hasCurrent, c.current)};
    if (verbose) {
        row.push_back(c.row && rowHasHandler(*c.row) ? c.row->handler : "-");
        row.push_back(c.enableList.empty() ? "-" : c.enableList);
    }
    row.push_back(rangeText(c));
    return row;
}

nlohmann::ordered_json jsonOf(const Control& c, bool verbose) {
    const long command = controlCommand(c);
    nlohmann::ordered_json j = {
        {"key_name", c.row ? nlohmann::ordered_json(c.row->name) : nullptr},
        {"key", c.key},
        {"command", command >= 0 ? nlohmann::ordered_json(command) : nullptr},
        {"name", c.styleName},
        {"tab", c.tab},
        {"type", c.type}};
    if (!c.items.empty()) {
        j["items"] = nlohmann::ordered_json::array();
        for (const ControlItem& item : c.items) {
            j["items"].push_back({{"index", item.index}, {"name", item.name}});
        }
    } else if (c.hasMinMax) {
        j["min"] = c.min;
        j["max"] = c.max;
    }
    j["default"] = c.hasDefault ? nlohmann::ordered_json(c.def) : nullptr;
    j["current"] = c.hasCurrent ? nlohmann::ordered_json(c.current) : nullptr;
    if (verbose) {
        j["handler"] =
            c.row && rowHasHandler(*c.row) ? nlohmann::ordered_json(c.row->handler) : nullptr;
        j["enable_list"] = c.enableList;
    }
    return j;
}

void printTable(Session& s, const std::vector<Control>& controls, bool verbose) {
    std::vector<std::vector<std::string>> rows;
    rows.push_back({"KEY_NAME", "KEY", "CMD", "NAME", "TYPE", "DEFAULT", "CURRENT"});
    if (verbose) {
        rows.back().push_back("HANDLER");
        rows.back().push_back("ENABLES");
    }
    rows.back().push_back("RANGE");
    for (const Control& c : controls) {
        rows.push_back(cells(c, verbose));
    }
    std::vector<size_t> widths(rows[0].size(), 0);
    for (const auto& row : rows) {
        for (size_t i = 0; i < row.size(); ++i) {
            widths[i] = std::max(widths[i], row[i].size());
        }
    }
    for (size_t r = 0; r < rows.size(); ++r) {
        std::string line;
        for (size_t i = 0; i < rows[r].size(); ++i) {
            line += rows[r][i];
            if (i + 1 < rows[r].size()) {
                line += std::string(widths[i] - rows[r][i].size() + 2, ' ');
            }
        }
        s.result(r == 0 ? tinted(Tint::heading, line, results()) : line);
    }
}

bool parseListArgs(Session& s, const Args& a, ListOptions& o) {
    o.verbose = s.options().verbose;
    o.json = s.options().json;
    for (const std::string& word : a) {
        if (word == "-v") {
            o.verbose = true;
        } else if (word == "--json") {
            o.json = true;
        } else if (o.filter.empty() && word[0] != '-') {
            o.filter = word;
        } else {
            s.error("unexpected '" + word + "'; expected: list [-v] [--json] [TAB|NAME]");
            return false;
        }
    }
    return true;
}

}  // namespace

void cmdList(Session& s, const Args& a) {
    ListOptions o;
    std::vector<Control> controls;
    std::string error;
    if (!parseListArgs(s, a, o)) {
        return;
    }
    if (!currentControls(s, o.filter, controls, error)) {
        s.error(error);
        return;
    }
    if (!o.json) {
        printTable(s, controls, o.verbose);
        return;
    }
    for (const Control& c : controls) {
        s.result(jsonOf(c, o.verbose).dump());
    }
}
