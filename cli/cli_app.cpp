#include "cli/cli_app.h"

#include <cstdlib>
#include <memory>

#include "cli/cli_dialogs.h"
#include "cli/cli_options.h"
#include "cli/text_sink.h"
#include "engine/logged_sink.h"
#include "engine/run_data.h"
#include "engine/run_summary.h"
#include "engine/transfer_engine.h"
#include "netware/dry_run_client.h"
#include "netware/location_state.h"
#include "netware/netware_services.h"
#include "nwemu/client_factory.h"
#include "options/copy_options.h"
#include "options/option_reasons.h"
#include "options/settings_file.h"
#include "platform/dry_run_file_services.h"
#include "platform/interrupt.h"
#include "platform/run_log.h"
#include "platform/system_services.h"

namespace ferrit {

namespace {

// The only mutable global: written by the signal handler, read at the engine's pumps.
volatile std::sig_atomic_t gInterrupted = 0;

void OnInterrupt() {
    if (gInterrupted != 0) {
        std::_Exit(kExitSecondInterrupt);
    }
    gInterrupted = 1;
}

// The application object: it owns every piece of state of one CLI run and wires the engine to
// the platform, the NetWare services and the text outlets.
class CliApp {
  public:
    CliApp(const CliRequest& request, const SettingsFile* saved, std::ostream& out,
           std::ostream& err, std::istream& in, const CliHooks& hooks)
        : request_(request),
          saved_(saved),
          out_(out),
          err_(err),
          files_(request.dryRun ? static_cast<FileServices&>(preview_) : *system_),
          dialogs_(
              err, in, request.errors, ResolveOverwrite(request.overwrite, hooks),
              [this] { FlushAll(); }, hooks.promptWaiting),
          choice_(nwemu::ChooseNetWareClient(request.netwareConfig)),
          previewClient_(*choice_.client,
                         [this](const std::string& path) { return preview_.MarkOf(path); }),
          client_(request.dryRun ? static_cast<NetWareClient&>(previewClient_) : *choice_.client),
          netware_(client_, locations_, files_, dialogs_),
          sink_(out, err, hooks.interrupted),
          loggedSink_(sink_),
          engine_(run_, options_, netware_, files_, dialogs_, loggedSink_) {
        sink_.SetAbortHandler([this] { engine_.BitBtnAbortClick(); });
        if (request.jobs > 0) {
            engine_.SetJobs(request.jobs);
        }
    }

    int Run() {
        // The NetWare client starts once, before anything else; without a configured client
        // there is nothing to start and nothing to report.
        if (!choice_.error.empty()) {
            err_ << "ferrit-cli: " << choice_.error << " (running without NetWare)\n";
        }
        if (choice_.emulated) {
            netware_.InitNetWare();
        }
        run_.Clear();
        locations_.Clear();
        const OptionMask asked = ApplyOptionChanges(request_, options_, saved_);
        // As after an operator toggle: "Move Files" wins over "Copy Bi-directional".
        clbClickCheck(options_, FactsOf(locations_));
        // As the window's path-change handler: both locations, then the rules on their facts.
        netware_.GetNetWarePaths(request_.source, request_.target);
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
        return dialogs_.ErrorCount() > 0 || run_.NetWareFailures > 0 || !logWritten ? kExitError
                                                                                    : kExitDone;
    }

  private:
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
    std::ostream& out_;
    std::ostream& err_;
    std::unique_ptr<FileServices> system_ = MakeFileServices();
    // A preview (--dry-run) reads through these and changes nothing.
    DryRunFileServices preview_{*system_};
    FileServices& files_;
    LocationState locations_;
    RunData run_;
    OptionSet options_;
    CliDialogs dialogs_;
    // The emulated client when its description is given or found, else the absent client (every
    // location local, every NetWare option off).
    nwemu::NetWareClientChoice choice_;
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
    if (request.help) {
        out << UsageText() << std::flush;
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

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err, std::istream& in,
           bool inputIsTerminal) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.emplace_back(argv[i]);
    }
    CliHooks hooks;
    hooks.inputIsTerminal = inputIsTerminal;
    hooks.interrupted = &gInterrupted;
    // While the overwrite prompt waits for a reply, Ctrl-C ends the wait (the question is then
    // answered No).
    hooks.promptWaiting = [](bool waiting) { SetInterruptEndsWaits(waiting); };
    return RunCli(args, out, err, in, hooks);
}

void InstallInterruptHandler() {
    CatchInterrupts(OnInterrupt);
}

}  // namespace ferrit
