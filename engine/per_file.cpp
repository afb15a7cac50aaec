// The per-file decision: copy, skip or overwrite one listed file, and the move deletion.
#include <chrono>
#include <string>

#include "engine/run_summary.h"
#include "engine/transfer_engine.h"
#include "platform/copy_progress.h"
#include "platform/error_codes.h"
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

}  // namespace

void TransferEngine::HandleOneFile(const std::string& file, const std::string& counterpart,
                                   const ListEntry& entry) {
    PendingFile pending{file, counterpart, entry};
    if (DecideFile(pending, nullptr, nullptr)) {
        FinishFile(pending);
    }
}

void TransferEngine::ShowFileLines(const PendingFile& p) {
    sink_.StatusDisplay(1, "File:     " + p.entry.name + " (" + FormatSize(p.entry.size) + ")");
    sink_.StatusDisplay(3, "Total:    " + FormatSize(p.total));
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
    // look is a file-system call, a round trip on a network volume.
    EntryStat counterpart;
    if (counterparts == nullptr || counterparts->count(p.entry.name) != 0) {
        files_.StatEntry(p.counterpart, counterpart);
    }
    const bool exists = counterpart.age != -1;
    p.counterpartSeen = counterpart.kind != EntryKind::Missing;
    bool copy = !exists || options_.cbAllowed(OverwriteAlways);
    if (!copy && options_.cbAllowed(OverwriteOlderFiles)) {
        // Strictly newer only: equal ages (two-second resolution) leave the counterpart alone.
        // The walk's listing already holds the file's age; an entry from elsewhere is read.
        const int32_t age =
            p.entry.kind == EntryKind::Missing ? files_.FileAge(p.file) : p.entry.age;
        copy = AgeOrder(age) > AgeOrder(counterpart.age);
    }
    if (copy && options_.cbAllowed(OnlyFilesWithArchiveBit)) {
        copy = (p.entry.attr & Attr::Archive) != 0;
    }
    if (copy && exists && options_.cbAllowed(ConfirmOverwrites)) {
        // The question comes after everything before this file has been reported, with this
        // file's lines showing, exactly as one file after another would have it.
        if (waiting != nullptr) {
            FinishAll(*waiting);
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
    // second pass refreshes no locations, so there the two roots' connection decides.
    p.serverCopy = run_.SecondPass ? rootsSameConnection_ : netware_.State().SameConnection;
    return true;
}

void TransferEngine::StartCopy(PendingFile& p, CopyPool& pool) {
    // The server copy goes through the NetWare client, which is asked from one thread only;
    // it runs when the file is reported.
    if (!p.copy || p.serverCopy) {
        return;
    }
    const std::string file = p.file;
    const std::string counterpart = p.counterpart;
    const bool absent = !p.counterpartSeen;
    const std::shared_ptr<std::atomic<int64_t>> written = p.written;
    p.result = pool.Submit([this, file, counterpart, absent, written] {
        const CopyProgressScope progress(written.get());
        return ShellCopyFile(file, counterpart, absent);
    });
}

void TransferEngine::FinishFile(PendingFile& p) {
    if (!p.shown) {
        ShowFileLines(p);
    }
    bool copied = false;
    if (p.copy) {
        sink_.StatusDisplay(2, "Status:   Copying");
        if (p.serverCopy) {
            run_.LastErrorCode = netware_.NetWareCopyFile(p.file, p.counterpart, p.entry.size);
        } else if (p.result.valid()) {
            int32_t result = -1;
            try {
                // A long copy lets the window follow it and the operator ask for the stop.
                while (p.result.wait_for(std::chrono::milliseconds(kCopyPumpMs)) !=
                       std::future_status::ready) {
                    sink_.PumpMessages();
                }
                result = p.result.get();
            } catch (...) {
                result = -1;  // a copy that failed in an unforeseen way is a failed copy
            }
            run_.LastErrorCode = CopyResultCode(result);
        } else {
            run_.LastErrorCode = CopyResultCode(ShellCopyFile(p.file, p.counterpart));
        }
        copied = run_.LastErrorCode == 0;
        std::string failure;
        if (copied) {
            ++run_.Counts.FilesCopied;
            run_.Counts.BytesCopied += p.entry.size;
        } else {
            ++run_.Counts.FilesFailed;
            // A server's own code is described in the server's words, as the system's codes of
            // a plain copy are by the front end.
            const std::string text = CopyFailureText(p, run_.LastErrorCode);
            const std::string serverWords =
                p.serverCopy && ErrorDescription(run_.LastErrorCode).empty()
                    ? netware_.NetWareErrorDetail(run_.LastErrorCode)
                    : std::string();
            run_.RunState = static_cast<int16_t>(dialogs_.ShowDescribedError(
                DialogKind::Error, run_.LastErrorCode, text, serverWords, Btn::AbortIgnore));
            failure = FailureLine(run_.LastErrorCode, text, serverWords);
        }
        run_.Counts.BytesDone += p.entry.size;
        const std::string x = copied ? "" : "not ";
        sink_.StatusDisplay(2, "Status:   " + x + "copied");
        sink_.StatusInfo("   " + p.entry.name + " " + x + "copied");
        // The reason stays in the list, below the line of the file it belongs to.
        if (!copied) {
            sink_.StatusInfo(failure);
        }
        // The walked file's own archive bit, and only once its copy is safe.
        if (copied && options_.cbAllowed(ClearArchiveBit)) {
            files_.SetAttributes(p.file, p.entry.attr & ~Attr::Archive);
        }
    } else {
        ++run_.Counts.FilesSkipped;
        run_.Counts.BytesDone += p.entry.size;
        sink_.StatusDisplay(2, "Status:   skipped");
        sink_.StatusInfo("   " + p.entry.name + " skipped");
    }

    // Owner and file trustees, for copied and skipped files alike. Only the first pass knows the
    // locations of the directory pair; the second would write onto the wrong files.
    if (!run_.SecondPass && netware_.State().BothNetWare &&
        (options_.cbAllowed(KeepOwner) || options_.cbAllowed(KeepFileTrustees))) {
        const LocationState& locations = netware_.State();
        const std::string source = locations.PathInfo[kSource].NetWarePath + "\\" + p.entry.name;
        const std::string target = locations.PathInfo[kTarget].NetWarePath + "\\" + p.entry.name;
        if (options_.cbAllowed(KeepOwner)) {
            netware_.CopyOwner(source, target);
        }
        if (options_.cbAllowed(KeepFileTrustees)) {
            netware_.CopyTrustees(source, target);
        }
        ShowNetWareNotes();
    }

    // Move mode: the file goes only when its data is safe on the other side: this call copied
    // it, or, where no copy was tried, the other tree holds a copy at least as new. A copy that
    // was tried and failed never lets the file go, whatever stands on the other side.
    if (options_.cbAllowed(MoveFiles)) {
        if (p.copy ? copied : CounterpartHoldsFile(p.file, p.counterpart)) {
            DeleteOneFile(p.file);
        }
    }
}

void TransferEngine::FinishAll(std::deque<PendingFile>& waiting) {
    while (!waiting.empty()) {
        FinishFile(waiting.front());
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
    bool readable = files_.StatEntry(p.file, source) == 0 && source.kind == EntryKind::Link;
    if (source.kind == EntryKind::File) {
        const FileHandle in = files_.OpenRead(p.file);
        readable = in != kInvalidFileHandle;
        if (readable) {
            files_.CloseFile(in);
        }
    }
    return readable ? "Could not write " + p.counterpart : "Could not read the source " + p.file;
}

int64_t TransferEngine::BytesInFlight() const {
    int64_t written = 0;
    if (waiting_ != nullptr) {
        for (const PendingFile& p : *waiting_) {
            written += p.written->load(std::memory_order_relaxed);
        }
    }
    return written;
}

bool TransferEngine::CounterpartHoldsFile(const std::string& file, const std::string& counterpart) {
    EntryStat held, walked;
    if (files_.StatEntry(counterpart, held) != 0 || files_.StatEntry(file, walked) != 0) {
        return false;
    }
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

void TransferEngine::DeleteOneFile(const std::string& file) {
    bool mayDelete = true;
    const int32_t attributes = files_.GetAttributes(file);
    // Attributes that cannot be read count as all bits set, so such a file is treated as
    // read-only.
    const uint32_t bits = attributes == -1 ? 0xFFFFFFFFu : static_cast<uint32_t>(attributes);
    if ((bits & Attr::ReadOnly) != 0) {
        mayDelete = options_.cbAllowed(OverwriteReadOnly);
        if (mayDelete) {
            files_.SetAttributes(file, 0);
        }
    }
    if (mayDelete) {
        if (files_.DeleteFile(file) == 0) {
            sink_.StatusDisplay(2, "Status:   Moved");
        } else {
            sink_.StatusDisplay(2, "Status:   Can't delete source");
        }
    }
}

}  // namespace ferrit
