// Device data as its authors wrote it, for the device-data commands (check, explain, page):
// documents parsed with their source positions, the parameter elements of a style, and the
// style merge replayed rule by rule, so that every report can name the file, line and column
// an element came from and say what each rule did.
#ifndef SENSORCTL_STYLE_MODEL_H
#define SENSORCTL_STYLE_MODEL_H

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <tinyxml.h>

// One document read from a file. Every node of `doc` carries a pointer to this record as its
// user data (kept by copies), so an element of a merged document still names its source.
struct SourceDoc {
    std::string name;  // the name reports use, e.g. "style/Style.xml"
    std::string text;
    bool read = false;    // the file could be read
    bool parsed = false;  // and parsed without error
    TiXmlDocument doc;
};
typedef std::shared_ptr<SourceDoc> SourceDocPtr;

// Reads `path` and, with `parse`, parses it; `name` is how reports call it. Always returns a
// record; `read` and `parsed` say how far it got (a parse error is in doc.ErrorDesc/ErrorRow/
// ErrorCol).
SourceDocPtr loadSourceDoc(const std::string& path, const std::string& name, bool parse = true);
// Parses the text of a record that was read without parsing.
void parseSourceDoc(SourceDoc& source);

// "name:line:col" of a node (of any document loaded by loadSourceDoc, or a copy of one).
std::string sourcePos(const TiXmlNode* node);
// The same for an attribute of `owner`.
std::string sourcePos(const TiXmlAttribute* attribute, const TiXmlNode* owner);
// The document a node came from (null for nodes made elsewhere).
const SourceDoc* sourceOf(const TiXmlNode* node);

// ---- parameter elements ----
// A parameter element carries both "id" and "value"; its id is read as the library reads it.
bool isParameter(const TiXmlElement* element);
int idOf(const TiXmlElement* element);
// Strict decimal number (an optional sign, digits, nothing else); false otherwise.
bool parseDecimal(const char* text, long& out);
// The parameter elements below (and including) `start`, depth-first in document order.
std::vector<const TiXmlElement*> parameterElements(const TiXmlElement* start);
// The "index" values of a parameter's item children, in order (children without one skipped).
std::vector<long> itemIndexes(const TiXmlElement* parameter);
// The ids of an "enable_list" text ("49,50"); empty pieces are skipped, `bad` collects pieces
// that are not numbers.
std::vector<long> enableList(const TiXmlElement* element, std::vector<std::string>* bad = nullptr);
// A one-line description of a control: "34 brightness".
std::string controlLabel(const TiXmlElement* parameter);

// ---- the merge, replayed ----
struct ConditionOutcome {
    std::string field;     // the detail field a condition attribute names
    std::string accepted;  // its accepted values, as written
    bool present = false;  // the detail text has the field
    std::string found;     // the field's value as the library reads it (at most 9 characters)
    bool holds = false;
    const TiXmlAttribute* attribute = nullptr;
};

struct ControlChange {
    char kind;  // '+' added, '-' removed, '~' changed
    std::string label;
    std::string detail;  // for '~': what changed ("value 100 -> 205")
};

enum class EditState { kApplied, kTargetMissing, kNoContent, kNoTabKey, kUnknownOperation };

struct EditOutcome {
    const TiXmlElement* edit = nullptr;
    std::string operation;
    std::string tabKey;
    EditState state = EditState::kApplied;
    std::vector<ControlChange> changes;
};

struct RuleOutcome {
    const TiXmlElement* rule = nullptr;
    std::vector<ConditionOutcome> conditions;  // those the library looked at, in order
    bool matched = false;
    std::vector<EditOutcome> edits;  // when matched
};

// The merge of `diversity` into `base` for the module detail text `detail`, done as the
// library does it, with each rule's outcome. `merged` holds copies of the source elements.
struct MergeReplay {
    TiXmlDocument merged;
    std::vector<RuleOutcome> rules;
};
void replayMerge(const SourceDoc& base, const SourceDoc& diversity, const std::string& detail,
                 MergeReplay& out);

// The first child of the root whose "key" equals `key`.
const TiXmlElement* findTab(const TiXmlDocument& doc, const std::string& key);

#endif
