// Why an option is greyed or not in force, and why Start cannot be pressed, in one wording for
// the window's tooltips and ferrit-cli's warnings. Each reason names the rule that did it.
#pragma once

#include <cstdint>
#include <string>

#include "options/copy_options.h"

namespace ferrit {

// The option's caption in double quotes.
std::string QuotedCaption(uint8_t index);

// Why the option rules grey the item, judged from the states they left; empty when the item is
// enabled.
std::string DisabledReason(uint8_t index, const OptionSet& options, const LocationFacts& facts);

// Why the option is not in force: the reason it is greyed, or the rule that unticked it; empty
// when it is in force.
std::string NotInForceReason(uint8_t index, const OptionSet& options, const LocationFacts& facts);

// What Start needs from the two path fields: a text, naming an existing directory.
struct StartPaths {
    bool sourceGiven = false;
    bool sourceExists = false;
    bool targetGiven = false;
    bool targetExists = false;
};

// Why the option rules refuse Start (a NetWare target without Write or Create); empty when they
// allow it.
std::string StartRefusedReason(const LocationFacts& facts);

// Why Start cannot be pressed: each field that names no existing directory, then the rules;
// empty when it can.
std::string StartDisabledReason(const StartPaths& paths, const LocationFacts& facts);

}  // namespace ferrit
