// The tree walk: one pass over a tree, and the directory step before each subdirectory.
#include <string>
#include <vector>

#include "engine/transfer_engine.h"
#include "support/strings.h"

namespace ferrit {

namespace {

// Whether a walked directory is the given root. Directories are compared by identity, so a
// root written differently (trailing separator, relative form, through a link) is still
// recognised and a sibling whose name differs only in case is not taken for it. Where an
// identity cannot be read, the texts must match exactly.
bool IsRoot(bool walkedKnown, const DirIdentity& walked, bool rootKnown, const DirIdentity& root,
            const std::string& directory, const std::string& rootText) {
    if (walkedKnown && rootKnown) {
        return walked == root;
    }
    return directory == rootText;
}

}  // namespace

void TransferEngine::BrowseAllFilesInTree(std::string directory, std::string counterpart,
                                          const std::string& pattern, bool descend) {
    // Other-root guard: never walk into the other tree of this pass, which may lie inside the
    // walked one and grow while it is walked.
    DirIdentity walkedId;
    const bool walkedKnown = files_.DirectoryId(directory, walkedId);
    const bool otherIsTarget = !run_.SecondPass;
    if (IsRoot(walkedKnown, walkedId, otherIsTarget ? targetIdKnown_ : sourceIdKnown_,
               otherIsTarget ? targetId_ : sourceId_, directory,
               otherIsTarget ? run_.TargetText : run_.SourceText)) {
        return;
    }

    AddTrailingSlash(directory);
    AddTrailingSlash(counterpart);
    sink_.ShowWalkDirectory(directory);

    // Files first. A directory that cannot be listed yields nothing.
    std::vector<ListEntry> files;
    files_.ListFiles(directory, pattern, files);
    for (const ListEntry& entry : files) {
        if (run_.RunState == kRunStateAbort) {
            break;
        }
        if ((entry.attr & (Attr::Directory | Attr::VolumeLabel)) != 0) {
            continue;
        }
        HandleOneFile(directory + entry.name, counterpart + entry.name, entry);
    }

    if (!descend) {
        return;
    }

    // Then the subdirectories, depth-first in listing order. The listing holds real directories
    // only, never links, so the walk cannot run into a loop.
    std::vector<ListEntry> subdirs;
    files_.ListSubdirs(directory, subdirs);
    for (const ListEntry& entry : subdirs) {
        if (run_.RunState == kRunStateAbort) {
            break;
        }
        if ((entry.attr & Attr::Directory) == 0 || entry.name.empty() || entry.name[0] == '.') {
            continue;
        }
        if (HandleOneDir(directory + entry.name, counterpart + entry.name) == 0) {
            BrowseAllFilesInTree(directory + entry.name, counterpart + entry.name, pattern,
                                 descend);
        }
    }

    directory.pop_back();

    // Move mode: the emptied directory goes, after its whole subtree. Only a walk of every name
    // can have emptied it, and the source root itself always stays.
    if (options_.cbAllowed(MoveFiles) &&
        !IsRoot(walkedKnown, walkedId, sourceIdKnown_, sourceId_, directory, run_.SourceText) &&
        pattern == "*.*") {
        run_.LastErrorCode = CopyResultCode(files_.RemoveDirectory(directory));
        if (run_.LastErrorCode != 0) {
            run_.RunState = static_cast<int16_t>(
                ShowErrorCode(dialogs_, DialogKind::Error, run_.LastErrorCode,
                              "Could not Delete " + directory, Btn::AbortIgnore));
        }
    }
}

int32_t TransferEngine::HandleOneDir(const std::string& directory, const std::string& counterpart) {
    sink_.PumpMessages();
    if (run_.RunState == kRunStateAbort) {
        return 0;
    }
    sink_.StatusInfo(directory);

    if (options_.cbAllowed(CopySubdirectories)) {
        files_.CreateDirectories(counterpart);  // the existence test below decides
    }
    if (!PathExists(counterpart)) {
        // "Create Directories on Target" is never disabled, so its ticked state is what counts.
        if (!options_.Ticked(CreateDirectoriesOnTarget)) {
            run_.RunState =
                static_cast<int16_t>(ShowErrorCode(dialogs_, DialogKind::Error, ErrTargetMissing,
                                                   counterpart + " does not exist", Btn::Abort));
        }
        return ErrTargetMissing;
    }

    // Directory metadata is carried in the first pass only, and only between NetWare volumes.
    if (run_.SecondPass || !netware_.State().BothNetWare) {
        return 0;
    }
    // Both locations on NetWare: the locations of this pair, the rights warnings, then the
    // directory's trustees, space limit and inherited rights mask. The temporary handles of
    // this step are always released before the next lookup.
    netware_.GetNetWarePaths(directory, counterpart);
    for (const std::string& line : netware_.CheckRights(options_)) {
        sink_.StatusInfo(line);
    }
    const LocationState& locations = netware_.State();
    const std::string& source = locations.PathInfo[kSource].NetWarePath;
    const std::string& target = locations.PathInfo[kTarget].NetWarePath;
    if (options_.cbAllowed(KeepDirectoryTrustees)) {
        netware_.CopyTrustees(source, target);
    }
    if (options_.cbAllowed(KeepSpaceLimitations)) {
        netware_.CopySpaceLimits(source, target, run_.RunState);
    }
    if (options_.cbAllowed(KeepInheritedRightsMask)) {
        netware_.CopyInheritedRightsMask(source, target, run_.RunState);
    }
    netware_.FreeTempDirHandle(kSource);
    netware_.FreeTempDirHandle(kTarget);
    return 0;
}

}  // namespace ferrit
