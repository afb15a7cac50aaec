#include "options/option_reasons.h"

namespace ferrit {

namespace {

constexpr uint16_t kWriteCreate = Rights::Write | Rights::Create;

// The NetWare items need both sides on NetWare, no second pass and Access Control on each side.
std::string NetWareItemReason(const OptionSet& options, const LocationFacts& facts) {
    if (!facts.bothNetWare) {
        return "both paths must be on NetWare volumes";
    }
    if (options.Ticked(CopyBidirectional)) {
        return QuotedCaption(CopyBidirectional) + " is ticked";
    }
    const bool source = LacksRights(facts.sourceRights, Rights::AccessControl);
    const bool target = LacksRights(facts.targetRights, Rights::AccessControl);
    if (source && target) {
        return "Access Control is missing on the source and on the target";
    }
    if (source) {
        return "Access Control is missing on the source";
    }
    if (target) {
        return "Access Control is missing on the target";
    }
    return std::string();
}

std::string AddReason(const std::string& reasons, const std::string& reason) {
    return reasons.empty() ? reason : reasons + "; " + reason;
}

}  // namespace

std::string QuotedCaption(uint8_t index) {
    return std::string("\"") + OptionCaptions.at(index) + "\"";
}

std::string DisabledReason(uint8_t index, const OptionSet& options, const LocationFacts& facts) {
    if (options.Enabled(index)) {
        return std::string();
    }
    std::string reason;
    switch (index) {
        case OverwriteOlderFiles:
            // Greyed by "Overwrite Always" before the same evaluation unticked that option for
            // "Copy Bi-directional"; the next evaluation enables it again.
            reason =
                QuotedCaption(OverwriteAlways) +
                (options.Ticked(OverwriteAlways) ? " is ticked"
                                                 : " was ticked when the options were checked");
            break;
        case CopyBidirectional:
            reason = "the source lacks Write or Create rights";
            break;
        case KeepOwner:
        case KeepDirectoryTrustees:
        case KeepFileTrustees:
        case KeepInheritedRightsMask:
        case KeepSpaceLimitations:
            reason = NetWareItemReason(options, facts);
            break;
        case ClearArchiveBit:
            reason = QuotedCaption(MoveFiles) + " is ticked";
            break;
        default:
            break;
    }
    return reason.empty() ? "the option rules disable it" : reason;
}

std::string NotInForceReason(uint8_t index, const OptionSet& options, const LocationFacts& facts) {
    if (options.cbAllowed(index)) {
        return std::string();
    }
    if (!options.Enabled(index)) {
        return DisabledReason(index, options, facts);
    }
    // Enabled and unticked: the two options a rule unticks, or the operator's choice.
    if (index == OverwriteAlways && options.Ticked(CopyBidirectional)) {
        return QuotedCaption(CopyBidirectional) + " is ticked";
    }
    if (index == CopyBidirectional && options.Ticked(MoveFiles)) {
        return QuotedCaption(MoveFiles) + " is ticked";
    }
    return "the option rules untick it";
}

std::string StartRefusedReason(const LocationFacts& facts) {
    if (facts.targetNetWare && LacksRights(facts.targetRights, kWriteCreate)) {
        return "the target lacks Write or Create rights";
    }
    return std::string();
}

std::string StartDisabledReason(const StartPaths& paths, const LocationFacts& facts) {
    std::string reasons;
    if (!paths.sourceGiven) {
        reasons = AddReason(reasons, "no source directory is given");
    } else if (!paths.sourceExists) {
        reasons = AddReason(reasons, "the source directory does not exist");
    }
    if (!paths.targetGiven) {
        reasons = AddReason(reasons, "no target directory is given");
    } else if (!paths.targetExists) {
        reasons = AddReason(reasons, "the target directory does not exist");
    }
    const std::string rules = StartRefusedReason(facts);
    return rules.empty() ? reasons : AddReason(reasons, rules);
}

}  // namespace ferrit
