#include "profiles/ProfileNumbers.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace profiles {

namespace {

std::string_view Trim(std::string_view t) {
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
    return t;
}

}  // namespace

std::optional<long long> ParseInteger(std::string_view text) {
    text = Trim(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    long long v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return v;
}

std::optional<double> ParseNumber(std::string_view text) {
    text = Trim(text);
    std::string copy(text);
    if (copy.find('.') == std::string::npos) {
        const auto comma = copy.find(',');
        if (comma != std::string::npos && copy.find(',', comma + 1) == std::string::npos) copy[comma] = '.';
    }
    std::string_view t = copy;
    if (!t.empty() && t.front() == '+') t.remove_prefix(1);
    double v = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    if (t.empty() || ec != std::errc() || end != t.data() + t.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::string FormatNumber(double value) {
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, end) : std::string("0");
}

std::optional<SizeText> ParseSize(std::string_view text) {
    text = Trim(text);
    const auto x = text.find_first_of("xX");
    if (x == std::string_view::npos) return std::nullopt;
    const auto w = ParseInteger(text.substr(0, x)), h = ParseInteger(text.substr(x + 1));
    constexpr long long kMax = std::numeric_limits<int>::max();
    if (!w || !h || *w < -kMax || *w > kMax || *h < -kMax || *h > kMax) return std::nullopt;
    return SizeText{static_cast<int>(*w), static_cast<int>(*h)};
}

}  // namespace profiles
