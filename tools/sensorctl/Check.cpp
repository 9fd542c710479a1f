// sensorctl check: reads every style and diversity document of a device-data folder and the
// module list, and reports what the library would do silently wrong with them, like a
// compiler: "file:line:col: error: ...", warnings apart, a failed command on any error.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "DeviceCommands.h"
#include "SensorFile.h"
#include "SensorKeyRows.h"
#include "SensorKeys.h"
#include "SensorPaths.h"
#include "SensorStyleFiles.h"
#include "StringHandler.h"
#include "StyleLimits.h"
#include "StyleModel.h"
#include "XmlString.h"
#include "sensor.h"

namespace {

using namespace SensorKeys;

// ---- the library's limits ----
// The controller's record capacity (factory and scheme arrays) and scheme count.
const size_t kRecordCapacity = SensorPaths::kKeyCapacity;
const unsigned long kMaxSchemes = SensorPaths::kMaxSchemes;
// The processor's range record holds 64 items.
const size_t kMaxRangeItems = 64;
// Room of the module texts and of one detail field value.
const size_t kDetailRoom = 511;
const size_t kParametersRoom = 255;
const size_t kDetailValueMax = 9;
// Size and nesting depth of a style document: the library's own bounds.
const size_t kMaxDocumentBytes = kMaxStyleBytes;
const int kMaxDocumentDepth = static_cast<int>(kMaxStyleDepth);

// Style values with a meaning of their own (the dynamic style's rules): 100 keeps the
// processor's default for these three; 200 + n on the maximum shutter means the style's own
// items with default n.
const long kKeepProcessorDefault = 100;
const long kOwnItemsOffset = 200;
const long kKeepDefaultKeys[] = {KEY_MAX_SHUTTER, KEY_FIX_SHUTTER, KEY_AUTO_FOCUS_NEAR_LIMIT};

const char kScheme[] = "scheme keys 8000 to 8004";

// ---- the report ----
class Report {
public:
    explicit Report(Session& s) : m_session(s) {}
    void error(const std::string& where, const std::string& text) { add(where, "error", text); }
    void warning(const std::string& where, const std::string& text) { add(where, "warning", text); }
    int errors() const { return m_nErrors; }
    int warnings() const { return m_nWarnings; }

private:
    void add(const std::string& where, const char* kind, const std::string& text) {
        const std::string line = where + ": " + kind + ": " + text;
        if (!m_seen.insert(line).second) {
            return;  // the same fault found through several combinations is told once
        }
        (kind[0] == 'e' ? m_nErrors : m_nWarnings)++;
        m_session.result(line);
    }
    Session& m_session;
    std::set<std::string> m_seen;
    int m_nErrors = 0;
    int m_nWarnings = 0;
};

std::string quoted(const std::string& text) {
    return "'" + text + "'";
}

std::string joinNumbers(const std::vector<long>& values) {
    std::string out;
    for (long v : values) {
        out += (out.empty() ? "" : ",") + std::to_string(v);
    }
    return out;
}

bool isKnownId(long id) {
    // Shadow keys of the plain light keys are kept in the scheme arrays without a row of
    // their own.
    return rowOfKey(id) != nullptr ||
           (id > 0 && SensorKeyRows::findShadowed(static_cast<u32>(id)) != nullptr);
}

// The offset of the first element nested deeper than `limit` in a markup text, read without
// parsing it (comments, declarations and CDATA skipped; quoted attribute values may hold
// '>'), or npos.
size_t tooDeepAt(const std::string& text, int limit) {
    int depth = 0;
    size_t i = 0;
    auto skipPast = [&](const char* end) {
        size_t at = text.find(end, i);
        i = at == std::string::npos ? text.size() : at + std::strlen(end);
    };
    while ((i = text.find('<', i)) != std::string::npos) {
        if (text.compare(i, 4, "<!--") == 0) {
            skipPast("-->");
        } else if (text.compare(i, 9, "<![CDATA[") == 0) {
            skipPast("]]>");
        } else if (text.compare(i, 2, "<?") == 0 || text.compare(i, 2, "<!") == 0) {
            skipPast(">");
        } else if (text.compare(i, 2, "</") == 0) {
            --depth;
            skipPast(">");
        } else {
            const size_t open = i;
            char quote = 0;
            size_t j = i + 1;
            for (; j < text.size() && (quote != 0 || text[j] != '>'); ++j) {
                if (quote == 0 && (text[j] == '"' || text[j] == '\'')) {
                    quote = text[j];
                } else if (quote == text[j]) {
                    quote = 0;
                }
            }
            const bool selfClosing = j < text.size() && text[j - 1] == '/';
            if (j < text.size() && depth + 1 > limit) {
                return open;
            }
            depth += selfClosing || j >= text.size() ? 0 : 1;
            i = j;
        }
    }
    return std::string::npos;
}

// "name:line:col" of an offset in a text.
std::string textPos(const std::string& name, const std::string& text, size_t offset) {
    const size_t lineStart = text.rfind('\n', offset == 0 ? 0 : offset - 1);
    const size_t line = 1 + std::count(text.begin(), text.begin() + offset, '\n');
    const size_t col = offset - (lineStart == std::string::npos ? 0 : lineStart + 1) + 1;
    return name + ":" + std::to_string(line) + ":" + std::to_string(col);
}

// Reads a document and parses it unless it is beyond the library's limits; reports both.
SourceDocPtr readDocument(const std::string& dir, const std::string& rel, Report& r) {
    const std::string name = dir + "/" + rel;
    SourceDocPtr doc = loadSourceDoc(name, name, false);
    if (!doc->read) {
        r.error(name, "cannot read the file");
        return doc;
    }
    const size_t tooDeep = doc->text.size() > kMaxDocumentBytes
                               ? std::string::npos
                               : tooDeepAt(doc->text, kMaxDocumentDepth);
    if (doc->text.size() > kMaxDocumentBytes) {
        r.error(name + ":1:1", std::to_string(doc->text.size()) + " bytes, more than the " +
                                   std::to_string(kMaxDocumentBytes) +
                                   " a device document may have; not read further");
    } else if (tooDeep != std::string::npos) {
        r.error(textPos(name, doc->text, tooDeep),
                "element nested deeper than the " + std::to_string(kMaxDocumentDepth) +
                    " levels a device document may have; not read further");
    } else {
        parseSourceDoc(*doc);
    }
    if (doc->read && !doc->parsed && doc->doc.Error()) {
        r.error(name + ":" + std::to_string(doc->doc.ErrorRow()) + ":" +
                    std::to_string(doc->doc.ErrorCol()),
                std::string("XML: ") + doc->doc.ErrorDesc());
    }
    return doc;
}

std::set<long> idsOf(const TiXmlElement* start) {
    std::set<long> ids;
    for (const TiXmlElement* e : parameterElements(start)) {
        ids.insert(idOf(e));
    }
    return ids;
}

// ---- one style document, or the content of one edit ----
struct StyleScope {
    std::set<long> ids;  // the ids an enable_list may name
    std::string what;    // how a message names that set
};

void checkNumber(const TiXmlElement* e, const char* attribute, Report& r) {
    const char* text = e->Attribute(attribute);
    long v = 0;
    if (text != nullptr && !parseDecimal(text, v)) {
        r.error(sourcePos(e), std::string(attribute) + " " + quoted(text) + " of " + e->Value() +
                                  " is not a decimal number");
    }
}

void checkItems(const TiXmlElement* p, long value, Report& r) {
    std::set<long> seen;
    size_t count = 0;
    for (const TiXmlElement* item = p->FirstChildElement(); item != nullptr;
         item = item->NextSiblingElement()) {
        long index = 0;
        const char* text = item->Attribute("index");
        if (text == nullptr) {
            r.error(sourcePos(item),
                    "item of " + controlLabel(p) + " has no index (the dynamic style stops at it)");
        } else if (!parseDecimal(text, index)) {
            r.error(sourcePos(item), "index " + quoted(text) + " is not a decimal number");
        } else if (!seen.insert(index).second) {
            r.warning(sourcePos(item),
                      "index " + std::to_string(index) + " twice in " + controlLabel(p));
        }
        ++count;
    }
    if (count > kMaxRangeItems) {
        r.warning(sourcePos(p), controlLabel(p) + " has " + std::to_string(count) +
                                    " items; the processor's range holds " +
                                    std::to_string(kMaxRangeItems));
    }
    if (count == 0) {
        return;
    }
    const long id = idOf(p);
    const bool keepsDefault = value == kKeepProcessorDefault &&
                              std::find(std::begin(kKeepDefaultKeys), std::end(kKeepDefaultKeys),
                                        id) != std::end(kKeepDefaultKeys);
    const bool ownItems =
        id == KEY_MAX_SHUTTER && value >= kOwnItemsOffset && seen.count(value - kOwnItemsOffset);
    if (!seen.count(value) && !keepsDefault && !ownItems) {
        std::vector<long> items(seen.begin(), seen.end());
        r.error(sourcePos(p), "value " + std::to_string(value) + " of " + controlLabel(p) +
                                  " is not one of its items (" + joinNumbers(items) + ")");
    }
}

void checkRange(const TiXmlElement* p, long value, bool valueIsNumber, Report& r) {
    const char* minText = p->Attribute("min");
    const char* maxText = p->Attribute("max");
    long min = 0, max = 0;
    if (minText == nullptr && maxText == nullptr) {
        return;
    }
    if (!parseDecimal(minText, min) || !parseDecimal(maxText, max)) {
        r.error(sourcePos(p), controlLabel(p) + " needs decimal min and max");
    } else if (min > max) {
        r.error(sourcePos(p), controlLabel(p) + ": min " + std::to_string(min) + " above max " +
                                  std::to_string(max));
    } else if (valueIsNumber && (value < min || value > max)) {
        r.error(sourcePos(p), "value " + std::to_string(value) + " of " + controlLabel(p) +
                                  " outside " + std::to_string(min) + ".." + std::to_string(max));
    }
}

void checkEnableList(const TiXmlElement* p, const StyleScope& scope, Report& r) {
    std::vector<std::string> bad;
    for (long id : enableList(p, &bad)) {
        if (!scope.ids.count(id)) {
            r.error(sourcePos(p), "enable_list of " + controlLabel(p) + " names " +
                                      std::to_string(id) + ", which is not in " + scope.what);
        }
    }
    for (const std::string& piece : bad) {
        r.error(sourcePos(p),
                "enable_list of " + controlLabel(p) + " holds " + quoted(piece) + ", not an id");
    }
}

// Every element below `start`: ids, values, items, ranges, enable lists, repeated ids.
void checkStyleElements(const TiXmlElement* start, const StyleScope& scope, Report& r) {
    std::map<long, const TiXmlElement*> firstById;
    std::vector<const TiXmlElement*> stack = {start};
    while (!stack.empty()) {
        const TiXmlElement* e = stack.back();
        stack.pop_back();
        for (const TiXmlElement* c = e->LastChild() ? e->LastChild()->ToElement() : nullptr;
             c != nullptr;) {
            stack.push_back(c);
            const TiXmlNode* prev = c->PreviousSibling();
            while (prev != nullptr && prev->ToElement() == nullptr) {
                prev = prev->PreviousSibling();
            }
            c = prev != nullptr ? prev->ToElement() : nullptr;
        }
        const char* idText = e->Attribute("id");
        if (idText == nullptr) {
            continue;
        }
        long id = 0;
        if (!parseDecimal(idText, id)) {
            r.error(sourcePos(e), "id " + quoted(idText) + " is not a decimal number");
        } else if (!isKnownId(id)) {
            r.error(sourcePos(e), "id " + std::to_string(id) + " is not a key of the key table");
        }
        if (e->Attribute("value") == nullptr) {
            r.warning(sourcePos(e), controlLabel(e) + " has no value and gives no factory record");
            continue;
        }
        auto first = firstById.emplace(idOf(e), e);
        if (!first.second) {
            r.error(sourcePos(e), "id " + std::string(idText) + " again; first at " +
                                      sourcePos(first.first->second));
        }
        long value = 0;
        const bool valueIsNumber = parseDecimal(e->Attribute("value"), value);
        checkNumber(e, "value", r);
        if (valueIsNumber) {
            checkItems(e, value, r);
        }
        checkRange(e, value, valueIsNumber, r);
        checkEnableList(e, scope, r);
    }
}

void checkTabs(const TiXmlElement* root, Report& r) {
    std::map<std::string, const TiXmlElement*> keys;
    for (const TiXmlElement* tab = root->FirstChildElement(); tab != nullptr;
         tab = tab->NextSiblingElement()) {
        const char* key = tab->Attribute("key");
        if (key == nullptr) {
            r.warning(sourcePos(tab), "tab without key: no edit can reach it");
        } else if (!keys.emplace(key, tab).second) {
            r.warning(sourcePos(tab), "second tab " + quoted(key) +
                                          ": edits reach only the first, at " +
                                          sourcePos(keys[key]));
        }
    }
}

void checkStyle(const SourceDoc& style, Report& r) {
    const TiXmlElement* root = style.doc.RootElement();
    if (!style.parsed || root == nullptr) {
        return;
    }
    checkTabs(root, r);
    checkStyleElements(root, {idsOf(root), "this document"}, r);
    const size_t count = parameterElements(root).size();
    if (count > kRecordCapacity) {
        r.error(sourcePos(root), std::to_string(count) + " parameters; the controller holds " +
                                     std::to_string(kRecordCapacity) + " records");
    }
}

// ---- modules ----
struct Module {
    const TiXmlElement* element;
    std::string label;  // "module 31 (DOME-01)"
    std::string detail;
};

// The "(name=value)" fields of a detail text, in order.
std::vector<std::pair<std::string, std::string>> detailFields(const std::string& detail) {
    std::vector<std::pair<std::string, std::string>> fields;
    size_t open = 0;
    while ((open = detail.find('(', open)) != std::string::npos) {
        size_t equal = detail.find('=', open);
        size_t close = equal == std::string::npos ? equal : detail.find(')', equal);
        if (close == std::string::npos) {
            break;
        }
        fields.emplace_back(detail.substr(open + 1, equal - open - 1),
                            detail.substr(equal + 1, close - equal - 1));
        open = close;
    }
    return fields;
}

void checkModule(const TiXmlElement* m, const std::string& detail, Report& r) {
    const std::string parameters = m->Attribute("parameters") ? m->Attribute("parameters") : "";
    checkNumber(m, "id", r);
    if (detail.size() > kDetailRoom) {
        r.error(sourcePos(m), "detail text of " + std::to_string(detail.size()) +
                                  " characters; the library keeps " + std::to_string(kDetailRoom));
    }
    if (parameters.size() > kParametersRoom) {
        r.error(sourcePos(m), "parameter text of " + std::to_string(parameters.size()) +
                                  " characters; the library keeps " +
                                  std::to_string(kParametersRoom));
    }
    for (const auto& field : detailFields(detail)) {
        if (field.second.size() > kDetailValueMax) {
            r.warning(sourcePos(m), "detail field " + quoted(field.first) + " value " +
                                        quoted(field.second) + " is cut to " +
                                        std::to_string(kDetailValueMax) + " characters");
        }
    }
    u32 schemes = 0;
    if (getDetailFieldTou32(detail.c_str(), "max_scheme", &schemes) == 0 &&
        (schemes == 0 || schemes > kMaxSchemes)) {
        r.error(sourcePos(m), "max_scheme " + std::to_string(schemes) +
                                  ": the controller serves 1 to " + std::to_string(kMaxSchemes) +
                                  " schemes");
    }
}

std::vector<Module> readModules(const SourceDoc& doc, Report& r) {
    std::vector<Module> modules;
    const TiXmlElement* root = doc.doc.RootElement();
    for (const TiXmlElement* m = root ? root->FirstChildElement() : nullptr; m != nullptr;
         m = m->NextSiblingElement()) {
        const char* detail = m->Attribute("detail");
        const char* code = m->Attribute("hardwareCode");
        Module module{m,
                      std::string("module ") + (m->Attribute("id") ? m->Attribute("id") : "?") +
                          " (" + (code ? code : "any code") + ")",
                      detail ? detail : ""};
        checkModule(m, module.detail, r);
        modules.push_back(module);
    }
    if (doc.parsed && modules.empty()) {
        r.warning(doc.name, "no module: every board initialises with an empty detail text");
    }
    return modules;
}

// ---- diversity documents ----
struct Family {
    const SensorStyleFiles::StyleFileRow* row;
    std::string devices;  // "device types 1,8,... (any channel)"
    int channel;          // a channel the family is used on
    SourceDocPtr style;
    SourceDocPtr diversity;
};

// Edit distance, for suggesting the tab an unknown tab_key was meant to be.
size_t distance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string suggestion(const std::string& key, const std::set<std::string>& known) {
    for (const std::string& k : known) {
        if (distance(key, k) <= 2) {
            return "; did you mean " + quoted(k) + "?";
        }
    }
    return "";
}

void checkEdit(const TiXmlElement* edit, const Family& f, const std::set<std::string>& tabKeys,
               Report& r) {
    const std::string op = edit->Value();
    const char* tabKey = edit->Attribute("tab_key");
    const TiXmlElement* content = edit->FirstChildElement();
    if (op != "Modify" && op != "AddAfter" && op != "Delete") {
        r.error(sourcePos(edit), "unknown edit " + quoted(op) + " (Modify, AddAfter or Delete)");
        return;
    }
    if (tabKey == nullptr) {
        r.error(sourcePos(edit), op + " without tab_key does nothing");
    } else if (!tabKeys.count(tabKey)) {
        r.error(sourcePos(edit), "tab_key " + quoted(tabKey) + " names no tab of " + f.style->name +
                                     " nor one a rule adds" + suggestion(tabKey, tabKeys));
    }
    if (op == "Delete") {
        return;
    }
    if (content == nullptr) {
        r.error(sourcePos(edit), op + " without a tab to put in does nothing");
        return;
    }
    if (content->Attribute("key") == nullptr) {
        r.warning(sourcePos(content), "tab without key: no later edit can reach it");
    }
    StyleScope scope{idsOf(f.style->doc.RootElement()), "this tab nor " + f.style->name};
    std::set<long> own = idsOf(content);
    scope.ids.insert(own.begin(), own.end());
    checkStyleElements(content, scope, r);
}

void checkDiversity(const Family& f, const std::vector<Module>& modules, Report& r) {
    const SourceDoc& div = *f.diversity;
    if (!div.parsed || !f.style->parsed) {
        return;
    }
    std::set<std::string> tabKeys;
    const TiXmlElement* styleRoot = f.style->doc.RootElement();
    for (const TiXmlElement* tab = styleRoot ? styleRoot->FirstChildElement() : nullptr;
         tab != nullptr; tab = tab->NextSiblingElement()) {
        tabKeys.insert(tab->Attribute("key") ? tab->Attribute("key") : "");
    }
    for (const TiXmlElement* rule = div.doc.RootElement(); rule;
         rule = rule->NextSiblingElement()) {
        for (const TiXmlElement* edit = rule->FirstChildElement(); edit;
             edit = edit->NextSiblingElement()) {
            const TiXmlElement* content = edit->FirstChildElement();
            if (content != nullptr && content->Attribute("key") != nullptr) {
                tabKeys.insert(content->Attribute("key"));
            }
        }
    }
    for (const TiXmlElement* rule = div.doc.RootElement(); rule;
         rule = rule->NextSiblingElement()) {
        if (rule->FirstAttribute() == nullptr) {
            r.warning(sourcePos(rule), "rule without a condition never applies");
        }
        for (const TiXmlAttribute* a = rule->FirstAttribute(); a != nullptr; a = a->Next()) {
            bool someModuleHasField = false;
            for (const Module& m : modules) {
                char value[16] = {0};
                someModuleHasField |= getDetailFieldToStr(m.detail.c_str(), a->Name(), value) == 0;
            }
            if (!someModuleHasField) {
                r.warning(
                    sourcePos(a, rule),
                    "no module of moduleConfig.xml has the detail field " + quoted(a->Name()));
            }
        }
        if (rule->FirstChildElement() == nullptr) {
            r.warning(sourcePos(rule), "rule without an edit does nothing");
        }
        for (const TiXmlElement* edit = rule->FirstChildElement(); edit;
             edit = edit->NextSiblingElement()) {
            checkEdit(edit, f, tabKeys, r);
        }
    }
}

// ---- every combination of family and module, through the library ----
// Runs `body` with the process's standard output going to a temporary file; returns what
// was written there.
template <typename Body>
std::string captureStdout(Body body) {
    std::fflush(stdout);
    FILE* sink = std::tmpfile();
    const int saved = ::dup(1);
    if (sink == nullptr || saved < 0) {
        body();
        return "";
    }
    ::dup2(::fileno(sink), 1);
    body();
    std::fflush(stdout);
    ::dup2(saved, 1);
    ::close(saved);
    std::string text;
    std::rewind(sink);
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof(buffer), sink)) > 0) {
        text.append(buffer, n);
    }
    std::fclose(sink);
    return text;
}

// The condition lines of the library's failed checks in its console output.
std::vector<std::string> failedChecks(const std::string& console) {
    std::vector<std::string> out;
    std::istringstream lines(console);
    std::string line;
    const std::string marker = "   ~~~Assertion failed.";
    while (std::getline(lines, line)) {
        size_t at = line.find(marker);
        if (at != std::string::npos) {
            out.push_back(line.substr(0, at));
        }
    }
    return out;
}

struct LibraryRun {
    std::string merged;
    std::vector<KeyVal> records;
    std::vector<std::string> failed;
};

LibraryRun runLibrary(const Family& f, const std::string& detail) {
    LibraryRun run;
    ModuleConfig config{};
    std::snprintf(config.szDetail, sizeof(config.szDetail), "%s", detail.c_str());
    char* text = static_cast<char*>(std::calloc(f.style->text.size() + 5, 1));
    std::memcpy(text, f.style->text.data(), f.style->text.size());
    std::vector<char> diversity(f.diversity->text.begin(), f.diversity->text.end());
    diversity.resize(diversity.size() + 5, '\0');
    const bool beaway = getshowBeawayFalg();
    setshowBeawayFalg(false);  // placeholders kept: the most records a merge can give
    run.records.resize(kRecordCapacity);
    u32 count = 0;
    const std::string console = captureStdout([&] {
        mergeStyle(f.channel, &config, &text, diversity.data());
        getFctData(f.channel, text, run.records.data(), &count, false);
    });
    setshowBeawayFalg(beaway);
    run.merged = text != nullptr ? text : "";
    std::free(text);
    run.records.resize(std::min<size_t>(count, kRecordCapacity));
    run.failed = failedChecks(console);
    return run;
}

void checkCombination(const Family& f, const std::string& label, const std::string& detail,
                      Report& r) {
    const std::string where = label + " on " + f.devices;
    MergeReplay replay;
    replayMerge(*f.style, *f.diversity, detail, replay);
    LibraryRun run = runLibrary(f, detail);
    for (const std::string& failed : run.failed) {
        r.error(f.diversity->name, "the library's check " + quoted(failed) + " fails for " + where);
    }
    std::string replayed;
    getXmlString(replay.merged, replayed);
    if (replayed != run.merged) {
        r.error(f.diversity->name,
                "internal: the check's merge differs from the library's for " + where);
    }
    for (const RuleOutcome& rule : replay.rules) {
        for (const EditOutcome& edit : rule.edits) {
            if (edit.state == EditState::kTargetMissing) {
                r.warning(sourcePos(edit.edit), "the rule applies to " + where +
                                                    ", whose style has "
                                                    "no tab " +
                                                    quoted(edit.tabKey));
            }
        }
    }
    // What the controller is built from: the merged style and its factory records.
    const std::vector<const TiXmlElement*> params = parameterElements(replay.merged.RootElement());
    if (params.size() > kRecordCapacity) {
        r.error(f.style->name, std::to_string(params.size()) + " parameters for " + where +
                                   "; the controller holds " + std::to_string(kRecordCapacity));
    }
    for (size_t i = 0; i < 5; ++i) {
        if (i >= run.records.size() || run.records[i].key != KEY_SCHEME_MODE + i) {
            r.error(f.style->name,
                    "the factory records of " + where + " do not begin with the " + kScheme);
            break;
        }
    }
    std::map<long, const TiXmlElement*> first;
    std::set<long> ids;
    for (const TiXmlElement* e : params) {
        ids.insert(idOf(e));
        auto earlier = first.emplace(idOf(e), e);
        if (!earlier.second) {
            r.error(sourcePos(e), "id " + std::to_string(idOf(e)) + " twice in the style of " +
                                      where + "; first at " + sourcePos(earlier.first->second));
        }
    }
    for (const TiXmlElement* e : params) {
        for (long id : enableList(e)) {
            if (!ids.count(id)) {
                r.error(sourcePos(e), "enable_list of " + controlLabel(e) + " names " +
                                          std::to_string(id) + ", absent from the style of " +
                                          where);
            }
        }
    }
}

// The three families of documents and the devices that use each.
std::vector<Family> families(const std::string& dir, Report& r) {
    std::vector<Family> out;
    for (const SensorStyleFiles::StyleFileRow& row : SensorStyleFiles::kStyleFileRows) {
        Family f;
        f.row = &row;
        std::vector<long> types(row.types, row.types + row.typeCount);
        f.channel = row.channel == SensorStyleFiles::kAnyChannel ? 1 : row.channel;
        f.devices = "device types " + joinNumbers(types) +
                    (row.channel == SensorStyleFiles::kAnyChannel
                         ? ""
                         : " channel " + std::to_string(row.channel));
        f.style = readDocument(dir, std::string("style/") + row.style, r);
        f.diversity = readDocument(dir, std::string("styleDiversity/") + row.diversity, r);
        out.push_back(f);
    }
    return out;
}

}  // namespace

void cmdCheckDeviceData(Session& s, const Args& a) {
    std::string dir = s.options().deviceDir;
    if (a.size() == 2 && a[0] == "--device") {
        dir = a[1];
    } else if (!a.empty()) {
        s.error("expected: check [--device DIR]");
        return;
    }
    Report r(s);
    SourceDocPtr moduleDoc = readDocument(dir, "moduleConfig.xml", r);
    std::vector<Module> modules = readModules(*moduleDoc, r);
    std::vector<Family> all = families(dir, r);
    size_t combinations = 0;
    for (const Family& f : all) {
        checkStyle(*f.style, r);
        checkDiversity(f, modules, r);
        if (!f.style->parsed || !f.diversity->read) {
            continue;
        }
        checkCombination(f, "a board without a module", "", r);
        ++combinations;
        for (const Module& m : modules) {
            checkCombination(f, m.label, m.detail, r);
            ++combinations;
        }
    }
    // Rules that no module meets in any family they belong to.
    for (const Family& f : all) {
        for (const TiXmlElement* rule = f.diversity->parsed ? f.diversity->doc.RootElement()
                                                            : nullptr;
             rule != nullptr; rule = rule->NextSiblingElement()) {
            bool met = false;
            for (const Module& m : modules) {
                MergeReplay replay;
                replayMerge(*f.style, *f.diversity, m.detail, replay);
                for (const RuleOutcome& o : replay.rules) {
                    met |= o.rule == rule && o.matched;
                }
            }
            if (!met && rule->FirstAttribute() != nullptr) {
                r.warning(sourcePos(rule), "no module of moduleConfig.xml meets this rule");
            }
        }
    }
    auto counted = [](int n, const char* what) {
        return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
    };
    s.result("check: " + counted(r.errors(), "error") + ", " + counted(r.warnings(), "warning") +
             " in " + dir + " (" + std::to_string(all.size() * 2 + 1) + " documents, " +
             std::to_string(combinations) + " combinations)");
    if (r.errors() > 0) {
        s.error(counted(r.errors(), "error") + " in the device data");
    }
}
