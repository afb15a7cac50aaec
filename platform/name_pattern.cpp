#include "platform/name_pattern.h"

#include <cstddef>

#include "support/strings.h"

namespace ferrit {

namespace {

// Length of the UTF-8 sequence that starts at `i` (1 for a stray byte), so that "?" takes one
// character, not one byte.
size_t SequenceLength(const std::string& s, size_t i) {
    size_t n = 1;
    while (i + n < s.size() && (static_cast<unsigned char>(s[i + n]) & 0xC0) == 0x80 &&
           (static_cast<unsigned char>(s[i]) & 0xC0) == 0xC0 && n < 4) {
        ++n;
    }
    return n;
}

}  // namespace

bool MatchPattern(const std::string& pattern, const std::string& name) {
    if (pattern == "*.*")
        return true;
    // Greedy match with a single backtrack point: the last star seen. Each star only ever moves
    // its restart point forwards, so the work is bounded by pattern length times name length.
    size_t p = 0, n = 0;
    size_t starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n += SequenceLength(name, n);
        } else if (p < pattern.size() && LowerAscii(pattern[p]) == LowerAscii(name[n])) {
            ++p;
            ++n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            starN += SequenceLength(name, starN);
            n = starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

}  // namespace ferrit
