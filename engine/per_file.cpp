// The per-file decision: copy, skip or overwrite one listed file, and the move deletion.
#include <chrono>
#include <string>

#include "engine/run_summary.h"
#include "engine/transfer_engine.h"
#include "platform/copy_progress.h"
#include "platform/error_codes.h"
#include "platform/file_handles.h"
#include "support/format_size.h"

namespace ferrit {

namespace {

// A file age as an ordered value. Packed DOS date-times from 2044 on have the top bit set, so a
// signed comparison would rank them below every older file and even below a missing file (-1),
// and move mode would then delete a source that was never copied. Missing stays lowest.
int64_t AgeOrder(int32_t age) {
    return age == -1 ? -1 : static_cast<int64_t>(static_cast<uint32_t>(age));
}

// How often the walk looks up from a copy it waits for.
constexpr int kCopyPumpMs = 40;

// The outcome of a copy that could not be made: the code its making gave.
CopyOutcome NotMade(const PreparedResult& made) {
    CopyOutcome failed;
    failed.code = made.Code();
    return failed;
}

}  // namespace

void TransferEngine::HandleOneFile(const std::string& file, const std::string& counterpart,
                                   const ListEntry& entry, const DirectoryPair& pair) {
    PendingFile pending{file, counterpart, entry, std::make_shared<const DirectoryPair>(pair)};
    pending.order = std::make_shared<PublishOrder>();
    if (DecideFile(pending, nullptr, nullptr)) {
        CopyPool inlineCopy(1);
        StartCopy(pending, inlineCopy);
        FinishInOrder(pending);
    }
}

void TransferEngine::ShowFileLines(const PendingFile& p) {
    if (!sink_.ShowsProgressLines()) {
        return;
    }
    sink_.StatusDisplay(1, "File:     " + p.entry.name + " (" + FormatSize(p.entry.size) + ")");
    sink_.StatusDisplay(3, "Total:    " + FormatSize(p.total));
}

uint32_t TransferEngine::WalkedAttributes(const PendingFile& p) {
    if (!p.entry.attrUnread) {
        return p.entry.attr;
    }
    const int32_t read = files_->GetAttributes(p.file);
    return read == -1 ? p.entry.attr : static_cast<uint32_t>(read);
}

bool TransferEngine::DecideFile(PendingFile& p, const NameSet* counterparts,
                                std::deque<PendingFile>* waiting) {
    if (run_.RunState == kRunStateAbort) {
        return false;
    }
    run_.TotalBytes += p.entry.size;
    p.total = run_.TotalBytes;

    // The decision; every option is read at the moment it is needed. The counterpart is looked
    // at once, and not at all where the listing of its directory does not hold its name: each
    // look is a file-system call, a round trip on a network volume. What both sides were when
    // decided is kept: a move later deletes only what it decided on.
    if (counterparts == nullptr || counterparts->count(p.entry.name) != 0) {
        files_->StatEntry(p.counterpart, p.counterpartStat);
    }
    // The walk's listing already holds the file's facts; an entry from elsewhere is read.
    p.walked = p.entry;
    if (p.entry.kind == EntryKind::Missing) {
        files_->StatEntry(p.file, p.walked);
    }
    const EntryStat& counterpart = p.counterpartStat;
    const bool exists = counterpart.age != -1;
    p.counterpartSeen = counterpart.kind != EntryKind::Missing;
    bool copy = !exists || options_.cbAllowed(OverwriteAlways);
    if (!copy && options_.cbAllowed(OverwriteOlderFiles)) {
        // Strictly newer only: equal ages (two-second resolution) leave the counterpart alone.
        copy = AgeOrder(p.walked.age) > AgeOrder(counterpart.age);
    }
    if (copy && options_.cbAllowed(OnlyFilesWithArchiveBit)) {
        copy = (WalkedAttributes(p) & Attr::Archive) != 0;
    }
    if (copy && exists && options_.cbAllowed(ConfirmOverwrites)) {
        // The question comes after everything before this file has been reported, with this
        // file's lines showing, exactly as one file after another would have it; a stop answered
        // meanwhile means this file is never reached.
        if (waiting != nullptr) {
            FinishAll(*waiting);
            if (run_.RunState == kRunStateAbort) {
                run_.TotalBytes -= p.entry.size;
                return false;
            }
        }
        ShowFileLines(p);
        p.shown = true;
        OverwriteFacts facts;
        facts.newSize = p.entry.size;
        facts.newTime = p.entry.kind == EntryKind::Missing ? -1 : p.entry.mtimeSec;
        facts.oldSize = counterpart.size;
        facts.oldTime = counterpart.mtimeSec;
        copy = dialogs_.AskOverwrite("Overwrite " + p.counterpart + "?", facts, Btn::YesNo) ==
               Answer::Yes;
    }
    p.copy = copy;
    // Between two volumes of one NetWare connection the server copies the file itself. The
    // second pass looks no pairs up, so there the two roots' connection decides.
    p.serverCopy = p.pair->SameConnection;
    // A file whose report can ask nothing of the operator cannot stop the run: the files after
    // it need not wait for its report to be put in place. The move deletion and the NetWare
    // steps can ask, and so can a server copy or a failed copy.
    const bool netwareSteps =
        !run_.SecondPass && p.pair->BothNetWare &&
        (options_.cbAllowed(KeepOwner) || options_.cbAllowed(KeepFileTrustees));
    p.settlesEarly = !options_.cbAllowed(MoveFiles) && !netwareSteps && !p.serverCopy;
    if (!p.copy && p.settlesEarly && run_.RunState != kRunStateAbort && p.order) {
        p.order->Settle(p.k);
    }
    return true;
}

void TransferEngine::StartCopy(PendingFile& p, CopyPool& pool) {
    // The server copy goes through the NetWare client, which is asked from one thread only;
    // it runs when the file is reported.
    if (!p.copy || p.serverCopy) {
        return;
    }
    // The whole copy runs on a worker, its publication in walk order; the walk's thread only
    // reports it.
    // A run of copies stays in one directory: on a local disk, creating and renaming in one
    // directory take its lock, so workers do best each in a directory of its own.
    if (jobsPool_ != &pool || jobsOrder_ != p.order || gatheredDirectory_ != directoryNumber_) {
        SubmitJobs();
        jobsPool_ = &pool;
        jobsOrder_ = p.order;
        gatheredDirectory_ = directoryNumber_;
    }
    if (!gathered_) {
        gathered_ = std::make_shared<CopyRun>();
    }
    CopyJob& job = gathered_->emplace_back();
    job.source = p.file;
    job.target = p.copyTarget.empty() ? p.counterpart : p.copyTarget;
    job.targetAbsent = !p.counterpartSeen;
    job.k = p.k;
    job.settles = p.settlesEarly;
    // Only a move relies on the copy's facts: they cost a look at every copy.
    job.factsWanted = options_.cbAllowed(MoveFiles);
    job.written = p.written;
    p.run = gathered_;
    p.job = gathered_->size() - 1;
    if (pool.Inline()) {
        SubmitJobs(p.entry.size >= kLargeCopyBytes);
    } else if (gathered_->size() >= jobsPerTask_) {
        SubmitJobs();
    }
}

void TransferEngine::SubmitJobs(bool large) {
    if (!gathered_) {
        return;
    }
    std::shared_ptr<CopyRun> jobs = std::move(gathered_);
    gathered_.reset();
    FileServices* files = files_;
    const std::shared_ptr<PublishOrder> order = jobsOrder_;
    std::vector<uint64_t> handed;
    handed.reserve(jobs->size());
    for (const CopyJob& job : *jobs) {
        handed.push_back(job.k);
    }
    order->Handed(handed);
    jobsPool_->Post(
        [files, jobs, order] {
            try {
                RunCopyJobs(*files, jobs, order);
            } catch (...) {
                DeliverRemaining(*jobs, *order);
            }
        },
        large);
}

void TransferEngine::DeliverRemaining(CopyRun& jobs, PublishOrder& order) {
    // A copy that failed in an unforeseen way is a failed copy; no job goes unanswered.
    for (CopyJob& job : jobs) {
        if (!job.delivered.load(std::memory_order_acquire)) {
            job.outcome = CopyOutcome();
            job.delivered.store(true, std::memory_order_release);
            order.Delivered(job.k, true);
        }
    }
    order.RunEnded();
}

struct TransferEngine::MadeCopies {
    FileServices* files = nullptr;
    std::shared_ptr<CopyRun> jobs;
    std::shared_ptr<PublishOrder> order;
    std::vector<PreparedResult> made;
    std::deque<size_t> ready;  // made, waiting for their turn, in walk order

    void Deliver(size_t i, CopyOutcome outcome) {
        CopyJob& job = (*jobs)[i];
        job.outcome = std::move(outcome);
        job.delivered.store(true, std::memory_order_release);
        order->Delivered(job.k, job.SettledByWalk());
    }
    // Puts copy `i` in place once its turn has come (at once where it has).
    void Publish(size_t i) {
        CopyJob& job = (*jobs)[i];
        CopyOutcome outcome;
        if (!order->WaitTurn(job.k)) {
            made[i].copy.reset();  // the run stopped first: the copy goes unpublished
        } else {
            outcome = PublishMade(*files, made[i]);
            if (outcome.published && job.settles) {
                order->Settle(job.k);
            }
        }
        Deliver(i, std::move(outcome));
    }
    // Puts in place the copies whose turn has come; false where one waits for its turn.
    bool PublishDue() {
        while (!ready.empty()) {
            if (!order->IsTurn((*jobs)[ready.front()].k)) {
                return false;
            }
            Publish(ready.front());
            ready.pop_front();
        }
        return true;
    }
};

void TransferEngine::RunCopyJobs(FileServices& files, const std::shared_ptr<CopyRun>& jobs,
                                 const std::shared_ptr<PublishOrder>& order) {
    auto made = std::make_shared<MadeCopies>();
    made->files = &files;
    made->jobs = jobs;
    made->order = order;
    made->made.resize(jobs->size());
    for (size_t i = 0; i < jobs->size(); ++i) {
        CopyJob& job = (*jobs)[i];
        {
            const CopyProgressScope progress(job.written.get());
            made->made[i] =
                PrepareShellCopy(files, job.source, job.target, job.targetAbsent, job.factsWanted);
        }
        if (!made->made[i].copy) {
            // Reported, and settled, by the walk's thread.
            made->Deliver(i, NotMade(made->made[i]));
        } else {
            made->ready.push_back(i);
        }
        made->PublishDue();
    }
    PublishWhenDue(made);
}

void TransferEngine::PublishWhenDue(const std::shared_ptr<MadeCopies>& made) {
    if (made->PublishDue()) {
        made->order->RunEnded();
        return;
    }
    if (!made->order->Defers()) {
        for (const size_t i : made->ready) {
            made->Publish(i);
        }
        made->ready.clear();
        made->order->RunEnded();
        return;
    }
    // The worker goes on to other copies; these are put in place by whichever worker is free
    // once the first of them has its turn (or dropped, once the run is stopped).
    made->order->RunEnded();
    const uint64_t k = (*made->jobs)[made->ready.front()].k;
    made->order->Defer(k, [made] {
        try {
            PublishWhenDue(made);
        } catch (...) {
            made->ready.clear();
            DeliverRemaining(*made->jobs, *made->order);
        }
    });
}

CopyOutcome TransferEngine::MakeAndPublish(FileServices& files, const std::string& source,
                                           const std::string& target, bool targetAbsent,
                                           bool factsWanted) {
    PreparedResult made = PrepareShellCopy(files, source, target, targetAbsent, factsWanted);
    return made.copy ? PublishMade(files, made) : NotMade(made);
}

CopyOutcome TransferEngine::PublishMade(FileServices& files, PreparedResult& made) {
    CopyOutcome outcome;
    outcome.facts.source = made.copy->source;
    try {
        outcome.code = files.PublishCopy(std::move(made.copy), outcome.facts.copy);
    } catch (...) {
        outcome.code = kUnforeseenCopyFailure;
    }
    outcome.published = outcome.code == 0;
    return outcome;
}

void TransferEngine::FinishFile(PendingFile& p, bool moveSource) {
    // The status line is made only where it is shown.
    const bool showLines = sink_.ShowsProgressLines();
    const auto status = [&](const char* text) {
        if (showLines) {
            sink_.StatusDisplay(2, std::string("Status:   ") + text);
        }
    };
    if (!p.shown) {
        ShowFileLines(p);
    }
    bool copied = false;
    if (p.copy) {
        status("Copying");
        ServerCopyResult server;
        if (p.serverCopy) {
            server =
                netware_.NetWareCopyFile(*files_, p.file, p.counterpart, p.entry.size, &p.facts);
            run_.LastErrorCode = server.code;
        } else {
            run_.LastErrorCode = ShownCode(PublishShellCopy(p));
        }
        copied = run_.LastErrorCode == 0;
        std::string failure;
        if (copied) {
            ++run_.Counts.FilesCopied;
            run_.Counts.BytesCopied += p.entry.size;
            if (p.staged) {
                p.staged->names.push_back(p.entry.name);
                p.staged->bytes += p.entry.size;
            }
        } else {
            ++run_.Counts.FilesFailed;
            // A server copy's code is described from its own table (the client's words for the
            // server's codes); the system's codes of a plain copy are described by the front end.
            const std::string text = CopyFailureText(p, run_.LastErrorCode);
            const std::string serverWords =
                p.serverCopy ? netware_.ServerCopyErrorDetail(server) : std::string();
            run_.RunState = static_cast<int16_t>(dialogs_.ShowDescribedError(
                DialogKind::Error, run_.LastErrorCode, text, serverWords, Btn::AbortIgnore));
            failure = FailureLine(run_.LastErrorCode, text, serverWords);
        }
        run_.Counts.BytesDone += p.entry.size;
        const std::string x = copied ? "" : "not ";
        status(copied ? "copied" : "not copied");
        sink_.StatusInfo("   " + p.entry.name + " " + x + "copied");
        // The reason stays in the list, below the line of the file it belongs to.
        if (!copied) {
            sink_.StatusInfo(failure);
        }
        // The walked file's own archive bit, and only once its copy is safe: in a staged
        // directory, once the directory stands in place.
        if (copied && options_.cbAllowed(ClearArchiveBit)) {
            const uint32_t cleared = WalkedAttributes(p) & ~Attr::Archive;
            if (p.staged) {
                p.staged->archiveCleared.emplace_back(p.file, cleared);
            } else {
                files_->SetAttributes(p.file, cleared);
            }
        }
    } else {
        ++run_.Counts.FilesSkipped;
        run_.Counts.BytesDone += p.entry.size;
        status("skipped");
        sink_.StatusInfo("   " + p.entry.name + " skipped");
    }

    // Owner and file trustees, for copied and skipped files alike. Only the first pass knows the
    // locations of the directory pair; the second would write onto the wrong files.
    const DirectoryPair& pair = *p.pair;
    if (!run_.SecondPass && pair.BothNetWare &&
        (options_.cbAllowed(KeepOwner) || options_.cbAllowed(KeepFileTrustees))) {
        const std::string source = pair.PathInfo[kSource].NetWarePath + "\\" + p.entry.name;
        const std::string target = pair.PathInfo[kTarget].NetWarePath + "\\" + p.entry.name;
        if (options_.cbAllowed(KeepOwner)) {
            netware_.CopyOwner(pair, source, target);
        }
        if (options_.cbAllowed(KeepFileTrustees)) {
            netware_.CopyTrustees(pair, source, target);
        }
        ShowNetWareNotes();
    }

    if (moveSource && options_.cbAllowed(MoveFiles)) {
        const int64_t keptBefore = run_.Counts.MovesFailed;
        MoveSource(p, copied);
        // Each file counts once: a move that had to keep its source failed, whether its copy
        // was made now or the other tree already held one.
        if (run_.Counts.MovesFailed > keptBefore) {
            --(p.copy ? run_.Counts.FilesCopied : run_.Counts.FilesSkipped);
        }
    }
}

void TransferEngine::FinishInOrder(PendingFile& p) {
    if (p.step) {
        p.step();
    } else {
        FinishFile(p);
    }
    if (p.order) {
        // A stop answered in this report reaches the workers before the files after it are
        // let through.
        if (run_.RunState == kRunStateAbort) {
            p.order->Stop();
        }
        p.order->Settle(p.k);
    }
}

void TransferEngine::TakeOutcome(PendingFile& p, bool pump) {
    if (p.outcomeTaken || !p.run) {
        return;
    }
    if (p.run == gathered_) {
        SubmitJobs();  // the file's job is still gathered
    }
    const CopyRun& run = *p.run;
    const auto delivered = [&run](size_t i) {
        return run[i].delivered.load(std::memory_order_acquire);
    };
    // Most files are reported after their run is through: what is delivered is taken at once,
    // without a look at the rest of the run.
    if (delivered(p.job)) {
        p.taken = run[p.job].outcome;
        p.outcomeTaken = true;
        return;
    }
    // The walk's thread sleeps until the file's run is through, or until something in it needs
    // this thread (a failure to report, a file it settles, a worker waiting for a turn): the
    // files up to there are then reported together.
    const auto enough = [&](bool workerWaits) {
        if (!delivered(p.job)) {
            return false;
        }
        for (size_t i = p.job; i < run.size(); ++i) {
            if (!delivered(i)) {
                return workerWaits;
            }
            if (run[i].SettledByWalk()) {
                return true;
            }
        }
        return true;
    };
    // A long copy lets the window follow it and the operator ask for the stop.
    while (!p.order->AwaitOutcomes(run.back().k, enough, std::chrono::milliseconds(kCopyPumpMs))) {
        if (pump) {
            sink_.PumpMessages();
        }
    }
    p.taken = run[p.job].outcome;
    p.outcomeTaken = true;
}

int32_t TransferEngine::PublishShellCopy(PendingFile& p) {
    TakeOutcome(p, true);
    if (!p.outcomeTaken) {
        // No worker had the file: made and put in place here, where its turn has come.
        p.taken =
            MakeAndPublish(*files_, p.file, p.copyTarget.empty() ? p.counterpart : p.copyTarget,
                           !p.counterpartSeen, options_.cbAllowed(MoveFiles));
        p.outcomeTaken = true;
    }
    p.facts = p.taken.facts;
    return p.taken.code;
}

void TransferEngine::FinishAll(std::deque<PendingFile>& waiting) {
    while (!waiting.empty()) {
        if (run_.RunState == kRunStateAbort) {
            DiscardAll(waiting);
            return;
        }
        FinishInOrder(waiting.front());
        waiting.pop_front();
    }
}

std::string TransferEngine::CopyFailureText(const PendingFile& p, int32_t result) {
    if (p.serverCopy) {
        return "Could not copy " + p.counterpart;
    }
    switch (result) {
        case WinErr::DiskFull:
        case WinErr::DiskQuotaExceeded:
        case WinErr::WriteProtect:
            return "Could not write " + p.counterpart;  // only the target's side gives these
        case WinErr::AccessDenied:
        case WinErr::FileNotFound:
        case WinErr::PathNotFound:
        case WinErr::FilenameTooLong:
        case WinErr::CantResolveFilename:
            break;  // either side: the source is looked at once more
        default:
            return "Could not copy " + p.counterpart;  // a read error, a changed source, ...
    }
    EntryStat source;
    bool readable = files_->StatEntry(p.file, source) == 0 && source.kind == EntryKind::Link;
    if (source.kind == EntryKind::File) {
        OpenFiles& open = files_->OpenFileAccess();
        const FileHandle in = open.OpenRead(p.file);
        readable = in != kInvalidFileHandle;
        if (readable) {
            open.CloseFile(in);
        }
    }
    return readable ? "Could not write " + p.counterpart : "Could not read the source " + p.file;
}

int64_t TransferEngine::BytesInFlight() const {
    int64_t written = 0;
    for (const PendingFile& p : queue_) {
        written += p.written->load(std::memory_order_relaxed);
    }
    return written;
}

void TransferEngine::DiscardAll(std::deque<PendingFile>& waiting) {
    if (waiting.empty()) {
        return;
    }
    // After a stop the files decided ahead were never reached: copies not yet in place are
    // dropped unpublished (which removes them) and their sizes leave the total again, so that
    // what is shown and left behind is what one copy at a time would have left. A copy a
    // worker put in place before the stop reached it is the target's now, and is reported
    // (its source stays, in a move), with the files and the lines before it; a step that
    // could ask the operator is not taken any more.
    for (PendingFile& p : waiting) {
        if (p.order) {
            p.order->Stop();
        }
    }
    SubmitJobs();  // dropped by their worker, the run being stopped
    size_t reported = 0;
    for (size_t i = 0; i < waiting.size(); ++i) {
        TakeOutcome(waiting[i], false);
        if (waiting[i].outcomeTaken && waiting[i].taken.published) {
            reported = i + 1;
        }
    }
    for (size_t i = 0; i < waiting.size(); ++i) {
        if (!waiting[i].step) {
            if (i < reported) {
                FinishFile(waiting[i], false);
            }
        } else if ((i < reported && !waiting[i].mayStop) || waiting[i].afterStop) {
            waiting[i].step();
        }
    }
    for (size_t i = reported; i < waiting.size(); ++i) {
        if (!waiting[i].step) {
            run_.TotalBytes = waiting[i].total - waiting[i].entry.size;
            break;
        }
    }
    waiting.clear();
}

bool TransferEngine::CounterpartHoldsFile(const EntryStat& walked, const EntryStat& held) {
    // Only an entry of the same kind can stand for the file: a link's own time says nothing
    // about a file's data, nor a FIFO's or a device's. The file itself, reached through another
    // name or mount, is no copy of it at all.
    const bool sameKind =
        held.kind == walked.kind && (held.kind == EntryKind::File || held.kind == EntryKind::Link);
    if (!sameKind || held.SameEntryAs(walked)) {
        return false;
    }
    if (AgeOrder(held.age) < AgeOrder(walked.age)) {
        return false;
    }
    // Equal ages within two seconds prove nothing about the contents where the sizes differ.
    return held.age != walked.age || held.size == walked.size;
}

void TransferEngine::MoveSource(PendingFile& p, bool copied) {
    // The file goes only when its data is safe on the other side: this call copied it, or,
    // where no copy was tried, the other tree holds a copy at least as new. A copy that was
    // tried and failed never lets the file go, whatever stands on the other side.
    MoveBasis basis;
    basis.counterpart = p.counterpart;
    basis.copied = p.copy;
    if (p.copy) {
        if (!copied) {
            return;
        }
        basis.source = p.facts.source;
        basis.held = p.facts.copy;
    } else {
        if (!CounterpartHoldsFile(p.walked, p.counterpartStat)) {
            return;
        }
        // A counterpart that may be this very file seen another way (an overlay over the
        // source, a network mount of it, a user-space view) holds nothing of its own: only a
        // copy this run made and put in place lets the source go.
        if (!files_->SeparateFiles(p.file, p.walked, p.counterpart, p.counterpartStat)) {
            sink_.StatusDisplay(2, "Status:   Can't delete source");
            ReportFailedMove(p.file, p.counterpart + " may be this same file seen another way");
            return;
        }
        basis.source = p.walked;
        basis.held = p.counterpartStat;
    }
    DeleteOneFile(p.file, basis);
}

void TransferEngine::ReportFailedMove(const std::string& file, const std::string& reason) {
    ++run_.Counts.MovesFailed;
    const std::string text = "Could not move " + file + ": " + reason;
    run_.RunState = static_cast<int16_t>(
        ShowErrorCode(dialogs_, DialogKind::Error, ErrMoveRefused, text, Btn::AbortIgnore));
    // The reason stays in the list, below the line of the file it belongs to.
    sink_.StatusInfo(FailureLine(ErrMoveRefused, text));
}

void TransferEngine::DeleteOneFile(const std::string& file, const MoveBasis& basis) {
    bool mayDelete = true;
    const int32_t attributes = files_->GetAttributes(file);
    // Attributes that cannot be read count as all bits set, so such a file is treated as
    // read-only.
    const uint32_t bits = attributes == -1 ? 0xFFFFFFFFu : static_cast<uint32_t>(attributes);
    const bool readOnly = (bits & Attr::ReadOnly) != 0;
    if (readOnly) {
        mayDelete = options_.cbAllowed(OverwriteReadOnly);
    }
    if (!mayDelete) {
        return;
    }

    // The deletion goes by identity, not by name. The entry is first set aside under a reserved
    // name, out of every other program's way (an editor saving under the name, another run);
    // then both sides are confirmed: the entry is still the one copied or compared, and the
    // counterpart relied on still stands. Any doubt puts the entry back and reports the file.
    std::string aside;
    const int setAside = files_->SetAside(file, aside);
    if (setAside == WinErr::FileNotFound || setAside == WinErr::PathNotFound) {
        sink_.StatusDisplay(2, "Status:   Can't delete source");
        ReportFailedMove(file, "it is no longer there");
        return;
    }
    if (setAside != 0) {
        sink_.StatusDisplay(2, "Status:   Can't delete source");
        NoteSourceKept(file, setAside);
        return;
    }
    EntryStat now, held;
    std::string doubt;
    if (files_->StatEntry(aside, now) != 0 || !SameFacts(now, basis.source)) {
        doubt = basis.copied ? "it was changed or replaced after it was copied"
                             : "it was changed or replaced after it was compared";
    } else if (files_->StatEntry(basis.counterpart, held) != 0 || !SameFacts(held, basis.held)) {
        doubt = basis.counterpart + " was changed, replaced or removed meanwhile";
    }
    if (doubt.empty() && readOnly) {
        files_->SetAttributes(aside, 0);
    }
    const int deleted = doubt.empty() ? files_->DeleteFile(aside) : 0;
    if (doubt.empty() && deleted == 0) {
        sink_.StatusDisplay(2, "Status:   Moved");
        return;
    }
    sink_.StatusDisplay(2, "Status:   Can't delete source");
    if (files_->PutBack(aside, file) != 0) {
        // Something took the name meanwhile: the file stays under its set-aside name, which
        // the next run that lists this directory puts back.
        ReportFailedMove(
            file, (doubt.empty() ? "it could not be deleted" : doubt) + "; it is kept as " + aside);
        return;
    }
    if (!doubt.empty()) {
        ReportFailedMove(file, doubt);
    } else {
        NoteSourceKept(file, deleted);
    }
}

void TransferEngine::NoteSourceKept(const std::string& file, int code) {
    // A source the system would not let go is still whole where it was, so no question is
    // asked; but the move is not done, and the summary and the exit status must say so.
    ++run_.Counts.MovesFailed;
    sink_.StatusInfo(FailureLine(code, "Could not delete the moved source " + file));
}

}  // namespace ferrit
