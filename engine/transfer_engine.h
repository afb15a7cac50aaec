// The transfer engine: the run, the tree walk, the per-file decision and the file copy.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "engine/copy_pool.h"
#include "engine/run_data.h"
#include "engine/status_sink.h"
#include "netware/netware_services.h"
#include "options/copy_options.h"
#include "platform/file_services.h"
#include "support/dialogs.h"

namespace ferrit {

// What a move deletion rests on: the source as it was copied or compared, and the counterpart
// that holds its data (this run's published copy, or the counterpart it was compared with).
struct MoveBasis {
    EntryStat source;
    std::string counterpart;
    EntryStat held;
    bool copied = false;  // the counterpart is this run's copy
};

// The code a run keeps for a copy that failed in a way the file services did not describe (they
// threw, or were asked for what this program never asks): no Windows number, shown as FFFF.
constexpr int32_t kUnforeseenCopyFailure = -1;

// A copy made whole on a worker, waiting to be put in place, or why it was not made.
struct PreparedResult {
    std::unique_ptr<PreparedCopy> copy;  // the copy; null when it was not made
    // The file services' Windows number when they refused the copy; none when it failed in an
    // unforeseen way (they threw, or said it was made and gave none).
    std::optional<int32_t> refused;

    // The code the run keeps: 0 for a copy made, else why not.
    int32_t Code() const { return copy ? 0 : refused.value_or(kUnforeseenCopyFailure); }
};

// What a worker did with one file: its copy made and, in walk order, put in place (or why not).
struct CopyOutcome {
    int32_t code = kUnforeseenCopyFailure;
    bool published = false;  // the copy stands at the target
    CopyFacts facts;         // what the copy rests on, once published
};

// What the Start button takes from the window: the three field texts.
struct RunRequest {
    std::string source;
    std::string target;
    std::string pattern;
};

class TransferEngine {
  public:
    TransferEngine(RunData& run, OptionSet& options, NetWareServices& netware, FileServices& files,
                   Dialogs& dialogs, StatusSink& sink);

    // One whole run, from the run data's reset to the finishing steps (the history entries are
    // the caller's). Returns false, doing nothing, when a run is already going on.
    bool ButtonStartClick(const RunRequest& request);
    // Requests the stop; it takes effect at the run's next test.
    void BitBtnAbortClick();
    bool Running() const { return running_; }
    // How many copies of separate files may run side by side (1: one after another; 0: chosen
    // by the target's file system at Start). What the operator sees is the same either way.
    void SetJobs(int jobs) { jobs_ = jobs < 0 ? 1 : jobs; }
    int Jobs() const { return jobs_; }
    // The count a run into the directory gets when none was asked for.
    int AutomaticJobs(const std::string& target);

    // The steps, callable one by one for tests.
    bool PathExists(const std::string& path);
    // One file of a directory whose pair is given (its NetWare facts choose the server copy and
    // the owner and trustee steps).
    void HandleOneFile(const std::string& file, const std::string& counterpart,
                       const ListEntry& entry, const DirectoryPair& pair = DirectoryPair());
    // Deletes the source of a move, honouring "OverWrite Read-Only", only while it is still the
    // entry the basis names and the counterpart still holds what the basis says.
    void DeleteOneFile(const std::string& file, const MoveBasis& basis);
    // Whether the counterpart stands for the file in move mode: an entry of the same kind, not
    // the file itself, at least as new, and of the same size where the ages are equal.
    static bool CounterpartHoldsFile(const EntryStat& walked, const EntryStat& held);
    // `targetAbsent`: nothing stood at the target when the file was decided (the copy then
    // needs no look at it first).
    int32_t ShellCopyFile(const std::string& source, const std::string& target,
                          bool targetAbsent = false);
    int32_t ShellFileOperation(const std::string& source, const std::string& target,
                               uint32_t operation, bool targetAbsent = false);
    // The first half of the shell copy, safe on a worker: the copy made whole beside its target
    // through the given file services, not yet in its place.
    // `factsWanted`: the copy's facts are to come with its publication (a move relies on them).
    static PreparedResult PrepareShellCopy(FileServices& files, const std::string& source,
                                           const std::string& target, bool targetAbsent,
                                           bool factsWanted);
    // One file's whole shell copy for a worker: made, then put in place once file `k` of the
    // walk order has its turn (never after a stop: the copy is then dropped), its outcome
    // settled at once when `settles` (nothing that follows the publication can stop the run).
    struct CopyJob {
        std::string source, target;
        bool targetAbsent = false;
        uint64_t k = 0;
        bool settles = false;
        bool factsWanted = true;  // the copy's facts come with its publication
        std::shared_ptr<std::atomic<int64_t>> written;  // the data written so far
        CopyOutcome outcome;                            // what became of the copy, once `delivered`
        std::atomic<bool> delivered{false};
        // Whether the walk's thread settles the outcome (a failure, or a file whose report may
        // still stop the run): a later copy of the walk order waits for that report.
        bool SettledByWalk() const { return !(settles && outcome.published); }
    };
    // A run of consecutive copy jobs for one worker, in walk order.
    using CopyRun = std::deque<CopyJob>;
    // Runs consecutive copy jobs on one worker: each copy is made, and put in place as soon as
    // its turn has come; each job's outcome is delivered as soon as it is known, so that a
    // failure is reported (and settled) while the later copies wait for their turn. Where the
    // order lets them (PublishOrder::Defers), the copies still waiting at the end wait without
    // the worker, which takes the next run meanwhile. Every job is delivered, whatever happens.
    static void RunCopyJobs(FileServices& files, const std::shared_ptr<CopyRun>& jobs,
                            const std::shared_ptr<PublishOrder>& order);
    // A made copy put in place, its turn already come.
    static CopyOutcome PublishMade(FileServices& files, PreparedResult& made);
    // One copy made and put in place at once, its turn already come.
    static CopyOutcome MakeAndPublish(FileServices& files, const std::string& source,
                                      const std::string& target, bool targetAbsent,
                                      bool factsWanted);
    // The data already written by the copies of files not reported yet (for the progress of a
    // large file). Read on the walk's thread, as the front end's pumps are.
    int64_t BytesInFlight() const;

  private:
    // A worker's made copies of one run, waiting for their turn in walk order.
    struct MadeCopies;
    // Puts in place, in walk order, the made copies whose turn has come; the rest wait for
    // theirs (without the worker where the order defers, else on it).
    static void PublishWhenDue(const std::shared_ptr<MadeCopies>& made);
    // Delivers every job of the run not delivered yet as a failed copy (an unforeseen failure).
    static void DeliverRemaining(CopyRun& jobs, PublishOrder& order);

    // One listed file between its decision and its report, or a step of the walk that takes
    // its place among the reports. Decisions are made in walk order, across directories; the
    // copy is made and put in place on a worker meanwhile, in walk order (PublishOrder); it is
    // reported, and followed by the archive bit, the NetWare steps and the move deletion in
    // walk order, on the walk's thread, after every file before it. At most as many files as
    // copies may be made side by side are decided ahead of the report; after a stop, those
    // not yet put in place are discarded unpublished, those already in place reported.
    // What a staged directory's reported copies leave to its publication: their names (taken
    // back again where it cannot be put in place), their bytes, and the source attributes
    // to clear once the copies stand in place.
    struct StagedFiles {
        std::vector<std::string> names;
        int64_t bytes = 0;
        std::vector<std::pair<std::string, uint32_t>> archiveCleared;
    };
    // Where a counterpart directory's files are written. One this run makes on a volume where
    // every call waits for a round trip is staged: filled under a temporary name in an
    // existing directory, and put in place in one rename once its files are reported.
    struct Landing {
        std::string staged;  // the staged directory, with a separator; empty: not staged
        std::string home;    // the existing directory the staged ones below are made in
        std::shared_ptr<StagedFiles> copied;  // of the staged directory
    };
    struct PendingFile {
        PendingFile(std::string f, std::string c, ListEntry e,
                    std::shared_ptr<const DirectoryPair> d)
            : file(std::move(f)),
              counterpart(std::move(c)),
              entry(std::move(e)),
              pair(std::move(d)) {}
        // A step of the walk: a directory's lines, a special file's line, the move's removal of
        // an emptied directory. It runs on the walk's thread when its turn comes; `mayStop`:
        // it can ask the operator, so nothing after it is put in place before it has run.
        PendingFile(std::function<void()> s, bool stops) : step(std::move(s)), mayStop(stops) {}
        std::string file, counterpart;
        // Where the copy is written, when not at the counterpart itself (a staged directory),
        // and what the directory's publication needs of it.
        std::string copyTarget;
        std::shared_ptr<StagedFiles> staged;
        ListEntry entry;
        std::shared_ptr<const DirectoryPair> pair;  // the directory's
        std::function<void()> step;
        bool mayStop = false;
        // The step still runs when the run is stopped before its turn (the move's removal of a
        // directory whose line was shown: one file after another would reach it on the way out).
        bool afterStop = false;
        int64_t total = 0;             // TotalBytes with this file counted
        bool copy = false;             // the decision
        bool serverCopy = false;       // copied on the NetWare server, when reported
        bool shown = false;            // progress lines 1 and 3 already written (before a question)
        bool counterpartSeen = false;  // something stood at the counterpart when decided
        EntryStat walked;              // the file when decided
        EntryStat counterpartStat;     // the counterpart when decided
        CopyFacts facts;               // the copy once made and put in place
        // Its place in the walk order of publication, and whether its outcome is settled as soon
        // as it is known (nothing after the copy can stop the run: no move, no NetWare steps).
        std::shared_ptr<PublishOrder> order;
        uint64_t k = 0;
        bool settlesEarly = false;
        // The copy made and put in place on a worker: job `job` of the run `run`.
        std::shared_ptr<CopyRun> run;
        size_t job = 0;
        bool outcomeTaken = false;  // `taken` holds what the worker did
        CopyOutcome taken;
        // The data the worker's copy has written so far.
        std::shared_ptr<std::atomic<int64_t>> written = std::make_shared<std::atomic<int64_t>>(0);
    };
    using NameSet = std::unordered_set<std::string>;

    // The decision for one file; false, with nothing counted, when the run is being stopped.
    // `counterparts` holds the names of the counterpart directory (nullptr: each is looked
    // up); `waiting` the files decided before, reported first where a question is asked.
    bool DecideFile(PendingFile& p, const NameSet* counterparts, std::deque<PendingFile>* waiting);
    // The walked file's whole attribute word: the listing's, else read now.
    uint32_t WalkedAttributes(const PendingFile& p);
    void StartCopy(PendingFile& p, CopyPool& pool);
    // Hands the copy jobs gathered so far to a worker (`large`: even where copies run inline).
    void SubmitJobs(bool large = false);
    // The report and what follows it, once the copy (if any) is done; `moveSource` false: the
    // run was stopped before the file was reached, its source stays.
    void FinishFile(PendingFile& p, bool moveSource = true);
    // FinishFile, then the file's outcome settled for the files after it (after a stop, they
    // are not put in place any more).
    void FinishInOrder(PendingFile& p);
    // What became of the file's copy: waits for its worker (or makes it here) and returns its
    // result code, the facts in `p.facts`.
    int32_t PublishShellCopy(PendingFile& p);
    // Waits for the file's worker and keeps what it did in `p.taken`.
    void TakeOutcome(PendingFile& p, bool pump);
    // Finishes the files waiting in order; once the run is being stopped, discards the rest.
    void FinishAll(std::deque<PendingFile>& waiting);
    // A step of the walk in its place among the reports: at once where nothing waits before
    // it, else queued (see PendingFile).
    void QueueStep(std::function<void()> step, bool mayStop, bool afterStop = false);
    // Finishes the front of the queue until no more than the run allows in flight wait.
    void KeepInFlight();
    // Drops files decided ahead but never reached: their copies unpublished, their sizes out of
    // the total.
    void DiscardAll(std::deque<PendingFile>& waiting);
    // The move deletion after the file's report: on what it rests, then DeleteOneFile.
    void MoveSource(PendingFile& p, bool copied);
    // A move that did not happen: the error dialog with the reason; the answer goes to RunState.
    void ReportFailedMove(const std::string& file, const std::string& reason);
    // A move's source that could not be set aside or deleted: kept, counted and given a reason
    // line, without a question.
    void NoteSourceKept(const std::string& file, int code);
    // Locks the two roots for the run (shared for a copy, exclusive for a move); false, after
    // the dialog, when another run holds one of them.
    bool LockRoots(std::unique_ptr<TreeLock>& source, std::unique_ptr<TreeLock>& target);
    void ShowFileLines(const PendingFile& p);
    // The text of the dialog of a failed copy: the side that failed where that can be told
    // ("Could not read the source ...", "Could not write ..."), else "Could not copy ...".
    std::string CopyFailureText(const PendingFile& p, int32_t result);
    // The files of one directory, decided in order, copied side by side. `counterpartNew`:
    // this run has just made the counterpart directory, empty then. `listed` tells whether the
    // counterpart directory was read, its names then left in `names`.
    void HandleFiles(const std::string& directory, const std::string& counterpart,
                     const std::vector<ListEntry>& files,
                     const std::shared_ptr<const DirectoryPair>& pair, bool counterpartNew,
                     const Landing& landing, NameSet& names, bool& listed);

    // One pass over the tree from `root`: the walk runs ahead of the reports, across
    // directories, and everything decided is finished (or discarded after a stop) at its end.
    void WalkPass(const std::string& root, const std::string& counterpart,
                  const std::string& pattern, bool descend);

    // One pass over a directory and its subtree; `pair` is the directory's. `owed`: the
    // directory's own NetWare metadata is carried once everything below it has been, before the
    // directory is removed in move mode.
    // `shown`: set once the directory's line is in the status list (null for a root).
    // `counterpartNew`: the directory step has just made the counterpart, empty then.
    // `landing`: where the counterpart's files go.
    void WalkTree(std::string directory, std::string counterpart, const std::string& pattern,
                  bool descend, const DirectoryPair& pair, bool owed,
                  const std::shared_ptr<bool>& shown, bool counterpartNew, const Landing& landing);
    // The directory step. `pair` holds the parent's pair and receives the directory's where the
    // step looks it up (else the directory shares its parent's); `owed` says whether its
    // metadata is to be carried after its subtree; `shown` is set when its line is shown;
    // `madeNow` says whether the step made the counterpart directory itself; `landing` is the
    // parent's, and receives the directory's.
    int32_t DirectoryStep(const std::string& directory, const std::string& counterpart,
                          DirectoryPair& pair, bool& owed, const std::shared_ptr<bool>& shown,
                          bool& madeNow, Landing& landing);
    // Stages the counterpart directory where it is missing (always below a staged parent):
    // 0 with `landing` made the directory's, -1 where the directory is made the usual way, or
    // the code of a failure.
    int StageCounterpart(const std::string& counterpart, bool parentStaged, Landing& landing);
    // A staged directory's turn: put in place, or, where it cannot be, its copies taken back
    // and the failure reported. After a stop only one whose line was shown is put in place.
    void PublishStaged(const Landing& landing, std::string counterpart,
                       const std::shared_ptr<bool>& shown);
    // Asks the file services to read ahead the subdirectories the walk enters next, and their
    // counterparts that stand, by `counterpartNames` where the files' step read them.
    void ReadSubdirsAhead(const std::string& directory, const std::string& counterpart,
                          const std::vector<ListEntry>& subdirs, bool counterpartNew,
                          const NameSet* counterpartNames);
    // After a stop: removes again the empty counterpart directories this pass made ahead of
    // their lines that were never shown, deepest first.
    void RemoveMadeAhead();
    // Notes a counterpart directory (its path) this pass has just made, where its line is
    // not shown yet.
    void NoteMadeAhead(const std::string& path, const std::shared_ptr<bool>& shown);
    // Trustees, space limit and inherited rights mask of a directory pair, the mask last: a mask
    // that takes Access Control from the operator then blocks nothing that was still to come.
    void CarryDirectoryMetadata(DirectoryPair pair);
    // The NetWare services' notes as status lines: failures counted, each object without a
    // counterpart named once per run.
    void ShowNetWareNotes();

    // Whether the walked directory is the other tree's root of this pass.
    bool IsOtherRoot(bool walkedKnown, const DirIdentity& walked,
                     const std::string& directory) const;
    // A root that is missing: the run ends before its passes, with the reason kept.
    void Refuse(int32_t code, const std::string& text);
    // A directory whose entries could not be read: the operator decides whether the run goes on.
    void ReportUnreadable(int code, const std::string& directory);
    // A directory that could not be read, made or removed: counted, asked about (the answer
    // goes to RunState) and kept with its reason in the status list.
    void ReportDirectoryFailure(int32_t code, const std::string& text, DialogButtons buttons);

    RunData& run_;
    OptionSet& options_;
    NetWareServices& netware_;
    FileServices& sharedFiles_;  // the program's file services
    // The file services in use: during a run its own object, confined to its roots; else the
    // program's.
    FileServices* files_;
    Dialogs& dialogs_;
    StatusSink& sink_;
    bool running_ = false;
    // The two roots' pair, looked up at Start: the pair of the walk's first directory.
    DirectoryPair roots_;
    // The two roots' directory identities, read once both roots exist at Start: the other-root
    // guard and the source-root exemption of the removal compare walked directories by them.
    DirIdentity sourceId_, targetId_;
    bool sourceIdKnown_ = false, targetIdKnown_ = false;
    // The notes about objects without a counterpart already shown in this run.
    std::unordered_set<std::string> notesShown_;
    int jobs_ = kDefaultJobs;
    int runJobs_ = kDefaultJobs;  // the count in force for the run going on
    CopyPool* pool_ = nullptr;    // the workers of the run going on
    // The files and steps of the pass going on that are decided but not finished yet, in walk
    // order, and the order in which their copies are put in place; how many may wait.
    std::deque<PendingFile> queue_;
    // The counterpart directories of the pass made while their lines waited in the queue, in
    // walk order, each with the flag its line sets once shown. Those whose lines are shown leave
    // it as the next one is made: it holds hardly more than the queue.
    struct MadeAhead {
        std::string path;
        std::shared_ptr<bool> shown;
    };
    std::deque<MadeAhead> madeAhead_;
    // The pass stages the directories it makes (a copy onto a volume where every call is a
    // round trip).
    bool stageDirectories_ = false;
    // The pass reads the walked tree's, or the counterpart tree's, directories ahead of the walk.
    bool readAheadWalked_ = false;
    bool readAheadCounterpart_ = false;
    std::shared_ptr<PublishOrder> order_;
    uint64_t nextInOrder_ = 0;
    size_t inFlight_ = 1;
    // Copy jobs gathered for the next worker task, and the pool and order they go to.
    std::shared_ptr<CopyRun> gathered_;
    CopyPool* jobsPool_ = nullptr;
    std::shared_ptr<PublishOrder> jobsOrder_;
    size_t jobsPerTask_ = 1;
    // The directory whose files are being decided, and the one whose copies are gathered: a
    // worker's run of copies stays in one directory.
    uint64_t directoryNumber_ = 0;
    uint64_t gatheredDirectory_ = 0;
};

}  // namespace ferrit
