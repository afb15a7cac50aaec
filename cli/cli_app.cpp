#include "cli/cli_app.h"

#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "cli/cli_dialogs.h"
#include "cli/cli_options.h"
#include "cli/progress_screen.h"
#include "cli/text_sink.h"
#include "engine/logged_sink.h"
#include "engine/run_data.h"
#include "engine/run_summary.h"
#include "engine/transfer_engine.h"
#include "netware/directory_pair.h"
#include "netware/dry_run_client.h"
#include "netware/netware_services.h"
#include "nwemu/client_factory.h"
#include "options/copy_options.h"
#include "options/option_reasons.h"
#include "options/settings_file.h"
#include "platform/dry_run_file_services.h"
#include "platform/interrupt.h"
#include "platform/run_log.h"
#include "platform/system_services.h"
#include "platform/terminal.h"

namespace ferrit {

namespace {

// The only mutable global: written by the interrupt handler, read at the engine's pumps.
InterruptFlag gInterrupted{0};

void OnInterrupt() {
    // One step, so two Ctrl-C on two console threads cannot both count as the first.
    if (gInterrupted.exchange(1) != 0) {
        std::_Exit(kExitSecondInterrupt);
    }
}

// The application object: it owns every piece of state of one CLI run and wires the engine to
// the platform, the NetWare services and the text outlets.
class CliApp {
  public:
    CliApp(const CliRequest& request, const SettingsFile* saved, std::ostream& out,
           std::ostream& err, std::istream& in, const CliHooks& hooks)
        : request_(request),
          saved_(saved),
          progress_(ProgressModeOf(request, hooks)),
          screen_(progress_ == ProgressMode::Live
                      ? std::make_unique<ProgressScreen>(out, hooks.outputIsTerminal, err,
                                                         hooks.terminalColumns)
                      : nullptr),
          out_(screen_ ? screen_->Out() : out),
          err_(screen_ ? screen_->Err() : err),
          files_(request.dryRun ? static_cast<FileServices&>(preview_) : *system_),
          dialogs_(
              err_, in, request.errors, ResolveOverwrite(request.overwrite, hooks),
              [this] { FlushAll(); }, PromptWaiting(hooks)),
          choice_(nwemu::ChooseNetWareClient(request.netwareConfig)),
          previewClient_(*choice_.client,
                         [this](const std::string& path) { return preview_.MarkOf(path); }),
          client_(request.dryRun ? static_cast<NetWareClient&>(previewClient_) : *choice_.client),
          netware_(client_, files_, dialogs_),
          sink_(out_, err, hooks.interrupted),
          loggedSink_(sink_),
          engine_(run_, options_, netware_, files_, dialogs_, loggedSink_) {
        sink_.SetAbortHandler([this] { engine_.BitBtnAbortClick(); });
        switch (progress_) {
            case ProgressMode::Off:
                sink_.SetNoProgress();
                break;
            case ProgressMode::Live:
                sink_.SetLiveLine(
                    *screen_, run_, [this] { return engine_.BytesInFlight(); },
                    hooks.nowMs ? hooks.nowMs : SteadyMs);
                break;
            case ProgressMode::Lines:
                break;
        }
        if (request.quiet) {
            sink_.SetQuiet();
        }
        // Without --jobs, the target's file system chooses how many copies go side by side.
        engine_.SetJobs(request.jobs > 0 ? request.jobs : 0);
    }

    int Run() {
        // The NetWare client starts once, before anything else. A Windows workstation without
        // the client libraries says so as the window does (the start-up failure), but a plain
        // copy there is not a failed run: that one message does not count in the exit status.
        // Elsewhere a workstation without a description has no client to start.
        if (!choice_.error.empty()) {
            err_ << "ferrit-cli: " << choice_.error << " (running without NetWare)\n";
        }
        if (choice_.configured && choice_.error.empty()) {
            netware_.InitNetWare();
            if (!choice_.emulated && !choice_.installed) {
                startupNotes_ = dialogs_.ErrorCount();
            }
        }
        run_.Clear();
        locations_ = DirectoryPair();
        const OptionMask asked = ApplyOptionChanges(request_, options_, saved_);
        // As after an operator toggle: "Move Files" wins over "Copy Bi-directional".
        clbClickCheck(options_, FactsOf(locations_));
        // As the window's path-change handler: both locations, then the rules on their facts.
        locations_ = netware_.GetNetWarePaths(request_.source, request_.target);
        const LocationFacts facts = FactsOf(locations_);
        const bool startEnabled = CheckBoxDependancies(options_, facts);
        for (const std::string& line : NotInForceReasons(asked, options_, facts)) {
            err_ << line << '\n';
        }
        if (!startEnabled) {
            err_ << "ferrit-cli: not started: " << StartRefusedReason(facts) << '\n';
            FlushAll();
            return kExitError;
        }

        // The log is opened before anything is done, so that a log that cannot be written
        // stops nothing half-way.
        if (!request_.logFile.empty()) {
            std::string problem;
            if (!log_.Open(request_.logFile, problem)) {
                err_ << "ferrit-cli: cannot write the log " << problem << '\n';
                FlushAll();
                return kExitUsage;
            }
            for (const std::string& line :
                 RunLogHeading(LocalTimeText(), request_.source, request_.target, request_.pattern,
                               options_)) {
                log_.Line(line);
            }
            loggedSink_.SetLog(&log_);
        }

        engine_.ButtonStartClick(RunRequest{request_.source, request_.target, request_.pattern});
        loggedSink_.SetLog(nullptr);
        sink_.WriteProgressLines();
        if (request_.dryRun) {
            err_ << "ferrit-cli: dry run: nothing was changed\n";
        }
        // The summary, with the bytes copied, is the last line; the log keeps it too.
        std::string summary = RunSummary(run_);
        if (run_.PassesRan) {
            summary += ", " + BytesText(run_.Counts.BytesCopied) + " copied";
        }
        bool logWritten = true;
        if (log_.IsOpen()) {
            log_.Line(summary);
            std::string problem;
            logWritten = log_.Close(problem);
            if (!logWritten) {
                err_ << "ferrit-cli: the log could not be written: " << problem << '\n';
            }
        }
        err_ << summary << '\n';
        FlushAll();

        if (sink_.AbortRequested()) {
            return kExitInterrupted;
        }
        // A failure reported without a question (a source the move had to keep) counts too:
        // whatever the closing line counts as failed makes the run a failed one.
        const bool errors = dialogs_.ErrorCount() > startupNotes_ || run_.Counts.Failures() > 0;
        return errors || run_.NetWareFailures > 0 || !logWritten ? kExitError : kExitDone;
    }

  private:
    static ProgressMode ProgressModeOf(const CliRequest& request, const CliHooks& hooks) {
        switch (request.progress) {
            case ProgressChoice::Live:
                return ProgressMode::Live;
            case ProgressChoice::Off:
                return ProgressMode::Off;
            case ProgressChoice::Lines:
                return ProgressMode::Lines;
            case ProgressChoice::Auto:
                break;
        }
        // Where no one watches, progress is only noise; --quiet asks for silence.
        return hooks.errorIsTerminal && !request.quiet ? ProgressMode::Live : ProgressMode::Off;
    }

    static int64_t SteadyMs() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    // The caller's prompt hook, and: a reply typed at a terminal ends with the operator's Enter,
    // which the terminal shows, so the live line may be drawn on the line below at once.
    std::function<void(bool)> PromptWaiting(const CliHooks& hooks) {
        return [this, hooks](bool waiting) {
            if (hooks.promptWaiting) {
                hooks.promptWaiting(waiting);
            }
            if (!waiting && screen_ && hooks.inputIsTerminal) {
                screen_->CursorAtLineStart();
            }
        };
    }

    static OverwritePolicy ResolveOverwrite(OverwritePolicy policy, const CliHooks& hooks) {
        if (policy == OverwritePolicy::Default) {
            return hooks.inputIsTerminal ? OverwritePolicy::Ask : OverwritePolicy::No;
        }
        return policy;
    }

    void FlushAll() {
        out_.flush();
        err_.flush();
    }

    const CliRequest& request_;
    const SettingsFile* saved_;  // with --saved: the window's settings file, checked
    const ProgressMode progress_;
    // With the live line: the terminal it is drawn on, through which all text is written.
    std::unique_ptr<ProgressScreen> screen_;
    std::ostream& out_;  // the status lines
    std::ostream& err_;  // every other text
    std::unique_ptr<FileServices> system_ = MakeFileServices();
    // A preview (--dry-run) reads through these and changes nothing.
    DryRunFileServices preview_{*system_};
    FileServices& files_;
    DirectoryPair locations_;
    RunData run_;
    OptionSet options_;
    CliDialogs dialogs_;
    // The emulated client when its description is given or found, else the absent client (every
    // location local, every NetWare option off).
    nwemu::NetWareClientChoice choice_;
    // Error messages that are notes only: the start-up failure of a workstation without a client.
    int startupNotes_ = 0;
    DryRunClient previewClient_;
    NetWareClient& client_;
    NetWareServices netware_;
    TextSink sink_;
    RunLogFile log_;
    LoggedSink loggedSink_;
    TransferEngine engine_;
};

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           std::istream& in, const CliHooks& hooks) {
    CliRequest request;
    std::string error;
    if (!ParseCliArgs(args, request, error)) {
        err << "ferrit-cli: " << error << "\n" << UsageText() << std::flush;
        return kExitUsage;
    }
    if (request.help || request.version) {
        out << (request.help ? UsageText() : VersionText()) << std::flush;
        return kExitDone;
    }
    // --saved needs a settings file the window wrote: without one every option would read as
    // ticked, Move Files included, and every file would be moved.
    std::unique_ptr<SettingsFile> saved;
    if (request.initialTicks == InitialTicks::Saved) {
        saved = std::make_unique<SettingsFile>("Ferrit.Ini");
        const std::string problem = SavedSettingsProblem(*saved);
        if (!problem.empty()) {
            err << "ferrit-cli: " << problem << "\n" << std::flush;
            return kExitUsage;
        }
    }
    CliApp app(request, saved.get(), out, err, in, hooks);
    return app.Run();
}

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err, std::istream& in) {
    const std::vector<std::string> args = ProgramArguments(argc, argv);
    CliHooks hooks;
    hooks.inputIsTerminal = IsTerminal(StdStream::Input);
    hooks.outputIsTerminal = IsTerminal(StdStream::Output);
    hooks.errorIsTerminal = IsTerminal(StdStream::Error);
    hooks.terminalColumns = [] { return TerminalColumns(StdStream::Error); };
    hooks.interrupted = &gInterrupted;
    // While the overwrite prompt waits for a reply, Ctrl-C ends the wait (the question is then
    // answered No).
    hooks.promptWaiting = [](bool waiting) { SetInterruptEndsWaits(waiting); };
    return RunCli(args, out, err, in, hooks);
}

void InstallInterruptHandler() {
    CatchInterrupts(OnInterrupt);
}

void PrepareCliProcess() {
    std::setlocale(LC_ALL, "");
    std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
    std::setvbuf(stderr, nullptr, _IOFBF, 1 << 16);
    std::cerr.unsetf(std::ios::unitbuf);
    // An untied error stream: writing a progress line must not flush the status lines.
    std::cerr.tie(nullptr);
    InstallInterruptHandler();
}

}  // namespace ferrit
