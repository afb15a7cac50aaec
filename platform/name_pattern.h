// The name patterns of the listings, matched the same way on every system.
#pragma once

#include <string>

namespace ferrit {

// Pattern matching of the listings: "*" any run, "?" one character (a whole UTF-8 sequence),
// ASCII letters without regard to case; "*.*" matches every name, with or without a dot, and a
// pattern ending in a dot also the names without a dot that the rest matches ("*." every one of
// them).
bool MatchPattern(const std::string& pattern, const std::string& name);

}  // namespace ferrit
