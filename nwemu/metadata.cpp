#include "nwemu/metadata.h"

#include <cstdlib>
#include <sstream>

#include "nwemu/config.h"
#include "nwemu/side_store.h"
#include "platform/entry_attributes.h"
#include "platform/error_codes.h"
#include "support/strings.h"

namespace ferrit {
namespace nwemu {

namespace {

// The fields as extended attributes of each entry: `user.netware.FIELD` on Linux.
class ExtendedAttributeStore : public MetadataStore {
  public:
    int Read(const std::string&, const Location& entry, MetadataField field,
             std::string& text) override {
        return ReadEntryAttribute(entry.local, AttributeName(field), text);
    }
    int Write(const std::string&, const Location& entry, MetadataField field,
              const std::string& text) override {
        return text.empty() ? RemoveEntryAttribute(entry.local, AttributeName(field))
                            : WriteEntryAttribute(entry.local, AttributeName(field), text);
    }

  private:
    static std::string AttributeName(MetadataField field) {
        return std::string("netware.") + FieldName(field);
    }
};

bool ParseHex(const std::string& text, uint32_t& value) {
    if (text.empty() || text.size() > 8) {
        return false;
    }
    char* end = nullptr;
    const unsigned long v = std::strtoul(text.c_str(), &end, 16);
    if (*end != '\0') {
        return false;
    }
    value = static_cast<uint32_t>(v);
    return true;
}

}  // namespace

void AssignTrustee(std::vector<Trustee>& trustees, uint32_t id, uint16_t rights) {
    const uint16_t kept = static_cast<uint16_t>(rights & kAllRights);
    bool replaced = false;
    for (Trustee& t : trustees) {
        if (t.id == id) {
            t.rights = kept;
            replaced = true;
        }
    }
    if (!replaced) {
        trustees.push_back({id, kept});
    }
}

const char* FieldName(MetadataField field) {
    switch (field) {
        case MetadataField::Trustees:
            return "trustees";
        case MetadataField::Owner:
            return "owner";
        case MetadataField::Mask:
            return "irm";
        case MetadataField::Limit:
            break;
    }
    return "limit";
}

MetadataKeeping SystemMetadataKeeping() {
    return EntryAttributesKept() ? MetadataKeeping::WithEntries : MetadataKeeping::BesideVolumes;
}

std::unique_ptr<MetadataStore> MakeMetadataStore(MetadataKeeping keeping) {
    if (keeping == MetadataKeeping::WithEntries) {
        return std::make_unique<ExtendedAttributeStore>();
    }
    return MakeVolumeSideStore();
}

std::string SideFileOf(const std::string& volumeRoot) {
    std::string dir;
    std::string name;
    if (!SplitLastName(volumeRoot, dir, name) || name.empty()) {
        return std::string();
    }
    return volumeRoot + ".nwemu";
}

EntryMetadata::EntryMetadata(std::shared_ptr<MetadataStore> store, const std::string& volumeRoot,
                             const Location& entry)
    : store_(std::move(store)), root_(volumeRoot), entry_(entry) {}

int EntryMetadata::Read(MetadataField field, std::string& text) const {
    text.clear();
    return store_ == nullptr ? WinErr::NotFound : store_->Read(root_, entry_, field, text);
}

int EntryMetadata::Write(MetadataField field, const std::string& text) const {
    return store_ == nullptr ? WinErr::PathNotFound : store_->Write(root_, entry_, field, text);
}

bool EntryMetadata::ReadTrustees(std::vector<Trustee>& trustees, int* error) const {
    trustees.clear();
    std::string value;
    const int err = Read(MetadataField::Trustees, value);
    if (error != nullptr) {
        *error = err == WinErr::NotFound ? 0 : err;
    }
    if (err != 0) {
        return false;
    }
    std::stringstream in(value);
    std::string item;
    while (std::getline(in, item, ',')) {
        const size_t colon = item.find(':');
        uint32_t id = 0;
        uint32_t rights = 0;
        if (colon == std::string::npos || !ParseHex(item.substr(0, colon), id) ||
            !ParseHex(item.substr(colon + 1), rights) || id == 0) {
            continue;  // an unreadable item is not an assignment
        }
        trustees.push_back({id, static_cast<uint16_t>(rights & kAllRights)});
    }
    return true;
}

int EntryMetadata::WriteTrustees(const std::vector<Trustee>& trustees) const {
    std::string value;
    for (const Trustee& t : trustees) {
        value += (value.empty() ? "" : ",") + Hex(t.id) + ":" + Hex(t.rights, 4);
    }
    return Write(MetadataField::Trustees, value);
}

bool EntryMetadata::ReadOwner(uint32_t& id) const {
    std::string value;
    uint32_t v = 0;
    if (Read(MetadataField::Owner, value) != 0 || !ParseHex(value, v) || v == 0) {
        return false;
    }
    id = v;
    return true;
}

int EntryMetadata::WriteOwner(uint32_t id) const {
    return Write(MetadataField::Owner, Hex(id));
}

bool EntryMetadata::ReadMask(uint16_t& mask) const {
    std::string value;
    uint32_t v = 0;
    if (Read(MetadataField::Mask, value) != 0 || !ParseHex(value, v)) {
        return false;
    }
    mask = static_cast<uint16_t>(v & kAllRights);
    return true;
}

int EntryMetadata::WriteMask(uint16_t mask) const {
    return Write(MetadataField::Mask, Hex(mask & kAllRights, 4));
}

bool EntryMetadata::ReadLimit(uint32_t& blocks) const {
    std::string value;
    if (Read(MetadataField::Limit, value) != 0 || value.empty()) {
        return false;
    }
    char* end = nullptr;
    const unsigned long long v = std::strtoull(value.c_str(), &end, 10);
    if (*end != '\0' || v == 0 || v >= 0x7FFFFFFFull) {
        return false;
    }
    blocks = static_cast<uint32_t>(v);
    return true;
}

int EntryMetadata::WriteLimit(uint32_t blocks) const {
    if (blocks == 0 || blocks >= 0x7FFFFFFF) {
        return Write(MetadataField::Limit, std::string());
    }
    return Write(MetadataField::Limit, std::to_string(blocks));
}

}  // namespace nwemu
}  // namespace ferrit
