// sensorctl explain: the diversity rules of the current model's documents, each with its
// outcome (matched, not matched and why, or an edit whose tab is missing) and the controls
// that its edits added, changed or removed.
#include <string>
#include <vector>

#include "DeviceCommands.h"
#include "SensorStyleFiles.h"
#include "StyleModel.h"

namespace {

std::string conditionText(const ConditionOutcome& c) {
    return c.field + "=\"" + c.accepted + "\"";
}

// Why a condition holds or not: "isInfrared is "1"" or "lens is not in the detail text".
std::string conditionReason(const ConditionOutcome& c) {
    if (!c.present) {
        return c.field + " is not in the detail text";
    }
    return c.field + " is \"" + c.found + "\"" + (c.holds ? "" : ", wanted \"" + c.accepted + "\"");
}

const char* editOutcome(EditState state) {
    switch (state) {
        case EditState::kApplied:
            return "";
        case EditState::kTargetMissing:
            return "target missing: no such tab at this point";
        case EditState::kNoContent:
            return "no tab to put in: nothing done";
        case EditState::kNoTabKey:
            return "no tab_key: nothing done";
        case EditState::kUnknownOperation:
            return "not an edit (Modify, AddAfter or Delete): nothing done";
    }
    return "";
}

// The lines that tell one rule's outcome and what its edits did.
std::vector<std::string> ruleLines(size_t number, const RuleOutcome& rule) {
    std::string conditions;
    for (const TiXmlAttribute* a = rule.rule->FirstAttribute(); a != nullptr; a = a->Next()) {
        conditions +=
            std::string(conditions.empty() ? "" : " ") + a->Name() + "=\"" + a->Value() + "\"";
    }
    std::string head = "rule " + std::to_string(number) + " at " + sourcePos(rule.rule) + " <" +
                       rule.rule->Value() + " " + conditions + ">: ";
    if (rule.conditions.empty()) {
        return {head + "not matched: the rule has no condition"};
    }
    if (!rule.matched) {
        std::string reasons;
        for (const ConditionOutcome& c : rule.conditions) {
            reasons += (reasons.empty() ? "" : "; ") + conditionReason(c);
        }
        return {head + "not matched: " + reasons};
    }
    const ConditionOutcome& holding = rule.conditions.back();
    bool missing = false;
    for (const EditOutcome& e : rule.edits) {
        missing |= e.state == EditState::kTargetMissing;
    }
    std::vector<std::string> lines = {head + (missing ? "matched, target missing" : "matched") +
                                      " by " + conditionText(holding) + " (" +
                                      conditionReason(holding) + ")"};
    if (rule.edits.empty()) {
        lines.push_back("  no edit");
    }
    for (const EditOutcome& e : rule.edits) {
        const size_t n = e.changes.size();
        lines.push_back(
            "  " + e.operation + " tab '" + e.tabKey + "' at " + sourcePos(e.edit) + ": " +
            (e.state == EditState::kApplied ? std::to_string(n) + " control" + (n == 1 ? "" : "s")
                                            : editOutcome(e.state)));
        for (const ControlChange& c : e.changes) {
            lines.push_back(std::string("    ") + c.kind + " " + c.label +
                            (c.detail.empty() ? "" : ": " + c.detail));
        }
    }
    return lines;
}

}  // namespace

void cmdExplain(Session& s, const Args&) {
    MachineInfo machine;
    if (!s.machineInfo(machine)) {
        s.error("cannot read the root's machineinfo.ini");
        return;
    }
    bool matched = false;
    const ModuleConfigure module = s.moduleConfigure(&matched);
    const SensorStyleFiles::StyleFileRow& row =
        SensorStyleFiles::chooseStyleFiles(machine.getDeviceType(), s.cameraId());
    const std::string stylePath = std::string(SensorStyleFiles::kStyleDir) + row.style;
    const std::string diversityPath =
        std::string(SensorStyleFiles::kStyleDiversityDir) + row.diversity;
    SourceDocPtr style = loadSourceDoc(s.hostPath(stylePath), stylePath);
    SourceDocPtr diversity = loadSourceDoc(s.hostPath(diversityPath), diversityPath);

    s.result("model: device type " + std::to_string(machine.getDeviceType()) + ", channel " +
             std::to_string(s.cameraId()) + ", board " + machine.getHardwareModel() + " / " +
             machine.getHardwareCode());
    s.result(matched || s.options().detailGiven
                 ? "module: " + std::to_string(module.getModuleId()) + ", detail \"" +
                       module.getDetail() + "\""
                 : "module: none of moduleConfig.xml matches this board; the detail text is "
                   "empty and no rule can match");
    s.result("documents: " + stylePath + ", " + diversityPath);
    for (const SourceDocPtr& doc : {style, diversity}) {
        if (!doc->parsed) {
            s.error(doc->name + (doc->read ? " does not parse (see 'check')" : " is missing"));
        }
    }
    MergeReplay replay;
    replayMerge(*style, *diversity, module.getDetail(), replay);
    size_t matchedRules = 0;
    for (size_t i = 0; i < replay.rules.size(); ++i) {
        for (const std::string& line : ruleLines(i + 1, replay.rules[i])) {
            s.result(line);
        }
        matchedRules += replay.rules[i].matched ? 1 : 0;
    }
    s.result(std::to_string(matchedRules) + " of " + std::to_string(replay.rules.size()) +
             " rules matched");
}
