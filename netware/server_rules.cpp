#include "netware/server_rules.h"

namespace ferrit {

namespace {

bool Holds(uint16_t rights, uint16_t bit) {
    return (rights & bit) != 0;
}

}  // namespace

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
    return supervisorAtStake && !Holds(loginRights, Rights::Supervisor)
               ? NWErr::NoModifyPrivileges
               : 0;
}

NWCCODE MayChangeOwner(uint16_t loginRights) {
    return Holds(loginRights, Rights::Supervisor) ? 0 : NWErr::NoModifyPrivileges;
}

}  // namespace ferrit
