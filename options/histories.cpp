#include "options/histories.h"

namespace ferrit {

void AddHistoryItem(std::vector<std::string>& items, const std::string& text) {
    for (int k = 0; k < kHistoryPositions; ++k) {
        const std::string entry = k < static_cast<int>(items.size()) ? items[k] : std::string();
        if (entry == text) {
            return;
        }
    }
    if (static_cast<int>(items.size()) >= kHistoryPositions) {
        items.erase(items.begin() + (kHistoryPositions - 1), items.end());
    }
    items.insert(items.begin(), text);
}

void ComboReadHistory(const SettingsFile& file, const std::string& section,
                      std::vector<std::string>& items) {
    for (int k = 0; k < kHistoryPositions; ++k) {
        const std::string value = file.ReadString(section, std::to_string(k), std::string());
        if (!value.empty()) {
            items.push_back(value);
        }
    }
}

void ComboSaveHistory(SettingsFile& file, const std::string& section,
                      const std::vector<std::string>& items) {
    for (size_t k = 0; k < items.size(); ++k) {
        file.WriteString(section, std::to_string(k), items[k]);
    }
}

bool ChangesSourceData(uint8_t index) {
    return index == MoveFiles || index == CopyBidirectional || index == OnlyFilesWithArchiveBit ||
           index == ClearArchiveBit;
}

void LoadTickedStates(const SettingsFile& file, OptionSet& options) {
    // A first start (nothing could be read) must not move, copy back into or mark the user's
    // source before the operator has chosen so. A file that was read keeps its old meaning:
    // a key it lacks reads as ticked, as the files written so far rely on.
    const bool firstStart = file.Status() != ConfigFileStatus::Read;
    for (uint8_t i = 0; i < kOptionCount; ++i) {
        const bool byDefault = !(firstStart && ChangesSourceData(i));
        options.SetTicked(i, file.ReadBool(kDefaultOptionsSection, OptionCaptions[i], byDefault));
    }
    // Moving and a pass back never run together: the second pass would move every file back
    // and empty the target. "Move Files" wins, as after a click, and the pass back that was
    // ticked has kept "Overwrite Always" off until now, so it stays off.
    if (options.Ticked(MoveFiles) && options.Ticked(CopyBidirectional)) {
        options.SetTicked(CopyBidirectional, false);
        options.SetTicked(OverwriteAlways, false);
    }
}

void ReadDefaults(const SettingsFile& file, SettingsFields& fields) {
    fields.source.text = file.ReadString(kDefaultOptionsSection, kSourceDirKey, std::string());
    fields.target.text = file.ReadString(kDefaultOptionsSection, kTargetDirKey, std::string());
    fields.pattern.text = file.ReadString(kDefaultOptionsSection, kPatternKey, kDefaultPattern);
    ComboReadHistory(file, kSourceHistorySection, fields.source.items);
    ComboReadHistory(file, kTargetHistorySection, fields.target.items);
    ComboReadHistory(file, kPatternHistorySection, fields.pattern.items);
}

bool WriteDefaults(SettingsFile& file, const OptionSet& options, const SettingsFields& fields,
                   Dialogs& dialogs) {
    for (int i = 0; i < kOptionCount; ++i) {
        file.WriteBool(kDefaultOptionsSection, OptionCaptions[i],
                       options.Ticked(static_cast<uint8_t>(i)));
    }
    file.WriteString(kDefaultOptionsSection, kSourceDirKey, fields.source.text);
    file.WriteString(kDefaultOptionsSection, kTargetDirKey, fields.target.text);
    file.WriteString(kDefaultOptionsSection, kPatternKey, fields.pattern.text);
    if (file.Flush()) {
        ComboSaveHistory(file, kSourceHistorySection, fields.source.items);
        ComboSaveHistory(file, kTargetHistorySection, fields.target.items);
        ComboSaveHistory(file, kPatternHistorySection, fields.pattern.items);
        if (file.Flush()) {
            return true;
        }
    }
    ShowMessageBox(dialogs, DialogKind::Error, "Unable to write to " + file.FileName());
    return false;
}

}  // namespace ferrit
