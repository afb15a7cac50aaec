#include "netware/server_rules.h"

#include "support/strings.h"

namespace ferrit {

namespace {

// Rights in the order of their letters.
const struct {
    char letter;
    uint16_t bit;
} kLetters[] = {{'S', Rights::Supervisor}, {'R', Rights::Read},         {'W', Rights::Write},
                {'C', Rights::Create},     {'E', Rights::Erase},        {'M', Rights::Modify},
                {'F', Rights::FileScan},   {'A', Rights::AccessControl}};

bool Holds(uint16_t rights, uint16_t bit) {
    return (rights & bit) != 0;
}

}  // namespace

std::string RightsLetters(uint16_t rights) {
    std::string text = "[";
    for (const auto& l : kLetters) {
        text += (rights & l.bit) != 0 ? l.letter : ' ';
    }
    return text + "]";
}

bool ParseRightsLetters(const std::string& text, uint16_t& rights) {
    const std::string upper = UpperAscii(text);
    if (upper == "ALL") {
        rights = kAllTrusteeRights;
        return true;
    }
    if (upper == "NONE" || upper == "-") {
        rights = 0;
        return true;
    }
    uint16_t r = 0;
    for (size_t i = 0; i < upper.size(); ++i) {
        const char c = upper[i];
        if (c == ' ' || (c == '[' && i == 0) || (c == ']' && i == upper.size() - 1)) {
            continue;
        }
        bool known = false;
        for (const auto& l : kLetters) {
            if (l.letter == c) {
                r |= l.bit;
                known = true;
            }
        }
        if (!known) {
            return false;
        }
    }
    rights = r;
    return true;
}

NWCCODE MayChangeEntry(uint16_t loginRights) {
    return Holds(loginRights, Rights::AccessControl | Rights::Supervisor)
               ? 0
               : NWErr::NoModifyPrivileges;
}

NWCCODE MayAssignTrustee(uint16_t loginRights, uint16_t granted, uint16_t held) {
    if (const NWCCODE code = MayChangeEntry(loginRights)) {
        return code;
    }
    const bool supervisorAtStake =
        Holds(granted, Rights::Supervisor) || Holds(held, Rights::Supervisor);
    return supervisorAtStake && !Holds(loginRights, Rights::Supervisor) ? NWErr::NoModifyPrivileges
                                                                        : 0;
}

NWCCODE MayChangeOwner(uint16_t loginRights) {
    return Holds(loginRights, Rights::Supervisor) ? 0 : NWErr::NoModifyPrivileges;
}

}  // namespace ferrit
