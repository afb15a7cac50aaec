// The metadata of a volume's entries in one side file beside the volume's directory, for
// systems that keep no extended attributes with their entries.
//
// The side file is text: the first line is the format's name, then one line per entry that has
// metadata, its fields separated by tabs:
//
//     ferrit-nwemu metadata 1
//     /PROJECTS<TAB>IDENTITY<TAB>trustees=01000011:00FB,02000021:000B<TAB>irm=00FB
//     /PROJECTS/readme.txt<TAB>IDENTITY<TAB>owner=01000001
//
// The key is "/" for the volume's root and the names below it each after a "/"; a '%', tab, line
// feed or carriage return in a name is written %25, %09, %0A or %0D. The identity is the entry's
// volume, index and time of making (PathFacts), so a record never applies to another entry that
// was given the same name, and an entry renamed within the volume is found again by its
// identity. Where the system keeps no time of making (Wine, which numbers entries by their Unix
// inode) a renamed entry is not looked for: the number of a removed entry may be given to a new
// one anywhere on the volume, which must not take over the removed one's metadata; an entry made
// under the name of a removed one with its number may still show the removed one's. Records of
// entries that are gone stay until their key is written again. Lines the store does not
// understand are kept as they are.
//
// The file is read when it changed since this store last read or wrote it, and replaced whole
// (through a temporary file beside it) on every write, so any number of stores may read one
// volume; two processes writing at the same moment may lose one of their writes.
#include <map>
#include <sstream>

#include "nwemu/metadata.h"
#include "nwemu/side_store.h"
#include "platform/config_file.h"
#include "platform/error_codes.h"
#include "platform/fs_util.h"

namespace ferrit {
namespace nwemu {

namespace {

constexpr const char* kHeader = "ferrit-nwemu metadata 1";

std::string EscapeName(const std::string& name) {
    std::string out;
    for (const char c : name) {
        switch (c) {
            case '%':
                out += "%25";
                break;
            case '\t':
                out += "%09";
                break;
            case '\n':
                out += "%0A";
                break;
            case '\r':
                out += "%0D";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string KeyOf(const Location& entry) {
    std::string key;
    for (const std::string& name : entry.components) {
        key += "/" + EscapeName(name);
    }
    return key.empty() ? "/" : key;
}

std::string IdentityOf(const PathFacts& facts) {
    std::ostringstream out;
    out << std::hex << facts.volume << ":" << facts.index << ":" << facts.created;
    return out.str();
}

bool SameFile(const PathFacts& a, const PathFacts& b) {
    return a.kind == b.kind && a.volume == b.volume && a.index == b.index &&
           a.created == b.created && a.modified == b.modified && a.size == b.size;
}

class VolumeSideStore : public MetadataStore {
  public:
    int Read(const std::string& volumeRoot, const Location& entry, MetadataField field,
             std::string& text) override;
    int Write(const std::string& volumeRoot, const Location& entry, MetadataField field,
              const std::string& text) override;

  private:
    struct Record {
        std::string identity;
        std::map<std::string, std::string> fields;  // by field name
    };
    // What one side file held when this store last read or wrote it.
    struct Contents {
        PathFacts stamp;                      // of the side file; kind Missing: there was none
        std::map<std::string, Record> byKey;  // the records
        std::vector<std::string> foreign;     // lines not understood, kept
    };

    // The contents of a side file, read again when the file changed: 0 or a Windows error
    // number (nothing is then known of it).
    int Load(const std::string& sideFile, Contents*& contents);
    // The record of the entry: the one at its key when it is the entry's, else, where its facts
    // hold a time of making, the one bearing its identity under another key (the entry was
    // renamed); the key it was found under in `foundKey`.
    static Record* Find(Contents& contents, const std::string& key, const PathFacts& facts,
                        std::string& foundKey);
    static std::string Format(const Contents& contents);

    std::map<std::string, Contents> files_;  // by side file
};

int VolumeSideStore::Load(const std::string& sideFile, Contents*& contents) {
    contents = nullptr;
    PathFacts now;
    const int err = StatPath(sideFile, now);
    if (err != 0 && err != WinErr::FileNotFound && err != WinErr::PathNotFound) {
        files_.erase(sideFile);
        return err;
    }
    const auto known = files_.find(sideFile);
    if (known != files_.end() && SameFile(known->second.stamp, now)) {
        contents = &known->second;
        return 0;
    }
    Contents fresh;
    fresh.stamp = now;
    if (now.kind != EntryKind::Missing) {
        const ConfigFileText file = ReadConfigFile(sideFile);
        switch (file.status) {
            case ConfigFileStatus::Read:
                break;
            case ConfigFileStatus::TooLarge:
                return WinErr::FileTooLarge;
            case ConfigFileStatus::NotRegular:
                return WinErr::InvalidData;
            default:
                return WinErr::AccessDenied;
        }
        std::istringstream in(file.text);
        std::string line;
        if (!std::getline(in, line) || line != kHeader) {
            return WinErr::InvalidData;  // not a side file of this format: never overwritten
        }
        while (std::getline(in, line)) {
            std::vector<std::string> parts;
            std::istringstream cells(line);
            for (std::string cell; std::getline(cells, cell, '\t');) {
                parts.push_back(cell);
            }
            Record record;
            bool understood = parts.size() >= 3 && !parts[0].empty() && parts[0][0] == '/' &&
                              !parts[1].empty() && fresh.byKey.count(parts[0]) == 0;
            for (size_t i = 2; understood && i < parts.size(); ++i) {
                const size_t eq = parts[i].find('=');
                understood = eq != std::string::npos && eq > 0;
                if (understood) {
                    record.fields[parts[i].substr(0, eq)] = parts[i].substr(eq + 1);
                }
            }
            if (understood) {
                record.identity = parts[1];
                fresh.byKey[parts[0]] = record;
            } else {
                fresh.foreign.push_back(line);
            }
        }
    }
    Contents& slot = files_[sideFile];
    slot = std::move(fresh);
    contents = &slot;
    return 0;
}

VolumeSideStore::Record* VolumeSideStore::Find(Contents& contents, const std::string& key,
                                               const PathFacts& facts, std::string& foundKey) {
    const std::string identity = IdentityOf(facts);
    const auto at = contents.byKey.find(key);
    if (at != contents.byKey.end() && at->second.identity == identity) {
        foundKey = key;
        return &at->second;
    }
    if (facts.created == 0) {
        return nullptr;
    }
    for (auto& entry : contents.byKey) {
        if (entry.second.identity == identity) {
            foundKey = entry.first;
            return &entry.second;
        }
    }
    return nullptr;
}

std::string VolumeSideStore::Format(const Contents& contents) {
    std::string text = std::string(kHeader) + "\n";
    for (const auto& entry : contents.byKey) {
        text += entry.first + "\t" + entry.second.identity;
        for (const auto& field : entry.second.fields) {
            text += "\t" + field.first + "=" + field.second;
        }
        text += "\n";
    }
    for (const std::string& line : contents.foreign) {
        text += line + "\n";
    }
    return text;
}

int VolumeSideStore::Read(const std::string& volumeRoot, const Location& entry, MetadataField field,
                          std::string& text) {
    text.clear();
    const std::string sideFile = SideFileOf(volumeRoot);
    if (sideFile.empty()) {
        return WinErr::NotFound;
    }
    Contents* contents = nullptr;
    if (const int err = Load(sideFile, contents)) {
        return err;
    }
    PathFacts facts;
    if (contents->byKey.empty() || StatPath(entry.local, facts) != 0) {
        return WinErr::NotFound;
    }
    std::string foundKey;
    const Record* record = Find(*contents, KeyOf(entry), facts, foundKey);
    if (record == nullptr) {
        return WinErr::NotFound;
    }
    const auto it = record->fields.find(FieldName(field));
    if (it == record->fields.end()) {
        return WinErr::NotFound;
    }
    text = it->second;
    return 0;
}

int VolumeSideStore::Write(const std::string& volumeRoot, const Location& entry,
                           MetadataField field, const std::string& text) {
    const std::string sideFile = SideFileOf(volumeRoot);
    if (sideFile.empty()) {
        return WinErr::NotSupported;  // a volume at a file system's root has no place beside it
    }
    Contents* contents = nullptr;
    if (const int err = Load(sideFile, contents)) {
        return err;
    }
    PathFacts facts;
    if (const int err = StatPath(entry.local, facts)) {
        return err;
    }
    // The change is made on a copy, which becomes what is known only once it is saved.
    Contents changed = *contents;
    const std::string key = KeyOf(entry);
    std::string foundKey;
    Record record;
    if (const Record* found = Find(changed, key, facts, foundKey)) {
        record = *found;
        changed.byKey.erase(foundKey);
    }
    record.identity = IdentityOf(facts);
    if (text.empty()) {
        record.fields.erase(FieldName(field));
    } else {
        record.fields[FieldName(field)] = text;
    }
    if (record.fields.empty()) {
        changed.byKey.erase(key);  // a stale record of another entry under this key goes too
    } else {
        changed.byKey[key] = record;
    }
    const std::string saved = Format(changed);
    if (saved.size() > kMaxConfigFileBytes) {
        return WinErr::FileTooLarge;  // it could not be read back
    }
    if (!SaveWholeFile(sideFile, saved, WholeFileSave())) {
        files_.erase(sideFile);  // whatever stands there now is read afresh
        return WinErr::GenFailure;
    }
    if (StatPath(sideFile, changed.stamp) != 0) {
        changed.stamp = PathFacts();
    }
    *contents = std::move(changed);
    return 0;
}

}  // namespace

std::unique_ptr<MetadataStore> MakeVolumeSideStore() {
    return std::make_unique<VolumeSideStore>();
}

}  // namespace nwemu
}  // namespace ferrit
