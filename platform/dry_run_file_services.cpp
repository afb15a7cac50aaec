#include "platform/dry_run_file_services.h"

#include <algorithm>
#include <cstdio>

#include "platform/error_codes.h"
#include "platform/file_handles.h"
#include "platform/name_pattern.h"
#include "support/strings.h"

namespace ferrit {

namespace {

// Whether a key is a root: "/", or on Windows a drive's root ("C:/").
bool IsRootKey(const std::string& key) {
    return key == "/" ||
           (kPathSeparator == '\\' && key.size() == 3 && key[1] == ':' && key[2] == '/');
}

// One spelling per path: '/' between names (Windows also takes '\\'), no doubled separators,
// no trailing one but a root's.
std::string Key(const std::string& path) {
    std::string key;
    key.reserve(path.size());
    for (char c : path) {
        if (kPathSeparator == '\\' && c == '\\') {
            c = '/';
        }
        if (c == '/' && !key.empty() && key.back() == '/') {
            continue;
        }
        key += c;
    }
    return WithoutTrailingSlash(key);
}

// The key of the directory that holds the key's entry, a root with its separator ("/a" gives
// "/", "C:/a" gives "C:/"); "." for a bare name; empty for a root.
std::string ParentKey(const std::string& key) {
    const size_t slash = key.find_last_of('/');
    if (IsRootKey(key)) {
        return std::string();
    }
    if (slash == std::string::npos) {
        return ".";
    }
    const std::string withSeparator = key.substr(0, slash + 1);
    return IsRootKey(withSeparator) ? withSeparator : key.substr(0, slash);
}

// A name in the directory of a key.
std::string ChildKey(const std::string& dir, const std::string& name) {
    return IsRootKey(dir) ? dir + name : dir + "/" + name;
}

// Copies and made directories get identities of their own, never those of a real entry.
constexpr uint64_t kPreviewDevice = ~0ull;

}  // namespace

const DryRunFileServices::Node* DryRunFileServices::Remembered(const std::string& path) const {
    static const Node kGone;
    const std::string key = Key(path);
    const auto it = nodes_.find(key);
    if (it != nodes_.end()) {
        return &it->second;
    }
    // Below a directory that is gone, below a file, or below a directory that only the preview
    // made, there is nothing.
    std::string dir = key;
    for (;;) {
        dir = ParentKey(dir);
        if (dir.empty() || dir == "." || IsRootKey(dir)) {
            return nullptr;
        }
        const auto up = nodes_.find(dir);
        if (up != nodes_.end()) {
            const Node& n = up->second;
            return n.stat.kind == EntryKind::Directory && !n.made ? nullptr : &kGone;
        }
    }
}

std::map<std::string, const DryRunFileServices::Node*> DryRunFileServices::RememberedChildren(
    const std::string& dir) const {
    std::map<std::string, const Node*> children;
    const std::string prefix = ChildKey(Key(dir), "");
    for (auto it = nodes_.lower_bound(prefix);
         it != nodes_.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
        if (it->first.find('/', prefix.size()) == std::string::npos) {
            children[it->first.substr(prefix.size())] = &it->second;
        }
    }
    return children;
}

PreviewMark DryRunFileServices::MarkOf(const std::string& path) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const Node* node = Remembered(path);
    if (node == nullptr) {
        return PreviewMark::Untouched;
    }
    if (node->stat.kind == EntryKind::Missing) {
        return PreviewMark::Removed;
    }
    // A real entry whose attributes alone were changed keeps its identity.
    return node->stat.device == kPreviewDevice ? PreviewMark::Made : PreviewMark::Untouched;
}

void DryRunFileServices::Record(const std::string& change) {
    changes_.push_back(change);
}

std::vector<std::string> DryRunFileServices::Changes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return changes_;
}

std::unique_ptr<FileServices> DryRunFileServices::ConfinedTo(
    const std::vector<std::string>& roots) {
    return std::unique_ptr<FileServices>(new DryRunFileServices(state_, inner_.ConfinedTo(roots)));
}

int DryRunFileServices::LockTree(const std::string& root, bool, std::unique_ptr<TreeLock>& lock) {
    return inner_.LockTree(root, false, lock);
}

namespace {

const std::string& NameOf(const ListEntry& entry) {
    return entry.name;
}
const std::string& NameOf(const std::string& name) {
    return name;
}

void SortByName(std::vector<ListEntry>& entries) {
    std::sort(entries.begin(), entries.end(),
              [](const ListEntry& a, const ListEntry& b) { return a.name < b.name; });
}

}  // namespace

template <typename Entry, typename ReadInner, typename Take>
int DryRunFileServices::Overlaid(const std::string& dir, std::vector<Entry>& out,
                                 ReadInner readInner, Take take) {
    std::lock_guard<std::mutex> lock(mutex_);
    out.clear();
    const Node* self = Remembered(dir);
    if (self != nullptr && self->stat.kind != EntryKind::Directory) {
        return WinErr::PathNotFound;
    }
    // A directory the preview made has nothing real in it.
    if (self == nullptr) {
        if (const int rc = readInner(out)) {
            return rc;
        }
    }
    const auto children = RememberedChildren(dir);
    out.erase(std::remove_if(out.begin(), out.end(),
                             [&](const Entry& e) { return children.count(NameOf(e)) != 0; }),
              out.end());
    for (const auto& [name, node] : children) {
        take(name, *node);
    }
    return 0;
}

int DryRunFileServices::ListFiles(const std::string& dir, const std::string& pattern,
                                  std::vector<ListEntry>& out) {
    const int rc = Overlaid(
        dir, out,
        [&](std::vector<ListEntry>& real) { return inner_.ListFiles(dir, pattern, real); },
        [&](const std::string& name, const Node& node) {
            const EntryKind kind = node.stat.kind;
            if ((kind == EntryKind::File || kind == EntryKind::Link) &&
                MatchPattern(pattern, name)) {
                ListEntry entry(name, node.attr, node.stat.size);
                static_cast<EntryStat&>(entry) = node.stat;
                out.push_back(std::move(entry));
            }
        });
    SortByName(out);
    return rc;
}

int DryRunFileServices::ListNames(const std::string& dir, std::vector<std::string>& out,
                                  std::vector<std::string>* stale) {
    std::vector<std::string> realStale;
    const int rc = Overlaid(
        dir, out,
        [&](std::vector<std::string>& real) {
            return inner_.ListNames(dir, real, stale != nullptr ? &realStale : nullptr);
        },
        [&](const std::string& name, const Node& node) {
            if (node.stat.kind != EntryKind::Missing) {
                out.push_back(name);
            }
        });
    if (stale != nullptr) {
        // A leftover that the preview has already swept (or put something else in place of) is
        // none any more; the others a real run would sweep, so the preview may remember it.
        stale->clear();
        std::lock_guard<std::mutex> lock(mutex_);
        for (const std::string& name : realStale) {
            if (Remembered(ChildKey(Key(dir), name)) == nullptr) {
                stale->push_back(name);
                staleSeen_.insert(ChildKey(Key(dir), name));
            }
        }
    }
    return rc;
}

int DryRunFileServices::RemoveStaleTemporary(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string key = Key(path);
    if (Remembered(path) != nullptr || staleSeen_.count(key) == 0) {
        return WinErr::AccessDenied;  // only what the real listing named a leftover
    }
    nodes_[key] = Node();
    Record("delete " + path);
    return 0;
}

int DryRunFileServices::ListSubdirs(const std::string& dir, std::vector<ListEntry>& out) {
    const int rc = Overlaid(
        dir, out, [&](std::vector<ListEntry>& real) { return inner_.ListSubdirs(dir, real); },
        [&](const std::string& name, const Node& node) {
            if (node.stat.kind == EntryKind::Directory) {
                ListEntry entry(name, Attr::Directory, 0);
                static_cast<EntryStat&>(entry) = node.stat;
                out.push_back(std::move(entry));
            }
        });
    SortByName(out);
    return rc;
}

bool DryRunFileServices::DirectoryExists(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    const Node* node = Remembered(path);
    return node != nullptr ? node->stat.kind == EntryKind::Directory : inner_.DirectoryExists(path);
}

bool DryRunFileServices::DirectoryId(const std::string& path, DirIdentity& id) {
    std::lock_guard<std::mutex> lock(mutex_);
    const Node* node = Remembered(path);
    if (node == nullptr) {
        return inner_.DirectoryId(path, id);
    }
    if (node->stat.kind != EntryKind::Directory) {
        return false;
    }
    id.device = node->stat.device;
    id.inode = node->stat.inode;
    return true;
}

int DryRunFileServices::StatLocked(const std::string& path, EntryStat& out, uint32_t* attr) {
    const Node* node = Remembered(path);
    if (node == nullptr) {
        const int rc = inner_.StatEntry(path, out);
        if (rc == 0 && attr != nullptr) {
            const int32_t a = inner_.GetAttributes(path);
            *attr = a == -1 ? 0 : static_cast<uint32_t>(a);
        }
        return rc;
    }
    out = node->stat;
    if (attr != nullptr) {
        *attr = node->attr;
    }
    return out.kind == EntryKind::Missing ? WinErr::FileNotFound : 0;
}

int DryRunFileServices::StatEntry(const std::string& path, EntryStat& out) {
    std::lock_guard<std::mutex> lock(mutex_);
    return StatLocked(path, out, nullptr);
}

int32_t DryRunFileServices::FileAge(const std::string& path) {
    EntryStat st;
    return StatEntry(path, st) == 0 ? st.age : -1;
}

int32_t DryRunFileServices::GetAttributes(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    const Node* node = Remembered(path);
    if (node == nullptr) {
        return inner_.GetAttributes(path);
    }
    return node->stat.kind == EntryKind::Missing ? -1 : static_cast<int32_t>(node->attr);
}

int DryRunFileServices::SetAttributes(const std::string& path, uint32_t attr) {
    std::lock_guard<std::mutex> lock(mutex_);
    EntryStat st;
    uint32_t old = 0;
    if (const int rc = StatLocked(path, st, &old)) {
        return rc;
    }
    const uint32_t kept = Attr::ReadOnly | Attr::Hidden | Attr::System | Attr::Archive;
    Node& node = nodes_[Key(path)];
    node.stat = st;
    node.attr = (old & ~kept) | (attr & kept);
    if (st.kind == EntryKind::Directory) {
        node.attr = (node.attr | Attr::Directory) & ~Attr::Archive;
    }
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(attr));
    Record("attributes " + path + " " + text);
    return 0;
}

int DryRunFileServices::DeleteFile(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    EntryStat st;
    if (const int rc = StatLocked(path, st, nullptr)) {
        return rc;
    }
    if (st.kind == EntryKind::Directory) {
        return WinErr::AccessDenied;
    }
    nodes_[Key(path)] = Node();
    // An entry set aside is reported under its own name.
    const auto aside = asides_.find(Key(path));
    Record("delete " + (aside != asides_.end() ? aside->second : path));
    return 0;
}

int DryRunFileServices::CreateDirectories(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string key = Key(path);
    std::vector<std::string> missing;
    for (;;) {
        EntryStat st;
        const int rc = StatLocked(key, st, nullptr);
        if (rc == 0) {
            if (st.kind != EntryKind::Directory) {
                return missing.empty() ? WinErr::AlreadyExists : WinErr::PathNotFound;
            }
            break;
        }
        missing.push_back(key);
        key = ParentKey(key);
        if (key.empty() || key == "." || IsRootKey(key)) {
            break;
        }
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        Node node;
        node.stat.kind = EntryKind::Directory;
        node.stat.device = kPreviewDevice;
        node.stat.inode = nextInode_++;
        node.attr = Attr::Directory;
        node.made = true;
        nodes_[*it] = node;
    }
    if (!missing.empty()) {
        Record("mkdir " + path);
    }
    return 0;
}

int DryRunFileServices::RemoveDirectory(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    EntryStat st;
    if (const int rc = StatLocked(path, st, nullptr)) {
        return rc;
    }
    if (st.kind != EntryKind::Directory) {
        return WinErr::PathNotFound;
    }
    const Node* self = Remembered(path);
    std::vector<std::string> names;
    if (self == nullptr && inner_.ListNames(path, names, nullptr) != 0) {
        names.clear();
    }
    const auto children = RememberedChildren(path);
    size_t left = 0;
    for (const std::string& name : names) {
        left += children.count(name) == 0 ? 1 : 0;
    }
    for (const auto& child : children) {
        left += child.second->stat.kind != EntryKind::Missing ? 1 : 0;
    }
    if (left != 0) {
        return WinErr::DirNotEmpty;
    }
    // The directory goes, and with it whatever the preview remembered below it.
    const std::string key = Key(path);
    const std::string prefix = key + "/";
    nodes_.erase(nodes_.lower_bound(prefix),
                 std::find_if(nodes_.lower_bound(prefix), nodes_.end(), [&](const auto& n) {
                     return n.first.compare(0, prefix.size(), prefix) != 0;
                 }));
    nodes_[key] = Node();
    Record("rmdir " + path);
    return 0;
}

int DryRunFileServices::CheckCopy(const std::string& source, const std::string& target,
                                  Node& copy) {
    EntryStat from, to;
    uint32_t attr = 0;
    if (const int rc = StatLocked(source, from, &attr)) {
        return rc;
    }
    if (from.kind != EntryKind::File && from.kind != EntryKind::Link) {
        return WinErr::AccessDenied;
    }
    if (StatLocked(target, to, nullptr) == 0) {
        if (to.SameEntryAs(from)) {
            return WinErr::SharingViolation;
        }
        if (to.kind == EntryKind::Directory) {
            return WinErr::AccessDenied;
        }
    } else {
        // The target's directory must be there for a copy to land in it.
        EntryStat dir;
        if (StatLocked(ParentKey(Key(target)), dir, nullptr) != 0 ||
            dir.kind != EntryKind::Directory) {
            return WinErr::PathNotFound;
        }
    }
    copy.stat = from;
    copy.stat.device = kPreviewDevice;
    copy.stat.inode = nextInode_++;
    copy.attr = attr;
    return 0;
}

// A copy the preview would make: what it would leave at the target.
class DryRunFileServices::PreviewCopy : public PreparedCopy {
  public:
    std::string from;
    Node node;
};

int DryRunFileServices::PrepareCopy(const std::string& source, const std::string& target, bool,
                                    std::unique_ptr<PreparedCopy>& out) {
    out.reset();
    std::lock_guard<std::mutex> lock(mutex_);
    auto copy = std::make_unique<PreviewCopy>();
    if (const int rc = CheckCopy(source, target, copy->node)) {
        return rc;
    }
    StatLocked(source, copy->source, nullptr);
    copy->from = source;
    copy->target = target;
    out = std::move(copy);
    return 0;
}

int DryRunFileServices::PublishCopy(std::unique_ptr<PreparedCopy> copy, EntryStat& published) {
    published = EntryStat();
    auto* made = dynamic_cast<PreviewCopy*>(copy.get());
    if (made == nullptr) {
        return WinErr::GenFailure;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    nodes_[Key(made->target)] = made->node;
    Record("copy " + made->from + " -> " + made->target);
    published = made->node.stat;
    return 0;
}

int DryRunFileServices::SetAside(const std::string& path, std::string& asidePath) {
    std::lock_guard<std::mutex> lock(mutex_);
    asidePath.clear();
    Node node;
    if (const int rc = StatLocked(path, node.stat, &node.attr)) {
        return rc;
    }
    const std::string aside =
        ChildKey(ParentKey(Key(path)), ".ferrit-aside.preview." + std::to_string(nextInode_++));
    nodes_[Key(aside)] = node;
    nodes_[Key(path)] = Node();
    asides_[Key(aside)] = path;
    asidePath = aside;
    return 0;
}

int DryRunFileServices::PutBack(const std::string& asidePath, const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    Node node;
    EntryStat standing;
    if (const int rc = StatLocked(asidePath, node.stat, &node.attr)) {
        return rc;
    }
    if (StatLocked(path, standing, nullptr) == 0) {
        return WinErr::AlreadyExists;
    }
    nodes_[Key(path)] = node;
    nodes_[Key(asidePath)] = Node();
    return 0;
}

bool DryRunFileServices::SeparateFiles(const std::string& a, const EntryStat& aStat,
                                       const std::string& b, const EntryStat& bStat) {
    // An entry only the preview made is a file of its own, as the real copy would be.
    if (aStat.device == kPreviewDevice || bStat.device == kPreviewDevice) {
        return aStat.kind != EntryKind::Missing && bStat.kind != EntryKind::Missing &&
               !aStat.SameEntryAs(bStat);
    }
    return inner_.SeparateFiles(a, aStat, b, bStat);
}

bool DryRunFileServices::FreeSpace(const std::string& path, int64_t& bytes) {
    return inner_.FreeSpace(path, bytes);
}

FileHandle DryRunFileServices::OpenRead(const std::string& path) {
    const FileHandle handle = inner_.OpenFileAccess().OpenRead(path);
    std::lock_guard<std::mutex> lock(mutex_);
    lastRead_ = EntryStat();
    if (handle != kInvalidFileHandle) {
        inner_.OpenFileAccess().HandleStat(handle, lastRead_);
    }
    return handle;
}

FileHandle DryRunFileServices::CreateTemporary(const std::string& target, std::string& tempPath) {
    std::lock_guard<std::mutex> lock(mutex_);
    // The server writes into a stand-in that keeps nothing; the preview remembers a copy of the
    // file last opened for reading.
    const FileHandle handle = OpenNullDevice();
    if (handle == kInvalidFileHandle) {
        tempPath.clear();
        return kInvalidFileHandle;
    }
    tempPath = ChildKey(ParentKey(Key(target)), ".ferrit-preview." + std::to_string(nextInode_));
    Node node;
    node.stat = lastRead_;
    node.stat.device = kPreviewDevice;
    node.stat.inode = nextInode_++;
    node.attr = Attr::Archive;
    nodes_[Key(tempPath)] = node;
    temporaries_[handle] = Key(tempPath);
    return handle;
}

bool DryRunFileServices::HandleStat(FileHandle handle, EntryStat& out) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto it = temporaries_.find(handle);
        if (it != temporaries_.end()) {
            out = nodes_[it->second].stat;
            return true;
        }
    }
    return inner_.OpenFileAccess().HandleStat(handle, out);
}

int32_t DryRunFileServices::GetHandleAge(FileHandle handle) {
    EntryStat st;
    if (!HandleStat(handle, st)) {
        return -1;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    return temporaries_.count(handle) != 0 ? st.age : inner_.OpenFileAccess().GetHandleAge(handle);
}

int DryRunFileServices::SetHandleAge(FileHandle handle, int32_t dosDateTime) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = temporaries_.find(handle);
    if (it == temporaries_.end()) {
        return WinErr::AccessDenied;  // a preview never writes to a real file
    }
    nodes_[it->second].stat.age = dosDateTime;
    return 0;
}

int DryRunFileServices::CloseFile(FileHandle handle) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto it = temporaries_.find(handle);
        if (it != temporaries_.end()) {
            temporaries_.erase(it);
            CloseHandleOnly(handle);
            return 0;
        }
    }
    return inner_.OpenFileAccess().CloseFile(handle);
}

int DryRunFileServices::RenameOver(const std::string& from, const std::string& to) {
    std::lock_guard<std::mutex> lock(mutex_);
    EntryStat st;
    uint32_t attr = 0;
    if (const int rc = StatLocked(from, st, &attr)) {
        return rc;
    }
    Node moved;
    moved.stat = st;
    moved.attr = attr;
    nodes_[Key(to)] = moved;
    nodes_[Key(from)] = Node();
    Record("copy on the server -> " + to);
    return 0;
}

}  // namespace ferrit
