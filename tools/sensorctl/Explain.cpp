// sensorctl explain: the diversity rules of the current model's documents, each with its
// outcome (matched, not matched and why, or an edit whose tab is missing) and the controls
// that its edits added, changed or removed.
#include <cstdio>

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

void printRule(size_t number, const RuleOutcome& rule) {
    std::string conditions;
    for (const TiXmlAttribute* a = rule.rule->FirstAttribute(); a != nullptr; a = a->Next()) {
        conditions +=
            std::string(conditions.empty() ? "" : " ") + a->Name() + "=\"" + a->Value() + "\"";
    }
    std::printf("rule %zu at %s <%s %s>: ", number, sourcePos(rule.rule).c_str(),
                rule.rule->Value(), conditions.c_str());
    if (rule.conditions.empty()) {
        std::printf("not matched: the rule has no condition\n");
        return;
    }
    if (!rule.matched) {
        std::string reasons;
        for (const ConditionOutcome& c : rule.conditions) {
            reasons += (reasons.empty() ? "" : "; ") + conditionReason(c);
        }
        std::printf("not matched: %s\n", reasons.c_str());
        return;
    }
    const ConditionOutcome& holding = rule.conditions.back();
    bool missing = false;
    for (const EditOutcome& e : rule.edits) {
        missing |= e.state == EditState::kTargetMissing;
    }
    std::printf("%s by %s (%s)\n", missing ? "matched, target missing" : "matched",
                conditionText(holding).c_str(), conditionReason(holding).c_str());
    if (rule.edits.empty()) {
        std::printf("  no edit\n");
    }
    for (const EditOutcome& e : rule.edits) {
        std::printf("  %s tab '%s' at %s: ", e.operation.c_str(), e.tabKey.c_str(),
                    sourcePos(e.edit).c_str());
        switch (e.state) {
            case EditState::kApplied:
                std::printf("%zu control%s\n", e.changes.size(), e.changes.size() == 1 ? "" : "s");
                break;
            case EditState::kTargetMissing:
                std::printf("target missing: no tab '%s' at this point\n", e.tabKey.c_str());
                break;
            case EditState::kNoContent:
                std::printf("no tab to put in: nothing done\n");
                break;
            case EditState::kNoTabKey:
                std::printf("no tab_key: nothing done\n");
                break;
            case EditState::kUnknownOperation:
                std::printf("not an edit (Modify, AddAfter or Delete): nothing done\n");
                break;
        }
        for (const ControlChange& c : e.changes) {
            std::printf("    %c %s%s%s\n", c.kind, c.label.c_str(), c.detail.empty() ? "" : ": ",
                        c.detail.c_str());
        }
    }
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

    std::printf("model: device type %d, channel %d, board %s / %s\n", machine.getDeviceType(),
                s.cameraId(), machine.getHardwareModel().c_str(),
                machine.getHardwareCode().c_str());
    if (matched || s.options().detailGiven) {
        std::printf("module: %d, detail \"%s\"\n", module.getModuleId(),
                    module.getDetail().c_str());
    } else {
        std::printf(
            "module: none of moduleConfig.xml matches this board; the detail text is "
            "empty and no rule can match\n");
    }
    std::printf("documents: %s, %s\n", stylePath.c_str(), diversityPath.c_str());
    for (const SourceDocPtr& doc : {style, diversity}) {
        if (!doc->parsed) {
            s.error(doc->name + (doc->read ? " does not parse (see 'check')" : " is missing"));
        }
    }
    MergeReplay replay;
    replayMerge(*style, *diversity, module.getDetail(), replay);
    size_t matchedRules = 0;
    for (size_t i = 0; i < replay.rules.size(); ++i) {
        printRule(i + 1, replay.rules[i]);
        matchedRules += replay.rules[i].matched ? 1 : 0;
    }
    std::printf("%zu of %zu rules matched\n", matchedRules, replay.rules.size());
}
