// The histories of the three input fields and the loading and saving of everything the settings
// file keeps: option states, the last texts of the fields, and their histories.
#pragma once

#include <string>
#include <vector>

#include "options/copy_options.h"
#include "options/settings_file.h"
#include "support/dialogs.h"

namespace ferrit {

constexpr const char* kDefaultOptionsSection = "Default Options";
constexpr const char* kSourceHistorySection = "SourceHistory";
constexpr const char* kTargetHistorySection = "TargetHistory";
constexpr const char* kPatternHistorySection = "PatternHistory";
constexpr const char* kSourceDirKey = "Source Dir";
constexpr const char* kTargetDirKey = "Target Dir";
constexpr const char* kPatternKey = "Pattern";
constexpr const char* kDefaultPattern = "*.*";

// A history holds positions 0 to 10, the most recent first.
constexpr int kHistoryPositions = 11;

// One input field: its current text and its history list.
struct FieldHistory {
    std::string text;
    std::vector<std::string> items;
};

// The three fields of the Settings tab as the settings file sees them.
struct SettingsFields {
    FieldHistory source;
    FieldHistory target;
    FieldHistory pattern;
};

// Puts the text at the head of the list unless positions 0 to 10 already hold it; a position
// past the end reads as the empty text, so an empty text enters only a full list. An entry equal
// to the text keeps its place, and a full list loses its entry at position 10.
void AddHistoryItem(std::vector<std::string>& items, const std::string& text);

// Appends the non-empty values of keys "0" to "10" of the section, in key order.
void ComboReadHistory(const SettingsFile& file, const std::string& section,
                      std::vector<std::string>& items);
// Writes entry k under key k; writes nothing for an empty list and never deletes higher keys.
void ComboSaveHistory(SettingsFile& file, const std::string& section,
                      const std::vector<std::string>& items);

// Whether the option moves, copies back into or marks the source tree: "Move Files", "Copy
// Bi-directional", "Only Files with Archive bit" and "Clear Archive Bit".
bool ChangesSourceData(uint8_t index);

// The ticked state of every option from "Default Options", keyed by caption. A key the file
// lacks reads as ticked; where no file could be read at all, the options that change source
// data start unticked. Where both "Move Files" and "Copy Bi-directional" are ticked, the pass
// back is unticked.
void LoadTickedStates(const SettingsFile& file, OptionSet& options);

// The three texts ("Source Dir", "Target Dir", "Pattern" with "*.*" by default), then the three
// histories. The caller evaluates the paths afterwards.
void ReadDefaults(const SettingsFile& file, SettingsFields& fields);

// Saves the ticked states, the three texts and the histories, flushing after the texts and at
// the end. A failed save shows "Unable to write to <file>" and ends the save; returns false then.
bool WriteDefaults(SettingsFile& file, const OptionSet& options, const SettingsFields& fields,
                   Dialogs& dialogs);

}  // namespace ferrit
