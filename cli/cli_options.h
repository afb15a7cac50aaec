// Command-line parsing of ferrit-cli: pure functions from the argument list to a request, so the
// rules can be tested without running anything.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "options/copy_options.h"
#include "options/settings_file.h"

namespace ferrit {

// The answer to every error dialog that offers Ignore.
enum class ErrorPolicy { Ignore, Abort };
// The answer to "Overwrite ...?"; Default means "ask on a terminal, else no".
enum class OverwritePolicy { Default, Ask, Yes, No };

// Where the progress goes: Auto is one live line when the error stream is a terminal (and the
// run is not --quiet), else none.
enum class ProgressChoice { Auto, Live, Off, Lines };

// One tick or untick of an option, in command-line order.
struct OptionChange {
    uint8_t index = 0;
    bool ticked = false;
};

// Where the ticked states start before the changes are applied: every option unticked, or
// (--saved) the ticked states the window saved in its settings file, ticked where none is saved.
enum class InitialTicks { AllUnticked, Saved };

struct CliRequest {
    std::string source;
    std::string target;
    std::string pattern = "*.*";
    InitialTicks initialTicks = InitialTicks::AllUnticked;
    std::vector<OptionChange> changes;
    ErrorPolicy errors = ErrorPolicy::Ignore;
    OverwritePolicy overwrite = OverwritePolicy::Default;
    bool help = false;     // --help: print the usage and do nothing else
    bool version = false;  // --version: print the name and version and do nothing else
    // --netware-config=FILE: the emulated servers' description; empty: the default file when it
    // exists, else no NetWare client.
    std::string netwareConfig;
    // --jobs=N: copies run side by side (1: one after another); 0: the engine's default.
    int jobs = 0;
    // --dry-run: decide and report as a run would, change nothing.
    bool dryRun = false;
    // --log=FILE: the run's log is appended to this file; empty: no log.
    std::string logFile;
    // --progress, --progress=lines, --no-progress.
    ProgressChoice progress = ProgressChoice::Auto;
    // --quiet: no status lines on stdout.
    bool quiet = false;
};

// Parses the arguments (without the program name). Returns false with a one-line reason in error
// when they are not usable; the request is then incomplete.
bool ParseCliArgs(const std::vector<std::string>& args, CliRequest& request, std::string& error);

// The usage text, ending in a line end.
std::string UsageText();

// The --version text: the program's name and version, ending in a line end.
std::string VersionText();

// Which options the request asks for: the ticked states the flags leave, before any rule runs.
using OptionMask = std::array<bool, kOptionCount>;

// Why the settings file cannot serve --saved: it does not exist, cannot be read (not a regular
// file, larger than 1 MiB, unreadable), or holds no [Default Options] section (empty, cut short,
// another file). Empty when it can; a file with some keys missing can (they read as ticked).
std::string SavedSettingsProblem(const SettingsFile& file);

// Sets every ticked state from the request's starting point, then applies the changes in order.
// Enabled states are left alone. Returns the options asked for: those ticked in the end, and with
// --saved only those the command line itself ticked (the saved ones are the window's business).
// With --saved the states come from `saved`, or from the settings file "Ferrit.Ini" when none
// is given.
OptionMask ApplyOptionChanges(const CliRequest& request, OptionSet& options,
                              const SettingsFile* saved = nullptr);

// One warning line (without a line end) for every option asked for that is not in force after the
// rules ran, naming its caption and the rule that switched it off, in index order.
std::vector<std::string> NotInForceReasons(const OptionMask& asked, const OptionSet& options,
                                           const LocationFacts& facts);

}  // namespace ferrit
