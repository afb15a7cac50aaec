#include "cli/cli_options.h"

#include <algorithm>
#include <functional>

#include "engine/copy_pool.h"
#include "options/histories.h"
#include "options/option_reasons.h"

namespace ferrit {

namespace {

// One long flag that ticks one option.
struct TickFlag {
    const char* name;
    CopyOption option;
};

constexpr TickFlag kTickFlags[] = {
    {"--subdirs", CopySubdirectories},
    {"--create-dirs", CreateDirectoriesOnTarget},
    {"--confirm", ConfirmOverwrites},
    {"--older", OverwriteOlderFiles},
    {"--always", OverwriteAlways},
    {"--read-only", OverwriteReadOnly},
    {"--move", MoveFiles},
    {"--both-ways", CopyBidirectional},
    {"--keep-owner", KeepOwner},
    {"--keep-dir-trustees", KeepDirectoryTrustees},
    {"--keep-file-trustees", KeepFileTrustees},
    {"--keep-irm", KeepInheritedRightsMask},
    {"--keep-limits", KeepSpaceLimitations},
    {"--archive-only", OnlyFilesWithArchiveBit},
    {"--clear-archive", ClearArchiveBit},
};

// Parses "3,0,14" into option changes; false on an empty item, a non-number or an index outside
// 0 to 14.
bool ParseIndexList(const std::string& list, bool ticked, std::vector<OptionChange>& changes) {
    if (list.empty()) {
        return false;
    }
    size_t start = 0;
    while (true) {
        const size_t comma = list.find(',', start);
        const std::string item =
            list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (item.empty() || item.size() > 2) {
            return false;
        }
        int value = 0;
        for (char c : item) {
            if (c < '0' || c > '9') {
                return false;
            }
            value = value * 10 + (c - '0');
        }
        if (value >= kOptionCount) {
            return false;
        }
        changes.push_back({static_cast<uint8_t>(value), ticked});
        if (comma == std::string::npos) {
            return true;
        }
        start = comma + 1;
    }
}

}  // namespace

bool ParseCliArgs(const std::vector<std::string>& args, CliRequest& request, std::string& error) {
    // Flags that take a value after "=", each with the routine that stores it.
    using Setter = std::function<bool(const std::string&)>;
    const std::pair<const char*, Setter> valueFlags[] = {
        {"--pattern",
         [&](const std::string& v) {
             request.pattern = v;
             return true;
         }},
        {"--set", [&](const std::string& v) { return ParseIndexList(v, true, request.changes); }},
        {"--clear",
         [&](const std::string& v) { return ParseIndexList(v, false, request.changes); }},
        {"--errors",
         [&](const std::string& v) {
             if (v == "ignore") {
                 request.errors = ErrorPolicy::Ignore;
             } else if (v == "abort") {
                 request.errors = ErrorPolicy::Abort;
             } else {
                 return false;
             }
             return true;
         }},
        {"--netware-config",
         [&](const std::string& v) {
             request.netwareConfig = v;
             return !v.empty();
         }},
        {"--log",
         [&](const std::string& v) {
             request.logFile = v;
             return !v.empty();
         }},
        {"--jobs",
         [&](const std::string& v) {
             if (v.empty() || v.size() > 3 ||
                 v.find_first_not_of("0123456789") != std::string::npos) {
                 return false;
             }
             request.jobs = std::stoi(v);
             return request.jobs >= 1 && request.jobs <= 64;
         }},
        {"--progress",
         [&](const std::string& v) {
             if (v != "lines") {
                 return false;
             }
             request.progress = ProgressChoice::Lines;
             return true;
         }},
        {"--overwrite",
         [&](const std::string& v) {
             if (v == "ask") {
                 request.overwrite = OverwritePolicy::Ask;
             } else if (v == "yes") {
                 request.overwrite = OverwritePolicy::Yes;
             } else if (v == "no") {
                 request.overwrite = OverwritePolicy::No;
             } else {
                 return false;
             }
             return true;
         }},
    };

    std::vector<std::string> operands;
    bool flagsEnded = false;
    for (const std::string& arg : args) {
        if (flagsEnded || arg.size() < 2 || arg[0] != '-') {
            operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            flagsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            request.help = true;
            return true;
        }
        if (arg == "--version") {
            request.version = true;
            return true;
        }
        if (arg == "--dry-run") {
            request.dryRun = true;
            continue;
        }
        if (arg == "--quiet" || arg == "-q") {
            request.quiet = true;
            continue;
        }
        if (arg == "--progress" || arg == "--no-progress") {
            request.progress = arg == "--progress" ? ProgressChoice::Live : ProgressChoice::Off;
            continue;
        }
        if (arg == "--saved") {
            request.initialTicks = InitialTicks::Saved;
            continue;
        }
        bool known = false;
        for (const TickFlag& flag : kTickFlags) {
            if (arg == flag.name) {
                request.changes.push_back({static_cast<uint8_t>(flag.option), true});
                known = true;
                break;
            }
        }
        if (known) {
            continue;
        }
        const size_t eq = arg.find('=');
        const std::string name = arg.substr(0, eq);
        for (const auto& flag : valueFlags) {
            if (name != flag.first) {
                continue;
            }
            known = true;
            if (eq == std::string::npos) {
                error = "option " + name + " needs a value (" + name + "=...)";
                return false;
            }
            const std::string value = arg.substr(eq + 1);
            if (!flag.second(value)) {
                error = "invalid value for " + name + ": \"" + value + "\"";
                return false;
            }
            break;
        }
        if (!known) {
            error = "unknown option " + arg;
            return false;
        }
    }
    if (operands.size() != 2) {
        error = operands.size() < 2 ? "SOURCE and TARGET are required"
                                    : "too many operands (expected SOURCE and TARGET)";
        return false;
    }
    request.source = operands[0];
    request.target = operands[1];
    return true;
}

std::string UsageText() {
    // One flag per row, its description in a common column.
    const auto row = [](std::string flag, const std::string& text) {
        flag = "  " + flag;
        flag.resize(std::max<size_t>(flag.size() + 1, 26), ' ');
        return flag + text + "\n";
    };
    std::string text =
        "Usage: ferrit-cli [flags] SOURCE TARGET\n"
        "Copies or moves the files of SOURCE to TARGET by the options given; every option starts\n"
        "unticked (with --saved: as the window's settings file has it).\n\n";
    text += row("--saved", "start from the options ticked in Ferrit.Ini, the window's settings");
    text += row("--pattern=TEXT", "file pattern (default *.*)");
    text += row("--set=LIST", "tick the options with these indexes (0-14, comma-separated)");
    text += row("--clear=LIST", "untick the options with these indexes");
    for (const TickFlag& flag : kTickFlags) {
        text += row(flag.name, "tick " + std::to_string(flag.option) + " \"" +
                                   OptionCaptions[flag.option] + "\"");
    }
    text +=
        row("--errors=abort|ignore", "answer to error dialogs that offer Ignore (default ignore)");
    text += row("--overwrite=ask|yes|no",
                "answer to \"Overwrite ...?\" (default ask on a terminal, else no)");
    text += row("--netware-config=FILE", "the emulated NetWare servers (default:");
    text += row("", "ferrit-netware.ini in the configuration directory, if any)");
    text += row("--jobs=N", "copies made side by side, 1 to 64 (default " +
                                std::to_string(kDefaultJobs) +
                                " on a local disk, 16 on a network or FUSE file system)");
    text += row("--dry-run", "decide and show the status lines as a run would, change nothing");
    text += row("--log=FILE", "append the run's status lines and its summary to FILE");
    text += row("--progress", "show the live progress line even where stderr is no terminal");
    text += row("--progress=lines", "write every change of the progress as a line of its own");
    text += row("--no-progress", "show no progress");
    text += row("-q, --quiet", "write no status lines to stdout (and no progress unless asked)");
    text += row("--version", "show the program's name and version");
    text += row("--help", "show this text");
    text +=
        "\n"
        "Flags and --set/--clear apply in command-line order. The status lines go to stdout;\n"
        "dialog messages and warnings go to stderr, and last the run's summary. Where stderr is\n"
        "a terminal, one progress line is shown there and rewritten in place.\n"
        "Exit status: 0 done, 1 an error was reported or the run was refused, 2 usage error\n"
        "(also --saved without a settings file holding [Default Options]), 3 interrupted.\n";
    return text;
}

std::string VersionText() {
    return std::string("ferrit-cli (Ferrit) ") + FERRIT_VERSION + "\n";
}

std::string SavedSettingsProblem(const SettingsFile& file) {
    if (file.Status() == ConfigFileStatus::Missing) {
        return "--saved: the settings file " + file.FileName() + " does not exist";
    }
    if (!file.LoadProblem().empty()) {
        return "--saved: " + file.LoadProblem();
    }
    if (!file.HasSection(kDefaultOptionsSection)) {
        return "--saved: the settings file " + file.FileName() + " holds no [" +
               kDefaultOptionsSection + "] section";
    }
    return std::string();
}

OptionMask ApplyOptionChanges(const CliRequest& request, OptionSet& options,
                              const SettingsFile* saved) {
    switch (request.initialTicks) {
        case InitialTicks::AllUnticked:
            for (uint8_t i = 0; i < kOptionCount; ++i) {
                options.SetTicked(i, false);
            }
            break;
        case InitialTicks::Saved:
            LoadTickedStates(saved != nullptr ? *saved : SettingsFile("Ferrit.Ini"), options);
            break;
    }
    OptionMask asked{};
    OptionMask flagTicked{};
    for (const OptionChange& change : request.changes) {
        options.SetTicked(change.index, change.ticked);
        flagTicked[change.index] = change.ticked;
    }
    for (uint8_t i = 0; i < kOptionCount; ++i) {
        asked[i] = options.Ticked(i) &&
                   (request.initialTicks == InitialTicks::AllUnticked || flagTicked[i]);
    }
    return asked;
}

std::vector<std::string> NotInForceReasons(const OptionMask& asked, const OptionSet& options,
                                           const LocationFacts& facts) {
    std::vector<std::string> lines;
    for (uint8_t i = 0; i < kOptionCount; ++i) {
        if (asked[i] && !options.cbAllowed(i)) {
            lines.push_back("warning: option " + QuotedCaption(i) +
                            " is not in force: " + NotInForceReason(i, options, facts));
        }
    }
    return lines;
}

}  // namespace ferrit
