// Reserved names under which a move sets a source aside in its own directory just before it
// removes it: the entry is then out of every other program's way while the move confirms that
// it is still the file it copied or compared. What a killed program leaves under such a name is
// the user's file, never a temporary: it is put back under its name, never swept.
#pragma once

#include <string>
#include <vector>

#include "platform/file_services.h"

namespace ferrit {

// Prefix of set-aside names; distinct from the temporary copies' prefix.
constexpr const char* kAsidePrefix = ".ferrit-aside.";

// The name under which this process sets the entry `name` aside: the prefix, this process's id,
// a tag of this host and the name itself. A name too long to be carried whole gets a numbered
// name that cannot be put back by itself (the leftover is then listed under it).
std::string AsideName(const std::string& name);

// What a listing does with a set-aside name it meets.
enum class AsideLeftover {
    NotAside,  // not a set-aside name
    InUse,     // set aside by a program that may still run (or by another host): not shown
    PutBack,   // left by a program of this host that no longer runs: put back under `name`
    KeepAsIs,  // left behind, but its own name is unknown: shown under the set-aside name
};

// Classifies a name; `original` receives the name to put it back under (for PutBack).
AsideLeftover ClassifyAsideName(const char* name, std::string& original);

// Sorts a files listing by name, in which what a killed move left set aside stands under its own
// name (ListEntry::setAside set): where that name is taken meanwhile, the entry stands under its
// set-aside name again, as an ordinary file of the user's.
void SettleSetAside(std::vector<ListEntry>& entries);

// The system's part, one implementation per system: this process's id, this host's name, and
// whether a process of this host with the id still runs (true where that cannot be told).
long CurrentProcessId();
std::string HostName();
bool ProcessRuns(long pid);

}  // namespace ferrit
