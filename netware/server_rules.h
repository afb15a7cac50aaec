// What a NetWare server answers to a change of an entry's metadata, decided on the login's
// effective rights at the entry. The emulated servers keep these rules, and a preview predicts a
// server's answers by them.
#pragma once

#include <cstdint>
#include <string>

#include "netware/netware_client.h"
#include "options/copy_options.h"

namespace ferrit {

// Every trustee right: what an entry without a mask of its own passes on, and what Supervisor
// gives.
constexpr uint16_t kAllTrusteeRights = Rights::Supervisor | Rights::Read | Rights::Write |
                                       Rights::Create | Rights::Erase | Rights::Modify |
                                       Rights::FileScan | Rights::AccessControl;
static_assert(kAllTrusteeRights == 0x1FB, "the eight NetWare trustee rights");

// Rights in NetWare's letters, always ten characters: "[SRWCEMFA]" with a blank for each missing
// right, so "[ RWCE F ]" reads Read, Write, Create, Erase and File Scan.
std::string RightsLetters(uint16_t rights);
// Reads rights written as letters of SRWCEMFA in any order and case, with or without the
// brackets and blanks; "ALL" gives every right, "none", "-" and "[]" none. False for any other
// character.
bool ParseRightsLetters(const std::string& text, uint16_t& rights);

// Completion codes of NetWare servers that the program produces or tells apart.
namespace NWErr {
constexpr NWCCODE NoModifyPrivileges = 0x898C;
constexpr NWCCODE BadDirectoryHandle = 0x899B;
constexpr NWCCODE InvalidPath = 0x899C;  // also: no more trustees
constexpr NWCCODE NoSuchObject = 0x89FC;
constexpr NWCCODE Failure = 0x89FF;  // also: no more entries, no limit to remove
}  // namespace NWErr

// A change of an entry's trustees, inherited rights mask, space limit or DOS information takes
// Access Control or Supervisor there.
NWCCODE MayChangeEntry(uint16_t loginRights);

// A trustee assignment of `granted` to an object that holds `held` there (0: none). As any
// change; Supervisor is granted, or taken from an assignment that holds it, only by a login that
// holds Supervisor itself.
NWCCODE MayAssignTrustee(uint16_t loginRights, uint16_t granted, uint16_t held);

// A new owner takes Supervisor: Access Control lets a login pass rights on, not hand the entry
// (and the space it uses) to someone else.
NWCCODE MayChangeOwner(uint16_t loginRights);

}  // namespace ferrit
