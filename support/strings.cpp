#include "support/strings.h"

#include <algorithm>

namespace ferrit {

namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

// A separator of this system's paths.
bool SeparatesNames(char c) {
    return c == '/' || (kPathSeparator == '\\' && c == '\\');
}

// The length of an absolute path's root ("/", "C:\", "\\srv\share"); 0 when it has none.
size_t RootLength(const std::string& path) {
    if (kPathSeparator != '\\') {
        return !path.empty() && path[0] == '/' ? 1 : 0;
    }
    if (path.size() >= 3 && path[1] == ':' && SeparatesNames(path[2])) {
        return 3;
    }
    if (path.size() > 2 && SeparatesNames(path[0]) && SeparatesNames(path[1])) {
        // Two names, the server's and the share's, make the root of a share.
        const size_t server = path.find_first_of("/\\", 2);
        if (server == std::string::npos || server == 2) {
            return 0;
        }
        const size_t share = path.find_first_of("/\\", server + 1);
        return share == server + 1 ? 0 : (share == std::string::npos ? path.size() : share);
    }
    return 0;
}

}  // namespace

char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string IfThenStr(bool condition, const std::string& whenTrue, const std::string& whenFalse) {
    return condition ? whenTrue : whenFalse;
}

std::string WithTrailingSlash(const std::string& path) {
    if (path.empty())
        return std::string(1, kPathSeparator);
    if (IsSeparator(path.back()))
        return path;
    return path + kPathSeparator;
}

std::string JoinPath(const std::string& dir, const std::string& name) {
    return dir.empty() ? name : WithTrailingSlash(dir) + name;
}

void AddTrailingSlash(std::string& path) {
    path = WithTrailingSlash(path);
}

bool IsAbsolutePath(const std::string& path) {
    return RootLength(path) > 0;
}

std::string DirOf(const std::string& path) {
    const std::string::size_type slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string WithoutTrailingSlash(const std::string& path) {
    const size_t keep = std::max<size_t>(RootLength(path), 1);
    size_t end = path.size();
    while (end > keep && SeparatesNames(path[end - 1])) {
        --end;
    }
    return path.substr(0, end);
}

bool SplitLastName(const std::string& path, std::string& dir, std::string& name) {
    const std::string p = WithoutTrailingSlash(path);
    const std::string::size_type slash = p.find_last_of(std::string("/") + kPathSeparator);
    if (slash == std::string::npos || slash + 1 >= p.size())
        return false;
    // The root keeps its separator: "/", and on Windows "C:\".
    dir = slash == 0 || slash < RootLength(p) ? p.substr(0, slash + 1) : p.substr(0, slash);
    name = p.substr(slash + 1);
    return true;
}

bool PathAtOrBelow(const std::string& path, const std::string& dir) {
    if (dir.empty() || path.size() < dir.size() || path.compare(0, dir.size(), dir) != 0)
        return false;
    return path.size() == dir.size() || dir.back() == kPathSeparator ||
           path[dir.size()] == kPathSeparator;
}

std::string TrimRightChars(const std::string& s, const std::string& chars) {
    std::string::size_type end = s.size();
    while (end > 0 && chars.find(s[end - 1]) != std::string::npos) --end;
    return s.substr(0, end);
}

std::string TrimLeftChars(const std::string& s, const std::string& chars) {
    std::string::size_type begin = 0;
    while (begin < s.size() && chars.find(s[begin]) != std::string::npos) ++begin;
    return s.substr(begin);
}

std::string TrimChars(const std::string& s, const std::string& chars) {
    return TrimLeftChars(TrimRightChars(s, chars), chars);
}

std::string UpperAscii(const std::string& s) {
    std::string result(s);
    for (char& c : result) c = UpperAscii(c);
    return result;
}

std::string LowerAscii(const std::string& s) {
    std::string result(s);
    for (char& c : result) c = LowerAscii(c);
    return result;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::string::size_type i = 0; i < a.size(); ++i) {
        if (UpperAscii(a[i]) != UpperAscii(b[i]))
            return false;
    }
    return true;
}

int PosCase(const std::string& sub, const std::string& s, bool caseSensitive) {
    if (sub.empty() || s.empty())
        return 0;
    const std::string::size_type at =
        caseSensitive ? s.find(sub) : UpperAscii(s).find(UpperAscii(sub));
    return at == std::string::npos ? 0 : static_cast<int>(at) + 1;
}

std::string ReplaceStr(const std::string& s, const std::string& old, const std::string& with,
                       bool caseSensitive, bool all) {
    if (old.empty() || old == with)
        return s;
    // Folding keeps every byte in place, so positions found in the folded copy hold in s.
    const std::string haystack = caseSensitive ? s : UpperAscii(s);
    const std::string needle = caseSensitive ? old : UpperAscii(old);
    std::string result;
    std::string::size_type from = 0;
    for (;;) {
        const std::string::size_type at = haystack.find(needle, from);
        if (at == std::string::npos)
            break;
        result.append(s, from, at - from);
        result += with;
        from = at + old.size();
        // Searching goes on in the original text only, never in what was just inserted.
        if (!all)
            break;
    }
    result.append(s, from, std::string::npos);
    return result;
}

void SplitAtFirst(const std::string& s, const std::string& delimiter, std::string& left,
                  std::string& right) {
    const std::string text(s);  // left or right may be s itself
    const std::string::size_type at = delimiter.empty() ? std::string::npos : text.find(delimiter);
    if (at == std::string::npos) {
        left = text;
        right.clear();
        return;
    }
    left = text.substr(0, at);
    right = text.substr(at + delimiter.size());
}

std::string JoinNonEmpty(const std::string& first, const std::string& second,
                         const std::string& separator) {
    if (!first.empty() && !second.empty())
        return first + separator + second;
    return first + second;
}

int IndexOfStr(const std::string& s, const std::vector<std::string>& list, bool caseSensitive) {
    for (std::vector<std::string>::size_type i = 0; i < list.size(); ++i) {
        if (caseSensitive ? list[i] == s : EqualNoCase(list[i], s))
            return static_cast<int>(i);
    }
    return -1;
}

bool IsInStrList(const std::string& s, const std::vector<std::string>& list, bool caseSensitive) {
    return IndexOfStr(s, list, caseSensitive) >= 0;
}

size_t Utf8SequenceLength(const std::string& s, size_t i) {
    size_t n = 1;
    while (i + n < s.size() && (static_cast<unsigned char>(s[i + n]) & 0xC0) == 0x80 &&
           (static_cast<unsigned char>(s[i]) & 0xC0) == 0xC0 && n < 4) {
        ++n;
    }
    return n;
}

}  // namespace ferrit
