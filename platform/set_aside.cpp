#include "platform/set_aside.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ferrit {

namespace {

// The longest name a directory entry may have on the usual file systems.
constexpr size_t kNameMax = 255;

std::atomic<unsigned> g_asideCounter{0};

// Eight hexadecimal digits from this host's name, so that a host never puts back what a program
// on another host (sharing a network volume) may still be checking.
const std::string& HostHash() {
    static const std::string hash = [] {
        uint32_t h = 2166136261u;
        for (const char c : HostName()) {
            h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
        }
        char text[9];
        std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(h));
        return std::string(text);
    }();
    return hash;
}

}  // namespace

std::string AsideName(const std::string& name) {
    const std::string head =
        std::string(kAsidePrefix) + std::to_string(CurrentProcessId()) + "." + HostHash();
    if (head.size() + 1 + name.size() <= kNameMax) {
        return head + "." + name;
    }
    return head + "~" + std::to_string(g_asideCounter.fetch_add(1, std::memory_order_relaxed));
}

AsideLeftover ClassifyAsideName(const char* name, std::string& original) {
    const size_t prefixLen = std::strlen(kAsidePrefix);
    if (std::strncmp(name, kAsidePrefix, prefixLen) != 0) {
        return AsideLeftover::NotAside;
    }
    // <pid>.<hash>.<name>, or <pid>.<hash>~<n> for a name too long to be carried. A name of
    // another form is an ordinary file of the user's.
    const char* p = name + prefixLen;
    char* end = nullptr;
    errno = 0;
    const long pid = std::strtol(p, &end, 10);
    if (end == p || *end != '.' || errno != 0 || pid <= 0 ||
        !std::isdigit(static_cast<unsigned char>(*p))) {
        return AsideLeftover::NotAside;
    }
    const char* tag = end + 1;
    for (int i = 0; i < 8; ++i) {
        if (!std::isxdigit(static_cast<unsigned char>(tag[i]))) {
            return AsideLeftover::NotAside;
        }
    }
    if (tag[8] != '.' && tag[8] != '~') {
        return AsideLeftover::NotAside;
    }
    // Another host's: a program there may still be checking it.
    const std::string& hash = HostHash();
    if (std::strncmp(tag, hash.c_str(), hash.size()) != 0) {
        return AsideLeftover::InUse;
    }
    const char* rest = tag + hash.size();
    if (pid == CurrentProcessId() || ProcessRuns(pid)) {
        return AsideLeftover::InUse;
    }
    if (rest[0] == '.' && rest[1] != '\0' && std::strcmp(rest + 1, ".") != 0 &&
        std::strcmp(rest + 1, "..") != 0) {
        original = rest + 1;
        return AsideLeftover::PutBack;
    }
    return AsideLeftover::KeepAsIs;
}

void SettleSetAside(std::vector<ListEntry>& entries) {
    const auto byName = [](const ListEntry& a, const ListEntry& b) { return a.name < b.name; };
    std::sort(entries.begin(), entries.end(), byName);
    bool moved = false;
    for (size_t i = 0; i < entries.size(); ++i) {
        const bool taken = (i > 0 && entries[i - 1].name == entries[i].name) ||
                           (i + 1 < entries.size() && entries[i + 1].name == entries[i].name);
        if (taken && !entries[i].setAside.empty()) {
            entries[i].name = entries[i].setAside;
            entries[i].setAside.clear();
            moved = true;
        }
    }
    if (moved) {
        std::sort(entries.begin(), entries.end(), byName);
    }
}

}  // namespace ferrit
