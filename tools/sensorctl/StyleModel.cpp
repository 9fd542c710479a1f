#include "StyleModel.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "SensorFile.h"
#include "StringHandler.h"

namespace {

// Condition texts agree when equal or when their first five characters are (as the library
// compares a rule's accepted values with a detail field).
const size_t kAgreeLength = 5;
// The library reads a detail field value into a 10-byte zero-filled buffer.
const size_t kDetailValueRoom = 10;

void markSource(TiXmlNode* node, SourceDoc* source) {
    node->SetUserData(source);
    for (TiXmlNode* child = node->FirstChild(); child != nullptr; child = child->NextSibling()) {
        markSource(child, source);
    }
}

bool agrees(const std::string& accepted, const char* found) {
    return std::strncmp(accepted.c_str(), found, kAgreeLength) == 0;
}

// Evaluates one condition attribute against the detail text.
ConditionOutcome evaluateCondition(const TiXmlAttribute* attribute, const std::string& detail) {
    ConditionOutcome c;
    c.attribute = attribute;
    c.field = attribute->Name();
    c.accepted = attribute->Value();
    char value[kDetailValueRoom] = {0};
    c.present = getDetailFieldToStr(detail.c_str(), attribute->Name(), value) == 0;
    if (!c.present) {
        return c;
    }
    c.found = value;
    std::vector<std::string> alternatives;
    StringHandler::split(c.accepted, alternatives, ",");
    for (const std::string& alternative : alternatives) {
        c.holds = c.holds || agrees(alternative, value);
    }
    c.holds = c.holds || agrees(c.accepted, value);
    return c;
}

std::string attributeOr(const TiXmlElement* e, const char* name, const char* fallback = "") {
    const char* v = e->Attribute(name);
    return v != nullptr ? v : fallback;
}

// What a control is, apart from its id, as "name=value" pieces for comparing two versions.
std::map<std::string, std::string> controlFacts(const TiXmlElement* e) {
    std::map<std::string, std::string> facts;
    facts["type"] = e->Value();
    for (const TiXmlAttribute* a = e->FirstAttribute(); a != nullptr; a = a->Next()) {
        if (std::strcmp(a->Name(), "id") != 0) {
            facts[a->Name()] = a->Value();
        }
    }
    std::string items;
    for (const TiXmlElement* item = e->FirstChildElement(); item != nullptr;
         item = item->NextSiblingElement()) {
        items += (items.empty() ? "" : ",") + attributeOr(item, "index", "?") + ":" +
                 attributeOr(item, "name");
    }
    if (!items.empty()) {
        facts["items"] = items;
    }
    return facts;
}

std::string describeDifference(const TiXmlElement* before, const TiXmlElement* after) {
    const std::map<std::string, std::string> a = controlFacts(before);
    const std::map<std::string, std::string> b = controlFacts(after);
    std::string out;
    std::map<std::string, std::string> all = a;
    all.insert(b.begin(), b.end());
    for (const auto& fact : all) {
        auto ia = a.find(fact.first);
        auto ib = b.find(fact.first);
        const std::string va = ia != a.end() ? ia->second : "(none)";
        const std::string vb = ib != b.end() ? ib->second : "(none)";
        if (va == vb) {
            continue;
        }
        out += out.empty() ? "" : ", ";
        out += fact.first == "items" ? "items " + std::to_string(itemIndexes(before).size()) +
                                           " -> " + std::to_string(itemIndexes(after).size())
                                     : fact.first + " \"" + va + "\" -> \"" + vb + "\"";
    }
    return out;
}

// The controls a tab edit adds, removes or changes, comparing the parameters of the tab
// before (null for none) and after (null for none).
std::vector<ControlChange> tabChanges(const TiXmlElement* before, const TiXmlElement* after) {
    std::vector<const TiXmlElement*> old =
        before != nullptr ? parameterElements(before) : std::vector<const TiXmlElement*>();
    std::vector<const TiXmlElement*> now =
        after != nullptr ? parameterElements(after) : std::vector<const TiXmlElement*>();
    std::map<int, const TiXmlElement*> oldById, nowById;
    for (const TiXmlElement* e : old) {
        oldById.emplace(idOf(e), e);
    }
    for (const TiXmlElement* e : now) {
        nowById.emplace(idOf(e), e);
    }
    std::vector<ControlChange> changes;
    for (const TiXmlElement* e : now) {
        auto found = oldById.find(idOf(e));
        if (found == oldById.end()) {
            changes.push_back({'+', controlLabel(e), ""});
        } else if (found->second != nullptr) {
            std::string difference = describeDifference(found->second, e);
            if (!difference.empty()) {
                changes.push_back({'~', controlLabel(e), difference});
            }
            found->second = nullptr;  // a repeated id is reported once
        }
    }
    for (const TiXmlElement* e : old) {
        if (nowById.count(idOf(e)) == 0) {
            changes.push_back({'-', controlLabel(e), ""});
        }
    }
    return changes;
}

TiXmlElement* findTabIn(TiXmlElement* root, const std::string& key) {
    for (TiXmlElement* tab = root != nullptr ? root->FirstChildElement() : nullptr; tab != nullptr;
         tab = tab->NextSiblingElement()) {
        const char* k = tab->Attribute("key");
        if (k != nullptr && key == k) {
            return tab;
        }
    }
    return nullptr;
}

// One edit of a rule on the merged document, as the library applies it.
EditOutcome applyEdit(TiXmlDocument& merged, const TiXmlElement* edit) {
    EditOutcome out;
    out.edit = edit;
    out.operation = edit->Value();
    const char* tabKey = edit->Attribute("tab_key");
    out.tabKey = tabKey != nullptr ? tabKey : "";
    const TiXmlElement* content = edit->FirstChildElement();
    const bool modify = out.operation == "Modify";
    const bool addAfter = out.operation == "AddAfter";
    const bool remove = out.operation == "Delete";
    TiXmlElement* root = merged.RootElement();
    TiXmlElement* target = tabKey != nullptr ? findTabIn(root, tabKey) : nullptr;
    if (!modify && !addAfter && !remove) {
        out.state = EditState::kUnknownOperation;
    } else if (tabKey == nullptr) {
        out.state = EditState::kNoTabKey;
    } else if (target == nullptr) {
        out.state = EditState::kTargetMissing;
    } else if ((modify || addAfter) && content == nullptr) {
        out.state = EditState::kNoContent;
    } else {
        out.changes = tabChanges(remove || modify ? target : nullptr, content);
        if (content != nullptr && (modify || addAfter)) {
            root->InsertAfterChild(target, *content);
        }
        if (modify || remove) {
            root->RemoveChild(target);
        }
    }
    return out;
}

}  // namespace

SourceDocPtr loadSourceDoc(const std::string& path, const std::string& name, bool parse) {
    SourceDocPtr source = std::make_shared<SourceDoc>();
    source->name = name;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return source;
    }
    std::stringstream text;
    text << in.rdbuf();
    source->text = text.str();
    source->read = true;
    if (parse) {
        parseSourceDoc(*source);
    }
    return source;
}

void parseSourceDoc(SourceDoc& source) {
    // The parser may read a few bytes past the terminator of a text that ends inside a
    // multi-byte sequence: parse a zero-padded copy.
    std::vector<char> padded(source.text.begin(), source.text.end());
    padded.resize(padded.size() + 4, '\0');
    source.doc.Parse(padded.data(), nullptr, TIXML_ENCODING_UTF8);
    source.parsed = !source.doc.Error();
    markSource(&source.doc, &source);
}

const SourceDoc* sourceOf(const TiXmlNode* node) {
    return node != nullptr ? static_cast<const SourceDoc*>(node->GetUserData()) : nullptr;
}

std::string sourcePos(const TiXmlNode* node) {
    return sourcePos(nullptr, node);
}

std::string sourcePos(const TiXmlAttribute* attribute, const TiXmlNode* owner) {
    const SourceDoc* doc = sourceOf(owner);
    const TiXmlBase* at = attribute != nullptr ? static_cast<const TiXmlBase*>(attribute) : owner;
    std::string name = doc != nullptr ? doc->name : "?";
    return name + ":" + std::to_string(at->Row()) + ":" + std::to_string(at->Column());
}

bool parseDecimal(const char* text, long& out) {
    if (text == nullptr || *text == '\0') {
        return false;
    }
    const char* digits = (*text == '-' || *text == '+') ? text + 1 : text;
    if (*digits < '0' || *digits > '9') {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || v < INT_MIN || v > INT_MAX) {
        return false;
    }
    out = v;
    return true;
}

bool isParameter(const TiXmlElement* element) {
    return element->Attribute("id") != nullptr && element->Attribute("value") != nullptr;
}

int idOf(const TiXmlElement* element) {
    const char* id = element->Attribute("id");
    return id != nullptr ? std::atoi(id) : 0;
}

std::vector<const TiXmlElement*> parameterElements(const TiXmlElement* start) {
    std::vector<const TiXmlElement*> out;
    if (start == nullptr) {
        return out;
    }
    if (isParameter(start)) {
        out.push_back(start);
    }
    for (const TiXmlElement* child = start->FirstChildElement(); child != nullptr;
         child = child->NextSiblingElement()) {
        std::vector<const TiXmlElement*> below = parameterElements(child);
        out.insert(out.end(), below.begin(), below.end());
    }
    return out;
}

std::vector<long> itemIndexes(const TiXmlElement* parameter) {
    std::vector<long> out;
    for (const TiXmlElement* item = parameter->FirstChildElement(); item != nullptr;
         item = item->NextSiblingElement()) {
        const char* index = item->Attribute("index");
        if (index != nullptr) {
            out.push_back(std::atoi(index));
        }
    }
    return out;
}

std::vector<long> enableList(const TiXmlElement* element, std::vector<std::string>* bad) {
    std::vector<long> ids;
    std::vector<std::string> pieces;
    StringHandler::split(attributeOr(element, "enable_list"), pieces, ",");
    for (const std::string& piece : pieces) {
        long id = 0;
        if (parseDecimal(piece.c_str(), id)) {
            ids.push_back(id);
        } else if (!piece.empty() && bad != nullptr) {
            bad->push_back(piece);
        }
    }
    return ids;
}

std::string controlLabel(const TiXmlElement* parameter) {
    return attributeOr(parameter, "id", "?") + " " + attributeOr(parameter, "name", "(no name)");
}

const TiXmlElement* findTab(const TiXmlDocument& doc, const std::string& key) {
    return findTabIn(const_cast<TiXmlElement*>(doc.RootElement()), key);
}

void replayMerge(const SourceDoc& base, const SourceDoc& diversity, const std::string& detail,
                 MergeReplay& out) {
    out.merged = base.doc;
    out.rules.clear();
    if (!diversity.parsed) {
        return;  // the library applies nothing of a diversity text that does not parse
    }
    for (const TiXmlElement* rule = diversity.doc.RootElement(); rule != nullptr;
         rule = rule->NextSiblingElement()) {
        RuleOutcome outcome;
        outcome.rule = rule;
        for (const TiXmlAttribute* a = rule->FirstAttribute(); a != nullptr && !outcome.matched;
             a = a->Next()) {
            outcome.conditions.push_back(evaluateCondition(a, detail));
            outcome.matched = outcome.conditions.back().holds;
        }
        if (outcome.matched) {
            for (const TiXmlElement* edit = rule->FirstChildElement(); edit != nullptr;
                 edit = edit->NextSiblingElement()) {
                outcome.edits.push_back(applyEdit(out.merged, edit));
            }
        }
        out.rules.push_back(outcome);
    }
}
