// Small string and path routines shared by the engine, the NetWare services and the launcher.
// Positions are 1-based; case folding touches the ASCII letters a to z only.
#pragma once

#include <string>
#include <vector>

namespace ferrit {

// The separator the program adds to paths: the native one.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

std::string IfThenStr(bool condition, const std::string& whenTrue, const std::string& whenFalse);

// Empty path -> the separator alone; a path ending in '/' or '\' is returned unchanged;
// otherwise the separator is appended.
std::string WithTrailingSlash(const std::string& path);
void AddTrailingSlash(std::string& path);

std::string TrimRightChars(const std::string& s, const std::string& chars);
std::string TrimLeftChars(const std::string& s, const std::string& chars);
// Both ends trimmed of the given characters.
std::string TrimChars(const std::string& s, const std::string& chars);

// Replaces the first (or every, when all) occurrence of old by new; inserted text is never
// searched again.
std::string ReplaceStr(const std::string& s, const std::string& old, const std::string& with,
                       bool caseSensitive, bool all);

// 1-based position of the first occurrence of sub in s, or 0; empty sub or s give 0.
int PosCase(const std::string& sub, const std::string& s, bool caseSensitive);

// Splits at the first occurrence of the delimiter (case-sensitive). Not found, or an empty
// delimiter: left = s, right = "".
void SplitAtFirst(const std::string& s, const std::string& delimiter, std::string& left,
                  std::string& right);

// first + separator + second when both are non-empty, else whichever is non-empty (or "").
std::string JoinNonEmpty(const std::string& first, const std::string& second,
                         const std::string& separator);

int IndexOfStr(const std::string& s, const std::vector<std::string>& list, bool caseSensitive);
bool IsInStrList(const std::string& s, const std::vector<std::string>& list, bool caseSensitive);

// The directory and the name joined with one separator; the name alone where the directory is
// empty.
std::string JoinPath(const std::string& dir, const std::string& name);

// The directory part of a '/'-separated path: "." for a bare name, "/" for a name in the root.
std::string DirOf(const std::string& path);

// Whether a path of this system is absolute: it starts with '/' on Linux, with a drive ("C:\",
// "C:/") or a share ("\\server\share") on Windows.
bool IsAbsolutePath(const std::string& path);

// The path without trailing separators ('/' or the native one); a root keeps its own ("/", on
// Windows "C:\"), and an empty path stays empty.
std::string WithoutTrailingSlash(const std::string& path);

// Splits a path at its last separator ('/' or the native one), trailing separators ignored:
// "a/b/" gives "a" and "b", "/b" gives "/" and "b", on Windows "C:\b" gives "C:\" and "b" (a
// root keeps its separator). False, leaving both alone, where the path has no directory part or
// no last name.
bool SplitLastName(const std::string& path, std::string& dir, std::string& name);

// Whether a path is the directory or lies below it, both spelt alike (absolute, resolved the same
// way, with the native separator): "/a/b" lies below "/a" and "/", "/ab" not below "/a".
bool PathAtOrBelow(const std::string& path, const std::string& dir);

// ASCII-only case folding: other bytes, UTF-8 sequences included, stay as they are.
char UpperAscii(char c);
char LowerAscii(char c);
std::string UpperAscii(const std::string& s);
std::string LowerAscii(const std::string& s);
bool EqualNoCase(const std::string& a, const std::string& b);

// Length of the UTF-8 sequence that starts at byte `i` of `s`: a lead byte with the continuation
// bytes that follow it (at most three), or 1 for a stray byte.
size_t Utf8SequenceLength(const std::string& s, size_t i);

}  // namespace ferrit
