#include "FrameRate.h"

#include <algorithm>
#include <cmath>

namespace {

// Millisecond stamps of 30 fps alternate 33 and 34 ms: spacings this far from
// the usual one still belong to the regular flow, farther ones are gaps,
// repeats or damage.
constexpr double kRegularBand = 0.5;
// A declared rate is believed when it is this close to the measured one.
constexpr double kDeclaredAgrees = 0.02;
constexpr double kSnap = 0.005;
constexpr double kHighestRate = 1000.0;   // one picture a millisecond

// 15 is as common in FLV as the television rates.
constexpr double kCommonRates[] = {15, 24000.0 / 1001, 24, 25, 30000.0 / 1001, 30, 50, 60000.0 / 1001, 60};

}  // namespace

double MeasureFrameRate(std::vector<uint32_t>& times) {
    if (times.size() < 2) return 0;
    std::sort(times.begin(), times.end());
    std::vector<uint32_t> steps;
    steps.reserve(times.size() - 1);
    for (size_t i = 1; i < times.size(); ++i)
        if (times[i] > times[i - 1]) steps.push_back(times[i] - times[i - 1]);
    if (steps.empty()) return 0;
    const auto mid = steps.begin() + steps.size() / 2;
    std::nth_element(steps.begin(), mid, steps.end());
    const double usual = *mid;
    // The mean of the regular spacings keeps the fraction that millisecond
    // stamps round away (29.97 against 30).
    double sum = 0;
    size_t n = 0;
    for (uint32_t s : steps) {
        if (std::fabs(s - usual) <= usual * kRegularBand) {
            sum += s;
            ++n;
        }
    }
    return n > 0 && sum > 0 ? 1000.0 * double(n) / sum : 0;
}

double ChooseFrameRate(double measured, double declared) {
    double rate = measured;
    const bool declaredUsable = declared > 0 && declared <= kHighestRate;
    if (declaredUsable && (!(measured > 0) || std::fabs(declared - measured) <= measured * kDeclaredAgrees))
        rate = declared;
    if (!(rate > 0)) return 0;
    // 30 and 29.97 lie 0.1 % apart: the nearer one wins.
    double best = rate, bestDistance = kSnap;
    for (double common : kCommonRates) {
        const double distance = std::fabs(rate - common) / common;
        if (distance <= bestDistance) best = common, bestDistance = distance;
    }
    return best;
}
