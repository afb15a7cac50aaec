// The tree walk: one pass over a tree, and the directory step before each subdirectory.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/run_summary.h"
#include "engine/transfer_engine.h"
#include "platform/error_codes.h"
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

// What a FIFO, socket or device is called in its status line.
const char* SpecialKindText(EntryKind kind) {
    switch (kind) {
        case EntryKind::Fifo:
            return "a FIFO";
        case EntryKind::Socket:
            return "a socket";
        default:
            return "a device";
    }
}

// Whether the walk enters a subdirectory listed: never one whose name is hidden.
bool WalkedSubdir(const ListEntry& entry) {
    return (entry.attr & Attr::Directory) != 0 && !entry.name.empty() && entry.name[0] != '.';
}

}  // namespace

void TransferEngine::WalkPass(const std::string& root, const std::string& counterpart,
                              const std::string& pattern, bool descend) {
    // The walk decides ahead of the reports, across directories: the files decided and not yet
    // finished, and the walk's steps among them, wait in one queue in walk order, and the
    // workers put the copies in place in that order. However the pass ends, no worker is left
    // waiting for a turn, and nothing decided is left behind for the next pass.
    CopyPool inlineCopies(1);
    CopyPool& pool = pool_ != nullptr ? *pool_ : inlineCopies;
    const bool sideBySide = !pool.Inline();
    // A copy made and waiting for its turn may hold a descriptor: all of them together stay
    // well within the process's limit. Enough are decided ahead to keep every worker busy
    // while the walk's thread reports.
    jobsPerTask_ =
        sideBySide ? std::min(kCopiesPerTask,
                              std::max<size_t>(1, kCopiesInFlight / static_cast<size_t>(runJobs_)))
                   : 1;
    inFlight_ = sideBySide ? (static_cast<size_t>(runJobs_) + 1) * jobsPerTask_ : 1;
    order_ = std::make_shared<PublishOrder>();
    if (sideBySide) {
        // A worker whose made copies wait for their turn goes on with the next run meanwhile;
        // they are put in place first thing once their turn has come.
        order_->SetRunner(
            [&pool](std::function<void()> then) { pool.Post(std::move(then), false, true); });
    }
    nextInOrder_ = 0;
    struct PassEnd {
        TransferEngine& engine;
        ~PassEnd() {
            engine.order_->Stop();
            engine.queue_.clear();
            engine.gathered_.reset();
            engine.jobsPool_ = nullptr;
            engine.jobsOrder_.reset();
            engine.madeAhead_.clear();
            engine.files_->EndReadAhead();
        }
    } passEnd{*this};
    // On a volume where every call waits for a round trip, the directories a copy makes are
    // staged. Not in a move, whose deletions rest on copies standing in place, nor between
    // NetWare volumes, whose steps address the directories by their names.
    stageDirectories_ = !options_.cbAllowed(MoveFiles) && !roots_.BothNetWare &&
                        !roots_.SameConnection && files_->CopiesSideBySide(counterpart) > 0;
    // On such a volume the walk's looks at entries, one after another, are most of an up-to-date
    // run: the directories it comes to next are read ahead.
    readAheadWalked_ = files_->ReadsAhead(root);
    readAheadCounterpart_ = files_->ReadsAhead(counterpart);
    CopyPool* const runPool = pool_;
    pool_ = &pool;
    struct PoolBack {
        CopyPool*& pool;
        CopyPool* before;
        ~PoolBack() { pool = before; }
    } poolBack{pool_, runPool};
    Landing top;
    top.home = counterpart;
    WalkTree(root, counterpart, pattern, descend, roots_, false, nullptr, false, top);
    FinishAll(queue_);
    if (run_.RunState == kRunStateAbort) {
        RemoveMadeAhead();
    }
}

void TransferEngine::ReadSubdirsAhead(const std::string& directory, const std::string& counterpart,
                                      const std::vector<ListEntry>& subdirs, bool counterpartNew,
                                      const NameSet* counterpartNames) {
    // A counterpart directory this run made holds nothing to look at yet. Only counterparts that
    // stand are asked for: a look for a missing one is a round trip that finds nothing, and a
    // fresh copy would send one for every directory.
    bool counterparts = readAheadCounterpart_ && !counterpartNew && !subdirs.empty();
    if (!readAheadWalked_ && !counterparts) {
        return;
    }
    NameSet listedNow;
    if (counterparts && counterpartNames == nullptr) {
        std::vector<std::string> listed;
        counterparts = files_->ListNames(counterpart, listed, nullptr) == 0;
        listedNow.insert(listed.begin(), listed.end());
        counterpartNames = &listedNow;
    }
    std::vector<std::string> dirs;
    for (const ListEntry& entry : subdirs) {
        if (!WalkedSubdir(entry)) {
            continue;
        }
        if (readAheadWalked_) {
            dirs.push_back(directory + entry.name);
        }
        if (counterparts && counterpartNames->count(entry.name) != 0) {
            dirs.push_back(counterpart + entry.name);
        }
    }
    files_->ReadAhead(dirs);
}

void TransferEngine::RemoveMadeAhead() {
    // After a stop, the directories the walk made ahead of the reports whose lines were never
    // shown go again, deepest first: one worker, deciding one file at a time, would not have
    // made them. Each held nothing when this run made it, and the copies decided into it have
    // been dropped unpublished by now. The removal takes an empty directory only and never
    // follows a link, so one that holds something now, or is no directory any more (another
    // program's doing meanwhile), stays as it is: nothing in it is touched, and its parent,
    // no longer empty, stays too.
    for (auto made = madeAhead_.rbegin(); made != madeAhead_.rend(); ++made) {
        if (!*made->shown) {
            files_->RemoveDirectory(made->path);
        }
    }
    madeAhead_.clear();
}

void TransferEngine::QueueStep(std::function<void()> step, bool mayStop, bool afterStop) {
    if (run_.RunState == kRunStateAbort) {
        FinishAll(queue_);  // what was decided ahead is discarded first
    }
    if (queue_.empty() || !order_) {
        // Nothing waits before it: it is its turn.
        step();
        if (order_ && run_.RunState == kRunStateAbort) {
            order_->Stop();
        }
        return;
    }
    PendingFile& p = queue_.emplace_back(std::move(step), mayStop);
    p.afterStop = afterStop;
    p.order = order_;
    p.k = nextInOrder_++;
    if (!mayStop) {
        order_->Settle(p.k);  // a line cannot stop the run: the files after it need not wait
    }
    KeepInFlight();
}

void TransferEngine::KeepInFlight() {
    // Copies are put in place and reported in walk order; no more files are decided ahead of
    // them than copies may be made side by side.
    while (queue_.size() >= inFlight_ && run_.RunState != kRunStateAbort) {
        FinishInOrder(queue_.front());
        queue_.pop_front();
    }
}

void TransferEngine::WalkTree(std::string directory, std::string counterpart,
                              const std::string& pattern, bool descend, const DirectoryPair& pair,
                              bool owed, const std::shared_ptr<bool>& shown, bool counterpartNew,
                              const Landing& landing) {
    // Other-root guard: never walk into the other tree of this pass, which may lie inside the
    // walked one and grow while it is walked.
    DirIdentity walkedId;
    const bool walkedKnown = files_->DirectoryId(directory, walkedId);
    if (IsOtherRoot(walkedKnown, walkedId, directory)) {
        return;
    }

    AddTrailingSlash(directory);
    AddTrailingSlash(counterpart);
    QueueStep(
        [this, directory] {
            ++run_.Counts.Directories;
            sink_.ShowWalkDirectory(directory);
        },
        false);

    // Files first. A directory that cannot be read is asked about after everything before it
    // has been reported.
    std::vector<ListEntry> files;
    const int listed = files_->ListFiles(directory, pattern, files);
    if (listed != 0) {
        FinishAll(queue_);
        if (run_.RunState != kRunStateAbort) {
            ReportUnreadable(listed, directory);
        }
    }
    NameSet counterpartNames;  // where the files' step has read them
    bool counterpartListed = false;
    HandleFiles(directory, counterpart, files, std::make_shared<const DirectoryPair>(pair),
                counterpartNew, landing, counterpartNames, counterpartListed);
    // A staged directory is put in place once its files are reported, before anything below it.
    if (!landing.staged.empty()) {
        QueueStep(
            [this, landing, counterpart, shown] { PublishStaged(landing, counterpart, shown); },
            true, true);
    }

    if (!descend) {
        return;
    }

    // Then the subdirectories, depth-first in listing order. The listing holds real directories
    // only, never links, so the walk cannot run into a loop.
    std::vector<ListEntry> subdirs;
    const int listedSubdirs = files_->ListSubdirs(directory, subdirs);
    if (listedSubdirs != 0 && listed == 0) {
        FinishAll(queue_);
        if (run_.RunState != kRunStateAbort) {
            ReportUnreadable(listedSubdirs, directory);
        }
    }
    ReadSubdirsAhead(directory, counterpart, subdirs, counterpartNew,
                     counterpartListed ? &counterpartNames : nullptr);
    for (const ListEntry& entry : subdirs) {
        if (run_.RunState == kRunStateAbort) {
            break;
        }
        if (!WalkedSubdir(entry)) {
            continue;
        }
        // The other root met inside this tree is passed over before anything is made for it.
        const DirIdentity subId{entry.device, entry.inode};
        if (IsOtherRoot(entry.kind == EntryKind::Directory, subId, directory + entry.name)) {
            continue;
        }
        DirectoryPair subPair = pair;
        bool subOwed = false;
        const auto subShown = std::make_shared<bool>(false);
        bool madeNow = false;
        Landing subLanding = landing;
        if (landing.staged.empty()) {
            subLanding.home = counterpart;
        }
        if (DirectoryStep(directory + entry.name, counterpart + entry.name, subPair, subOwed,
                          subShown, madeNow, subLanding) == 0) {
            WalkTree(directory + entry.name, counterpart + entry.name, pattern, descend, subPair,
                     subOwed, subShown, madeNow, subLanding);
        }
    }

    directory.pop_back();

    // The directory's own metadata, now that nothing below it is left to carry. After a stop it
    // is not carried, and in move mode the directory then stays, so that the next run finds it
    // and carries its metadata before it goes.
    bool metadataLeft = false;
    if (owed) {
        FinishAll(queue_);  // the subtree is complete first
        if (run_.RunState != kRunStateAbort) {
            CarryDirectoryMetadata(pair);
        } else {
            metadataLeft = true;
        }
    }

    // Move mode: the emptied directory goes, after its whole subtree. Only a walk of every name
    // can have emptied it. Neither root is ever removed: the source root is the user's, and the
    // target root of a second pass is the tree the first pass has just filled.
    if (options_.cbAllowed(MoveFiles) && !metadataLeft &&
        !IsRoot(walkedKnown, walkedId, sourceIdKnown_, sourceId_, directory, run_.SourceText) &&
        !IsRoot(walkedKnown, walkedId, targetIdKnown_, targetId_, directory, run_.TargetText) &&
        pattern == "*.*") {
        // Its turn comes once every file of its subtree has been reported and moved. After a
        // stop it is still tried for a directory whose line was shown, as one file after
        // another reaches it on the way out, and never for one the walk entered ahead of the
        // reports; an answer to its failure does not take the stop back.
        QueueStep(
            [this, directory, shown] {
                const bool stopped = run_.RunState == kRunStateAbort;
                if (stopped && !(shown && *shown)) {
                    return;
                }
                run_.LastErrorCode = ShownCode(files_->RemoveDirectory(directory));
                if (run_.LastErrorCode != 0) {
                    ReportDirectoryFailure(run_.LastErrorCode, "Could not Delete " + directory,
                                           Btn::AbortIgnore);
                    if (stopped) {
                        run_.RunState = kRunStateAbort;
                    }
                }
            },
            true, true);
    }
}

void TransferEngine::HandleFiles(const std::string& directory, const std::string& counterpart,
                                 const std::vector<ListEntry>& files,
                                 const std::shared_ptr<const DirectoryPair>& pair,
                                 bool counterpartNew, const Landing& landing, NameSet& names,
                                 bool& listed) {
    listed = false;
    if (files.empty()) {
        return;
    }
    // The names in the counterpart directory, read once: a file whose name is not there needs
    // no look of its own. A directory that cannot be read is looked at name by name. One this
    // run has just made held nothing when it was made, and holds no leftover: that is as good
    // a snapshot as a listing taken now (on a network volume a listing costs several round
    // trips), since a listing too may be overtaken by another program before the copies.
    std::vector<std::string> counterpartNames, stale;
    listed = !counterpartNew && files_->ListNames(counterpart, counterpartNames, &stale) == 0;
    const bool haveNames = counterpartNew || listed;
    names.clear();
    names.insert(counterpartNames.begin(), counterpartNames.end());
    for (const ListEntry& entry : files) {
        if ((entry.attr & (Attr::Directory | Attr::VolumeLabel)) == 0) {
            ++run_.Counts.FilesFound;
            run_.Counts.BytesFound += entry.size;
        }
    }
    // This pass writes into the counterpart directory: the temporary copies that a killed run
    // left there go now. Only this one kind of directory is swept, never a walked one.
    for (const std::string& name : stale) {
        files_->RemoveStaleTemporary(counterpart + name);
    }
    CopyPool& pool = *pool_;
    ++directoryNumber_;
    for (const ListEntry& entry : files) {
        if (run_.RunState == kRunStateAbort) {
            break;  // what was decided ahead is discarded below
        }
        if ((entry.attr & (Attr::Directory | Attr::VolumeLabel)) != 0) {
            continue;
        }
        if (IsSpecialKind(entry.kind)) {
            // Never opened, and said so in its place, so the operator knows the other tree is no
            // full copy; a known limit, not a failure of the run.
            QueueStep(
                [this, name = entry.name, size = entry.size, kind = entry.kind] {
                    ++run_.Counts.FilesSkipped;
                    run_.Counts.BytesDone += size;
                    sink_.StatusInfo("   " + name + " not copied: " + SpecialKindText(kind) +
                                     " is not a file");
                },
                false);
            continue;
        }
        ListEntry listed = entry;
        if (!entry.setAside.empty()) {
            // A move cut short left the file set aside: it goes back under its name first, said
            // so in its place; where it cannot, it is handled under the name it has.
            FinishAll(queue_);
            if (run_.RunState == kRunStateAbort) {
                break;
            }
            listed.setAside.clear();
            if (files_->PutBack(directory + entry.setAside, directory + entry.name) == 0) {
                sink_.StatusInfo("   " + entry.name + " put back after an interrupted move");
            } else {
                listed.name = entry.setAside;
            }
        }
        PendingFile p(directory + listed.name, counterpart + listed.name, listed, pair);
        if (!landing.staged.empty()) {
            p.copyTarget = landing.staged + listed.name;
            p.staged = landing.copied;
        }
        p.order = order_;
        p.k = nextInOrder_++;
        if (!DecideFile(p, haveNames ? &names : nullptr, &queue_)) {
            break;
        }
        StartCopy(p, pool);
        queue_.push_back(std::move(p));
        KeepInFlight();
    }
    if (run_.RunState == kRunStateAbort) {
        FinishAll(queue_);  // what was decided ahead is discarded
    }
}

bool TransferEngine::IsOtherRoot(bool walkedKnown, const DirIdentity& walked,
                                 const std::string& directory) const {
    const bool otherIsTarget = !run_.SecondPass;
    return IsRoot(walkedKnown, walked, otherIsTarget ? targetIdKnown_ : sourceIdKnown_,
                  otherIsTarget ? targetId_ : sourceId_, directory,
                  otherIsTarget ? run_.TargetText : run_.SourceText);
}

void TransferEngine::ReportUnreadable(int code, const std::string& directory) {
    ReportDirectoryFailure(ShownCode(code), "Could not read " + directory, Btn::AbortIgnore);
}

void TransferEngine::ReportDirectoryFailure(int32_t code, const std::string& text,
                                            DialogButtons buttons) {
    ++run_.Counts.DirectoryFailures;
    run_.RunState =
        static_cast<int16_t>(ShowErrorCode(dialogs_, DialogKind::Error, code, text, buttons));
    sink_.StatusInfo(FailureLine(code, text));
}

int32_t TransferEngine::DirectoryStep(const std::string& directory, const std::string& counterpart,
                                      DirectoryPair& pair, bool& owed,
                                      const std::shared_ptr<bool>& shown, bool& madeNow,
                                      Landing& landing) {
    owed = false;
    madeNow = false;
    const bool parentStaged = !landing.staged.empty();
    landing.staged.clear();
    landing.copied.reset();
    sink_.PumpMessages();
    // Between NetWare volumes the pair's lookups and lines, and later its metadata, need
    // everything before the directory settled: the walk does not run ahead there.
    const bool netwarePair = !run_.SecondPass && roots_.BothNetWare;
    if (netwarePair || run_.RunState == kRunStateAbort) {
        FinishAll(queue_);
    }
    if (run_.RunState == kRunStateAbort) {
        return 0;
    }
    QueueStep(
        [this, directory, shown] {
            *shown = true;
            sink_.StatusInfo(directory);
        },
        false);

    // A directory made ahead of the reports is harmless; a failure is reported in its place,
    // after every file before it.
    int made = 0;
    if (options_.cbAllowed(CopySubdirectories)) {
        made = stageDirectories_ ? StageCounterpart(counterpart, parentStaged, landing) : -1;
        if (made == 0) {
            madeNow = true;
            NoteMadeAhead(landing.staged.substr(0, landing.staged.size() - 1), shown);
            return 0;
        }
        if (made == -1) {
            // the existence test below decides
            made = files_->CreateDirectoriesNoting(counterpart, madeNow);
        }
    }
    // Below a staged directory nothing stands yet: one that could not be staged is not made.
    if (parentStaged || !PathExists(counterpart)) {
        madeNow = false;
        FinishAll(queue_);
        if (run_.RunState == kRunStateAbort) {
            return ErrTargetMissing;
        }
        // Nothing is written below a counterpart that is a link: it could lead anywhere.
        EntryStat standing;
        files_->StatEntry(counterpart, standing);
        if (standing.kind == EntryKind::Link) {
            made = WinErr::CantResolveFilename;
        } else if (made == 0 && standing.kind != EntryKind::Missing) {
            made = WinErr::AlreadyExists;
        }
        // "Create Directories on Target" is never disabled, so its ticked state is what counts.
        if (standing.kind != EntryKind::Link && !options_.Ticked(CreateDirectoriesOnTarget)) {
            ReportDirectoryFailure(ErrTargetMissing, counterpart + " does not exist", Btn::Abort);
        } else {
            // The directory should have been there: the reason is shown, and the operator
            // decides whether the rest of the run goes on without this subtree. One that was
            // tried and could not be made says so.
            const bool notMade = made != 0 && standing.kind != EntryKind::Link;
            ReportDirectoryFailure(
                made != 0 ? ShownCode(made) : ErrTargetMissing,
                notMade ? "Could not create " + counterpart : counterpart + " does not exist",
                Btn::AbortIgnore);
        }
        return ErrTargetMissing;
    }
    if (madeNow) {
        NoteMadeAhead(counterpart, shown);
    }

    // Directory metadata is carried in the first pass only, and only between NetWare volumes:
    // whenever both roots were on NetWare, every pair is looked at afresh, so one pair that
    // cannot be resolved affects only itself.
    if (!netwarePair) {
        return 0;
    }
    // The locations of this pair and the rights warnings. The directory's own trustees, space
    // limit and mask are carried once its subtree is complete: they could take from the operator
    // the rights that the rest of the subtree needs.
    pair = netware_.GetNetWarePaths(directory, counterpart);
    sink_.ShowAvailableSpace(pair.AvailText);
    if (pair.PathInfo[kSource].PathTooLong || pair.PathInfo[kTarget].PathTooLong) {
        // No NetWare step is made on a path the client would take cut: that names another
        // directory. The rights of this pair are not known, so no rights line either.
        sink_.StatusInfo("  NetWare path too long: trustees, mask and limit not carried");
        ++run_.NetWareFailures;
        return 0;
    }
    for (const std::string& line : netware_.CheckRights(pair, options_)) {
        sink_.StatusInfo(line);
    }
    owed = pair.BothNetWare;
    return 0;
}

void TransferEngine::NoteMadeAhead(const std::string& path, const std::shared_ptr<bool>& shown) {
    if (*shown) {
        return;
    }
    // Made ahead of its line. The lines are shown in walk order: those made ahead whose lines
    // are shown by now lead the list, and leave it.
    while (!madeAhead_.empty() && *madeAhead_.front().shown) {
        madeAhead_.pop_front();
    }
    madeAhead_.push_back(MadeAhead{path, shown});
}

int TransferEngine::StageCounterpart(const std::string& counterpart, bool parentStaged,
                                     Landing& landing) {
    // Below a staged directory nothing stands yet; elsewhere only a missing directory is
    // staged, and whatever stands is left to the usual way, which says what it is.
    if (!parentStaged) {
        EntryStat standing;
        files_->StatEntry(counterpart, standing);
        if (standing.kind != EntryKind::Missing) {
            return -1;
        }
    }
    std::string staged;
    const int rc = files_->StageDirectory(landing.home, staged);
    if (rc != 0) {
        return parentStaged ? rc : -1;  // where it stands, the directory can be made as usual
    }
    AddTrailingSlash(staged);
    landing.staged = staged;
    landing.copied = std::make_shared<StagedFiles>();
    return 0;
}

void TransferEngine::PublishStaged(const Landing& landing, std::string counterpart,
                                   const std::shared_ptr<bool>& shown) {
    // After a stop, one whose line was never shown holds nothing reported: it goes with the
    // directories made ahead.
    const bool stopped = run_.RunState == kRunStateAbort;
    if (stopped && !(shown && *shown)) {
        return;
    }
    std::string staged = landing.staged;
    staged.pop_back();
    counterpart.pop_back();
    StagedFiles& copied = *landing.copied;
    const int rc = files_->PublishDirectory(staged, counterpart);
    if (rc == 0) {
        // The walked files' archive bits, now that their copies stand in place.
        for (const auto& [file, attributes] : copied.archiveCleared) {
            files_->SetAttributes(file, attributes);
        }
        return;
    }
    // The copies reported into it are not where their lines said: they are taken back, and
    // counted as failed (their sources are untouched: a move never stages).
    for (const std::string& name : copied.names) {
        files_->DeleteFile(landing.staged + name);
    }
    files_->RemoveDirectory(staged);
    const auto count = static_cast<int64_t>(copied.names.size());
    run_.Counts.FilesCopied -= count;
    run_.Counts.FilesFailed += count;
    run_.Counts.BytesCopied -= copied.bytes;
    std::string text = "Could not create " + counterpart;
    if (count > 0) {
        text += "; the " + std::to_string(count) + " files copied into it were taken back";
    }
    ReportDirectoryFailure(ShownCode(rc), text, Btn::AbortIgnore);
    if (stopped) {
        run_.RunState = kRunStateAbort;
    }
}

void TransferEngine::CarryDirectoryMetadata(DirectoryPair pair) {
    const std::string& source = pair.PathInfo[kSource].NetWarePath;
    const std::string& target = pair.PathInfo[kTarget].NetWarePath;
    if (options_.cbAllowed(KeepDirectoryTrustees)) {
        netware_.CopyTrustees(pair, source, target);
    }
    if (options_.cbAllowed(KeepSpaceLimitations)) {
        netware_.CopySpaceLimits(pair, source, target, run_.RunState);
    }
    if (options_.cbAllowed(KeepInheritedRightsMask)) {
        netware_.CopyInheritedRightsMask(pair, source, target, run_.RunState);
    }
    // The temporary handles of this step are always released.
    netware_.FreeTempDirHandle(pair, kSource);
    netware_.FreeTempDirHandle(pair, kTarget);
    ShowNetWareNotes();
}

void TransferEngine::ShowNetWareNotes() {
    for (const NetWareNote& note : netware_.TakeNotes()) {
        if (!note.failure && !notesShown_.insert(note.line).second) {
            continue;
        }
        sink_.StatusInfo(note.line);
        if (note.failure) {
            ++run_.NetWareFailures;
        }
    }
}

}  // namespace ferrit
