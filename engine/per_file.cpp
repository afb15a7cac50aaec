// The per-file decision: copy, skip or overwrite one listed file, and the move deletion.
#include <string>

#include "engine/transfer_engine.h"
#include "support/format_size.h"

namespace ferrit {

namespace {

// A file age as an ordered value. Packed DOS date-times from 2044 on have the top bit set, so a
// signed comparison would rank them below every older file and even below a missing file (-1),
// and move mode would then delete a source that was never copied. Missing stays lowest.
int64_t AgeOrder(int32_t age) {
    return age == -1 ? -1 : static_cast<int64_t>(static_cast<uint32_t>(age));
}

}  // namespace

void TransferEngine::HandleOneFile(const std::string& file, const std::string& counterpart,
                                   const ListEntry& entry) {
    if (run_.RunState == kRunStateAbort) {
        return;
    }
    run_.TotalBytes += entry.size;
    sink_.StatusDisplay(1, "File:     " + entry.name + " (" + FormatSize(entry.size) + ")");
    sink_.StatusDisplay(3, "Total:    " + FormatSize(run_.TotalBytes));

    // The decision; every option is read at the moment it is needed.
    // The counterpart's age is read once: each read is a file-system call, and skipping
    // up-to-date trees is dominated by them.
    const int32_t counterpartAge = files_.FileAge(counterpart);
    const bool exists = counterpartAge != -1;
    bool copy = !exists || options_.cbAllowed(OverwriteAlways);
    if (!copy) {
        // Strictly newer only: equal ages (two-second resolution) leave the counterpart alone.
        copy = options_.cbAllowed(OverwriteOlderFiles) &&
               AgeOrder(files_.FileAge(file)) > AgeOrder(counterpartAge);
    }
    if (copy && options_.cbAllowed(OnlyFilesWithArchiveBit)) {
        copy = (entry.attr & Attr::Archive) != 0;
    }
    if (copy && exists && options_.cbAllowed(ConfirmOverwrites)) {
        copy = dialogs_.Show(DialogKind::Confirmation, "Overwrite " + counterpart + "?",
                             Btn::YesNo) == Answer::Yes;
    }

    bool copied = false;
    if (copy) {
        sink_.StatusDisplay(2, "Status:   Copying");
        // Between two volumes of one NetWare connection the server copies the file itself. The
        // second pass refreshes no locations, so there the two roots' connection decides.
        const bool sameConnection =
            run_.SecondPass ? rootsSameConnection_ : netware_.State().SameConnection;
        run_.LastErrorCode = sameConnection
                                 ? netware_.NetWareCopyFile(file, counterpart, entry.size)
                                 : CopyResultCode(ShellCopyFile(file, counterpart));
        copied = run_.LastErrorCode == 0;
        if (!copied) {
            run_.RunState = static_cast<int16_t>(
                ShowErrorCode(dialogs_, DialogKind::Error, run_.LastErrorCode,
                              "Could not copy " + counterpart, Btn::AbortIgnore));
        }
        const std::string x = copied ? "" : "not ";
        sink_.StatusDisplay(2, "Status:   " + x + "copied");
        sink_.StatusInfo("   " + entry.name + " " + x + "copied");
        // The walked file's own archive bit, and only once its copy is safe.
        if (copied && options_.cbAllowed(ClearArchiveBit)) {
            files_.SetAttributes(file, entry.attr & ~Attr::Archive);
        }
    } else {
        sink_.StatusDisplay(2, "Status:   skipped");
        sink_.StatusInfo("   " + entry.name + " skipped");
    }

    // Owner and file trustees, for copied and skipped files alike. Only the first pass knows the
    // locations of the directory pair; the second would write onto the wrong files.
    if (!run_.SecondPass && netware_.State().BothNetWare &&
        (options_.cbAllowed(KeepOwner) || options_.cbAllowed(KeepFileTrustees))) {
        const LocationState& locations = netware_.State();
        const std::string source = locations.PathInfo[kSource].NetWarePath + "\\" + entry.name;
        const std::string target = locations.PathInfo[kTarget].NetWarePath + "\\" + entry.name;
        if (options_.cbAllowed(KeepOwner)) {
            netware_.CopyOwner(source, target);
        }
        if (options_.cbAllowed(KeepFileTrustees)) {
            netware_.CopyTrustees(source, target);
        }
    }

    // Move mode: the file goes when the other tree now holds a copy at least as new.
    if (options_.cbAllowed(MoveFiles)) {
        if (AgeOrder(files_.FileAge(counterpart)) >= AgeOrder(files_.FileAge(file)) || copied) {
            DeleteOneFile(file);
        }
    }
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
