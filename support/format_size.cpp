#include "support/format_size.h"

#include <clocale>
#include <cstdio>

namespace ferrit {

namespace {

struct Unit {
    int shift;  // the unit is 2^shift bytes
    int decimals;
    const char* suffix;
};

constexpr Unit kUnits[] = {
    {40, 2, " TB"},
    {30, 2, " GB"},
    {20, 2, " MB"},
    {10, 0, " kB"},
};

constexpr int kFieldWidth = 4;

// count / 2^shift scaled by 10^decimals, rounded to the nearest whole number with halves away
// from zero. Done in integers so that every quotient, halves included, is exact.
uint64_t ScaledQuotient(uint64_t count, int shift, int decimals) {
    uint64_t scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;
    const uint64_t whole = count >> shift;  // below 2^53, so whole * 100 cannot overflow
    const uint64_t rest = count & ((uint64_t{1} << shift) - 1);  // rest * 100 stays below 2^47
    const uint64_t half = uint64_t{1} << (shift - 1);
    return whole * scale + ((rest * scale + half) >> shift);
}

std::string PadLeft(const std::string& text) {
    if (text.size() >= static_cast<std::string::size_type>(kFieldWidth))
        return text;
    return std::string(kFieldWidth - text.size(), ' ') + text;
}

}  // namespace

std::string FormatSizeWith(int64_t bytes, const std::string& decimalPoint) {
    // A negative count is shown as the largest 32-bit count.
    const uint64_t count = bytes < 0 ? uint64_t{2147483647} : static_cast<uint64_t>(bytes);
    for (const Unit& unit : kUnits) {
        if (count < (uint64_t{1} << unit.shift))
            continue;
        const uint64_t scaled = ScaledQuotient(count, unit.shift, unit.decimals);
        std::string digits;
        if (unit.decimals == 0) {
            digits = std::to_string(scaled);
        } else {
            uint64_t scale = 1;
            for (int i = 0; i < unit.decimals; ++i) scale *= 10;
            std::string fraction = std::to_string(scaled % scale);
            fraction.insert(0, unit.decimals - fraction.size(), '0');
            digits = std::to_string(scaled / scale) + decimalPoint + fraction;
        }
        return PadLeft(digits) + unit.suffix;
    }
    return PadLeft(std::to_string(count));
}

std::string FormatSize(int64_t bytes) {
    const std::lconv* conv = std::localeconv();
    const char* point =
        (conv && conv->decimal_point && *conv->decimal_point) ? conv->decimal_point : ".";
    return FormatSizeWith(bytes, point);
}

}  // namespace ferrit
