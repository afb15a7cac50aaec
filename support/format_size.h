#pragma once

#include <cstdint>
#include <string>

namespace ferrit {

// Byte count to the short text of the progress lines and the available-space label:
// "%4.0d" below 1 kB, then " kB" (no decimals), " MB", " GB", " TB" (two decimals) on powers of
// 1,024. Exact halves round away from zero; the decimal separator is the user's locale's.
// A negative count is shown as 2,147,483,647.
std::string FormatSize(int64_t bytes);

// FormatSize with the given decimal separator instead of the locale's.
std::string FormatSizeWith(int64_t bytes, const std::string& decimalPoint);

}  // namespace ferrit
