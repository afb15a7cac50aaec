// Run control: one whole transfer run, its abort, and the existence test of the roots.
#include <chrono>
#include <exception>
#include <string>

#include "engine/transfer_engine.h"
#include "platform/error_codes.h"
#include "support/strings.h"

namespace ferrit {

namespace {

// The root a pass walks: the pair's path (the text in the client's form) when it names the
// directory that was just checked, else the checked text itself. A path the conversion has cut
// (or an empty one, which would mean the file-system root) can thus never redirect a run.
std::string RootOf(FileServices& files, const std::string& oemPath, const std::string& text) {
    if (oemPath == text) {
        return oemPath;
    }
    DirIdentity located, checked;
    if (!oemPath.empty() && files.DirectoryId(oemPath, located) &&
        files.DirectoryId(text, checked) && located == checked) {
        return oemPath;
    }
    return text;
}

// Shows a fault that escaped from a run step; a failing dialog must not stop the finishing steps.
void ReportFault(Dialogs& dialogs, const std::string& what) {
    try {
        ShowMessageBox(dialogs, DialogKind::Error, "Unexpected error: " + what);
    } catch (...) {
    }
}

}  // namespace

TransferEngine::TransferEngine(RunData& run, OptionSet& options, NetWareServices& netware,
                               FileServices& files, Dialogs& dialogs, StatusSink& sink)
    : run_(run),
      options_(options),
      netware_(netware),
      sharedFiles_(files),
      files_(&files),
      dialogs_(dialogs),
      sink_(sink) {}

bool TransferEngine::ButtonStartClick(const RunRequest& request) {
    // The Start handler can be reached again from a pump inside a run; one run at a time.
    if (running_) {
        return false;
    }
    running_ = true;
    struct RunningReset {
        bool& flag;
        ~RunningReset() { flag = false; }
    } runningReset{running_};

    bool hourglass = false;  // the busy cursor is on and must go off again
    bool finish = false;     // the finishing steps are owed
    // The run's own file services, confined to its roots, and the locks on the roots; the
    // program's file services are in use again when the run ends, however it ends.
    std::unique_ptr<FileServices> runFiles;
    std::unique_ptr<TreeLock> sourceLock, targetLock;
    struct FilesReset {
        FileServices*& files;
        FileServices& shared;
        ~FilesReset() { files = &shared; }
    } filesReset{files_, sharedFiles_};
    try {
        run_.TotalBytes = 0;
        run_.Counts = RunCounts();
        run_.PassesRan = false;
        run_.RefusedBecause.clear();
        run_.ElapsedMs = 0;
        run_.NetWareFailures = 0;
        notesShown_.clear();
        netware_.TakeNotes();  // nothing from before this run is shown in it
        run_.RunState = kRunStateRunning;
        sink_.RunStarted();
        run_.Recurse = options_.cbAllowed(CopySubdirectories);
        run_.SourceText = request.source;
        run_.TargetText = request.target;

        // The source is tested first, so a missing source never gets a target created for it.
        if (!PathExists(run_.SourceText)) {
            Refuse(ErrSourceMissing, run_.SourceText + " does not exist");
            return true;
        }
        int made = 0;
        if (options_.cbAllowed(CreateDirectoriesOnTarget)) {
            made = files_->CreateDirectories(run_.TargetText);  // the existence test below decides
        }
        if (!PathExists(run_.TargetText)) {
            // A target that was to be made and could not be says so, with the reason.
            if (made != 0) {
                Refuse(ShownCode(made), "Could not create " + run_.TargetText);
            } else {
                Refuse(ErrTargetMissing, run_.TargetText + " does not exist");
            }
            return true;
        }
        // The roots' pair, looked up now that both exist (a target this run has made was, until
        // then, only where its nearest existing parent is).
        roots_ = netware_.GetNetWarePaths(run_.SourceText, run_.TargetText);
        sink_.ShowAvailableSpace(roots_.AvailText);

        sourceIdKnown_ = files_->DirectoryId(run_.SourceText, sourceId_);
        targetIdKnown_ = files_->DirectoryId(run_.TargetText, targetId_);
        // Runs that would meet over these trees do not run at once.
        if (!LockRoots(sourceLock, targetLock)) {
            return true;
        }

        sink_.ShowProgressPage();
        dialogs_.HourglassOn();
        hourglass = true;
        finish = true;
        run_.PassesRan = true;
        run_.PassesStarted = std::chrono::steady_clock::now();

        run_.SecondPass = false;
        run_.RunPattern = UpperAscii(request.pattern);
        run_.SourceRoot = RootOf(*files_, roots_.PathInfo[kSource].OemPath, run_.SourceText);
        run_.TargetRoot = RootOf(*files_, roots_.PathInfo[kTarget].OemPath, run_.TargetText);

        // Below the two roots nothing is reached through a link in a directory: a link planted
        // in either tree can never lead a write or a deletion elsewhere.
        runFiles = sharedFiles_.ConfinedTo({run_.SourceRoot, run_.TargetRoot});
        files_ = runFiles.get();
        // The workers of this run; every copy handed to them has finished when it ends. Where
        // copies go one at a time, a large one still goes to a worker: the walk's thread then
        // never waits inside it, and goes on showing its progress and taking the stop.
        runJobs_ = jobs_ > 0 ? jobs_ : AutomaticJobs(run_.TargetRoot);
        CopyPool pool(runJobs_, true);
        pool_ = &pool;
        struct PoolReset {
            CopyPool*& pool;
            ~PoolReset() { pool = nullptr; }
        } poolReset{pool_};
        WalkPass(run_.SourceRoot, run_.TargetRoot, run_.RunPattern, run_.Recurse);
        // Read only now: the operator may have changed it during the first pass. An abort is
        // not tested here; the second pass stops at its own first test.
        if (options_.cbAllowed(CopyBidirectional)) {
            run_.SecondPass = true;
            WalkPass(run_.TargetRoot, run_.SourceRoot, run_.RunPattern, run_.Recurse);
        }
    } catch (const std::exception& e) {
        run_.RunState = kRunStateAbort;
        finish = true;
        ReportFault(dialogs_, e.what());
    } catch (...) {
        run_.RunState = kRunStateAbort;
        finish = true;
        ReportFault(dialogs_, "unknown fault");
    }

    if (run_.PassesRan) {
        run_.ElapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - run_.PassesStarted)
                             .count();
    }
    // The window gets its idle look back whatever happened inside the passes.
    if (finish) {
        try {
            sink_.RunFinished();
        } catch (const std::exception& e) {
            ReportFault(dialogs_, e.what());
        } catch (...) {
            ReportFault(dialogs_, "unknown fault");
        }
    }
    if (hourglass) {
        try {
            dialogs_.HourglassOff();
        } catch (...) {
        }
    }
    return true;
}

void TransferEngine::Refuse(int32_t code, const std::string& text) {
    run_.RefusedBecause = ErrorCodeText(code, text);
    run_.RunState =
        static_cast<int16_t>(ShowErrorCode(dialogs_, DialogKind::Error, code, text, Btn::Abort));
}

int TransferEngine::AutomaticJobs(const std::string& target) {
    const int roundTrips = files_->CopiesSideBySide(target);
    return roundTrips > 0 ? roundTrips : kDefaultJobs;
}

void TransferEngine::BitBtnAbortClick() {
    run_.RunState = kRunStateAbort;
    // The workers put no more copies in place from now on; those already in place are
    // reported when the walk comes to them.
    if (order_ != nullptr) {
        order_->Stop();
    }
}

bool TransferEngine::LockRoots(std::unique_ptr<TreeLock>& source,
                               std::unique_ptr<TreeLock>& target) {
    // A move deletes: no other run may copy from or into its trees meanwhile. Copies share.
    const bool exclusive = options_.cbAllowed(MoveFiles);
    const bool oneRoot = sourceIdKnown_ && targetIdKnown_ && sourceId_ == targetId_;
    for (int side = 0; side < (oneRoot ? 1 : 2); ++side) {
        const std::string& root = side == 0 ? run_.SourceText : run_.TargetText;
        // A file system that cannot lock is run over without a lock.
        if (files_->LockTree(root, exclusive, side == 0 ? source : target) ==
            WinErr::SharingViolation) {
            Refuse(WinErr::SharingViolation,
                   root + " is in use by another run; start again when it has finished");
            return false;
        }
    }
    return true;
}

bool TransferEngine::PathExists(const std::string& path) {
    return files_->DirectoryExists(path);
}

}  // namespace ferrit
