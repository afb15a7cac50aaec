// Emulated NetWare servers for tests: a standard description of two servers in one tree plus a
// bindery-only server, with their volumes in a temporary directory.
#pragma once

#include <string>

#include "nwemu/config.h"
#include "testing/temp_dir.h"

namespace ferrit {
namespace testing {

// Identifiers of the standard description. The same person has other identifiers on each server.
namespace StdIds {
constexpr uint32_t Fs1Jsmith = 0x01000011, Fs1Mbrown = 0x01000012, Fs1Admin = 0x01000001,
                   Fs1Temp = 0x01000013, Fs1Sales = 0x02000021, Fs1Staff = 0x02000022;
constexpr uint32_t Fs2Jsmith = 0x0B000105, Fs2Mbrown = 0x0B000106, Fs2Admin = 0x0B000101,
                   Fs2Sales = 0x0C000201;
constexpr uint32_t Fs3Jsmith = 0x00000301, Fs3Mbrown = 0x00000302, Fs3Sales = 0x00000401;
}  // namespace StdIds

// FS1 and FS2 in tree ACME, FS3 bindery only; volume DATA of each under scratch/FS1/DATA ...
// (created). JSMITH is logged in everywhere and belongs to SALES (FS1 also STAFF); TEMP exists
// on FS1 only and ADMIN on the tree servers only. No trustees are set.
nwemu::Config StandardServers(TempDir& scratch);

}  // namespace testing
}  // namespace ferrit
