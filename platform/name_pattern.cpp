#include "platform/name_pattern.h"

#include <cstddef>

#include "support/strings.h"

namespace ferrit {

namespace {

// The pattern matched as written: "*" any run, "?" one character, ASCII letters without case.
bool MatchWritten(const std::string& pattern, size_t patternEnd, const std::string& name) {
    // Greedy match with a single backtrack point: the last star seen. Each star only ever moves
    // its restart point forwards, so the work is bounded by pattern length times name length.
    size_t p = 0, n = 0;
    size_t starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < patternEnd && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < patternEnd && pattern[p] == '?') {
            ++p;
            n += Utf8SequenceLength(name, n);
        } else if (p < patternEnd && LowerAscii(pattern[p]) == LowerAscii(name[n])) {
            ++p;
            ++n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            starN += Utf8SequenceLength(name, starN);
            n = starN;
        } else {
            return false;
        }
    }
    while (p < patternEnd && pattern[p] == '*') ++p;
    return p == patternEnd;
}

}  // namespace

bool MatchPattern(const std::string& pattern, const std::string& name) {
    if (pattern == "*.*" || MatchWritten(pattern, pattern.size(), name))
        return true;
    // A pattern that ends in a dot asks for an empty extension: it also matches the names
    // without a dot that the rest of it matches ("*." every such name, "a?." "ab").
    size_t rest = pattern.size();
    while (rest > 0 && pattern[rest - 1] == '.') --rest;
    if (rest == pattern.size() || name.find('.') != std::string::npos)
        return false;
    return (rest == 3 && pattern.compare(0, 3, "*.*") == 0) || MatchWritten(pattern, rest, name);
}

}  // namespace ferrit
