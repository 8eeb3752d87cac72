#include "core/Rounding.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <string>
#include <system_error>

namespace zelvant {

namespace {

enum class Tie { AwayFromZero, ToEven };

template<typename Float>
double roundOnDigits(Float value, int decimals, Tie tie)
{
    if (!std::isfinite(value))
        return double(value);
    char text[512];
    const auto printed = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    if (printed.ec != std::errc())
        return double(value);
    std::string digits(text, printed.ptr);
    const bool negative = !digits.empty() && digits.front() == '-';
    if (negative)
        digits.erase(0, 1);
    const size_t point = digits.find('.');
    std::string whole = point == std::string::npos ? digits : digits.substr(0, point);
    std::string fraction = point == std::string::npos ? std::string() : digits.substr(point + 1);
    const size_t keep = size_t(std::max(decimals, 0));
    if (fraction.size() > keep) {
        const std::string rest = fraction.substr(keep);
        fraction.resize(keep);
        std::string all = whole + fraction;
        bool up = rest.front() >= '5';
        if (tie == Tie::ToEven && rest.front() == '5') {
            const bool beyondHalf = rest.find_first_not_of('0', 1) != std::string::npos;
            up = beyondHalf || (all.back() - '0') % 2 == 1;
        }
        if (up) {
            int i = int(all.size()) - 1;
            for (; i >= 0 && all[size_t(i)] == '9'; --i)
                all[size_t(i)] = '0';
            if (i < 0)
                all.insert(all.begin(), '1');
            else
                ++all[size_t(i)];
        }
        whole = all.substr(0, all.size() - keep);
        fraction = all.substr(all.size() - keep);
    }
    std::string rounded = (negative ? "-" : "") + whole;
    if (!fraction.empty())
        rounded += "." + fraction;
    double result = 0;
    std::from_chars(rounded.data(), rounded.data() + rounded.size(), result);
    return result + 0.0; // + 0.0 turns -0 into 0
}

} // namespace

double roundDecimals(float value, int decimals)
{
    return roundOnDigits(value, decimals, Tie::AwayFromZero);
}

double roundDecimals(double value, int decimals)
{
    return roundOnDigits(value, decimals, Tie::AwayFromZero);
}

double roundHalfEven(float value, int decimals)
{
    return roundOnDigits(value, decimals, Tie::ToEven);
}

double roundHalfEven(double value, int decimals)
{
    if (!std::isfinite(value))
        return value;
    // Most values (those read back from the history) already have at most
    // the wanted decimals or lie clearly off a tie; binary arithmetic gives
    // the decimal answer for them and is much cheaper than the text route.
    static constexpr double powers[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
    if (decimals >= 0 && decimals < int(std::size(powers)) && std::fabs(value) < 1e12) {
        const double scale = powers[decimals];
        const double scaled = value * scale;
        const double offTie = std::fabs(scaled - std::floor(scaled) - 0.5);
        if (offTie > 1e-6)
            return std::round(scaled) / scale + 0.0;
    }
    return roundOnDigits(value, decimals, Tie::ToEven);
}

} // namespace zelvant
