// The fifteen copy options, their ticked and enabled states, and the rules that keep them
// consistent with each other and with what the two locations allow.
#pragma once

#include <array>
#include <cstdint>

namespace ferrit {

enum CopyOption : uint8_t {
    CopySubdirectories = 0,
    CreateDirectoriesOnTarget = 1,
    ConfirmOverwrites = 2,
    OverwriteOlderFiles = 3,
    OverwriteAlways = 4,
    OverwriteReadOnly = 5,
    MoveFiles = 6,
    CopyBidirectional = 7,
    KeepOwner = 8,
    KeepDirectoryTrustees = 9,
    KeepFileTrustees = 10,
    KeepInheritedRightsMask = 11,
    KeepSpaceLimitations = 12,
    OnlyFilesWithArchiveBit = 13,
    ClearArchiveBit = 14,
};
constexpr int kOptionCount = 15;

// Item texts in index order; they are also the settings-file keys, so they never change.
extern const std::array<const char*, kOptionCount> OptionCaptions;

// NetWare trustee rights bits.
namespace Rights {
constexpr uint16_t Read = 0x01;
constexpr uint16_t Write = 0x02;
constexpr uint16_t Create = 0x08;
constexpr uint16_t Erase = 0x10;
constexpr uint16_t AccessControl = 0x20;
constexpr uint16_t FileScan = 0x40;
constexpr uint16_t Modify = 0x80;
constexpr uint16_t Supervisor = 0x100;
}  // namespace Rights

// True when rights lacks at least one bit of mask.
bool LacksRights(uint16_t rights, uint16_t mask);

// What the option rules need to know about the two locations. All false and zero where no
// NetWare client answers or the paths are local.
struct LocationFacts {
    bool bothNetWare = false;
    bool sourceNetWare = false;
    uint16_t sourceRights = 0;
    bool targetNetWare = false;
    uint16_t targetRights = 0;
};

// The option set: fifteen (ticked, enabled) pairs. Every item starts ticked and enabled.
// The engine reads it only through cbAllowed, live, at each decision.
class OptionSet {
  public:
    OptionSet();

    bool cbAllowed(uint8_t index) const { return ticked_.at(index) && enabled_.at(index); }
    bool Ticked(uint8_t index) const { return ticked_.at(index); }
    bool Enabled(uint8_t index) const { return enabled_.at(index); }
    void SetTicked(uint8_t index, bool value) { ticked_.at(index) = value; }
    void SetEnabled(uint8_t index, bool value) { enabled_.at(index) = value; }

  private:
    std::array<bool, kOptionCount> ticked_;
    std::array<bool, kOptionCount> enabled_;
};

// Applies the eight dependency rules in their order. Returns false when the rules require the
// Start button to be disabled (a NetWare target without Write or Create); true leaves Start as
// the caller set it.
bool CheckBoxDependancies(OptionSet& options, const LocationFacts& facts);

// After an operator toggle: "Move Files" wins over "Copy Bi-directional", then the rules run.
// Returns what CheckBoxDependancies returns.
bool clbClickCheck(OptionSet& options, const LocationFacts& facts);

}  // namespace ferrit
