// The NetWare metadata of the entries of the emulated volumes — trustees, owner, inherited rights
// mask, space limit — and the two stores that keep it.
//
// Each field is kept as text, in the same form in either store:
//   trustees  "ID:RIGHTS,ID:RIGHTS,..." (hexadecimal, in the order of assignment)
//   owner     "ID"                      (absent: owned by the server's login)
//   irm       "RIGHTS"                  (absent: every right is inherited)
//   limit     blocks of 4 KB, decimal    (absent: no space limit)
// Identifiers are those of the server the volume belongs to.
//
// Where the system keeps extended attributes with its entries (Linux), the fields are the
// attributes `user.netware.trustees`, `.owner`, `.irm` and `.limit` of the entry itself, so they
// move with it when it is renamed and vanish when it is removed. Elsewhere (Windows) one side
// file beside each volume's directory keeps them (VolumeSideStore), each record bound to its
// entry's identity, so that a renamed entry keeps its fields and a new entry under an old name
// gets none of the old one's.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "netware/server_rules.h"
#include "nwemu/location.h"

namespace ferrit {
namespace nwemu {

// Every trustee right: what an entry without a mask of its own passes on and what Supervisor
// gives.
constexpr uint16_t kAllRights = kAllTrusteeRights;

// Space limits are kept in the client's unit, blocks of 4 KB.
constexpr uint32_t kSpaceBlockBytes = 4096;

struct Trustee {
    uint32_t id = 0;
    uint16_t rights = 0;
};

// Gives an object its rights in a trustee list: its earlier assignment is replaced, else the
// assignment is added at the end. Only real rights bits are kept.
void AssignTrustee(std::vector<Trustee>& trustees, uint32_t id, uint16_t rights);

enum class MetadataField { Trustees, Owner, Mask, Limit };

// The name of a field: "trustees", "owner", "irm", "limit".
const char* FieldName(MetadataField field);

// Where the fields of the entries are kept. Each call is given the entry's location and the
// directory of its volume. Used by one thread at a time.
class MetadataStore {
  public:
    virtual ~MetadataStore() = default;
    // The text of a field: 0, 1168 when the entry has no such field (or does not exist), or the
    // Windows error number that kept it from being read.
    virtual int Read(const std::string& volumeRoot, const Location& entry, MetadataField field,
                     std::string& text) = 0;
    // Stores the text of a field, or removes the field for an empty text: 0 or a Windows error
    // number. What was kept stays as it was when the write fails.
    virtual int Write(const std::string& volumeRoot, const Location& entry, MetadataField field,
                      const std::string& text) = 0;
};

// How metadata is kept.
enum class MetadataKeeping {
    WithEntries,   // extended attributes of each entry
    BesideVolumes  // a side file beside each volume's directory
};

// With the entries where this system keeps extended attributes, else beside the volumes.
MetadataKeeping SystemMetadataKeeping();

std::unique_ptr<MetadataStore> MakeMetadataStore(MetadataKeeping keeping);

// The side file of a volume: the volume's directory with ".nwemu" after it (DATA.nwemu beside
// DATA). Empty for a volume at the root of a file system, which has no place beside it.
std::string SideFileOf(const std::string& volumeRoot);

// The fields of one entry, read and written as values. Reads answer false when the field is
// absent or cannot be read; ReadTrustees tells the two apart through `error` (0 when the entry
// simply has no trustees), so a list that cannot be read is never taken for an empty one and
// overwritten. Writes answer 0 or a Windows error number.
class EntryMetadata {
  public:
    // An entry on no volume: every read finds nothing, every write fails (3).
    EntryMetadata() = default;
    EntryMetadata(std::shared_ptr<MetadataStore> store, const std::string& volumeRoot,
                  const Location& entry);

    bool ReadTrustees(std::vector<Trustee>& trustees, int* error = nullptr) const;
    int WriteTrustees(const std::vector<Trustee>& trustees) const;  // empty: none
    bool ReadOwner(uint32_t& id) const;
    int WriteOwner(uint32_t id) const;
    bool ReadMask(uint16_t& mask) const;
    int WriteMask(uint16_t mask) const;
    bool ReadLimit(uint32_t& blocks) const;
    int WriteLimit(uint32_t blocks) const;  // 0 removes the limit

  private:
    int Read(MetadataField field, std::string& text) const;
    int Write(MetadataField field, const std::string& text) const;

    std::shared_ptr<MetadataStore> store_;  // kept for as long as the value lives
    std::string root_;
    Location entry_;
};

}  // namespace nwemu
}  // namespace ferrit
