#include "StabilityRule.h"

#include "ReadingText.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace tirevo {

namespace {

constexpr int64_t kMsPerSecond = 1000;

}  // namespace

int64_t ReadingHundredths(double value)
{
    // The shown text decides, with its rounding of halves on the decimal
    // form; only values too large for two decimals fall back to arithmetic.
    const std::string text = FormatReading(value, '.');
    const std::size_t point = text.find('.');
    if (point == std::string::npos || text.size() != point + 3 || text.find('E') != std::string::npos)
        return std::isfinite(value) ? std::llround(value * 100.0) : 0;
    const bool negative = text[0] == '-';
    int64_t whole = 0;
    for (std::size_t i = negative ? 1 : 0; i < point; ++i)
        whole = whole * 10 + (text[i] - '0');
    const int64_t hundredths = whole * 100 + (text[point + 1] - '0') * 10 + (text[point + 2] - '0');
    return negative ? -hundredths : hundredths;
}

bool StabilityParams::Judged() const
{
    return pollIntervalMs == 0 ||
        static_cast<int64_t>(windowS) * kMsPerSecond >= 2 * static_cast<int64_t>(pollIntervalMs);
}

std::string StabilitySecondsText(int64_t ms)
{
    std::string text = std::to_string(ms / kMsPerSecond);
    if (ms % kMsPerSecond != 0) {
        std::string fraction = std::to_string(kMsPerSecond + ms % kMsPerSecond).substr(1);
        while (fraction.back() == '0')
            fraction.pop_back();
        text += "." + fraction;
    }
    return text + " s";
}

std::string StabilityWindowRefusal(const StabilityParams& params)
{
    return "the stability window (" + StabilitySecondsText(params.windowS * kMsPerSecond) +
        ") must be at least twice the poll interval (" + StabilitySecondsText(params.pollIntervalMs) + ")";
}

std::string StabilityNotJudgedText(const StabilityParams& params)
{
    return "stability is not judged: the " + StabilitySecondsText(params.windowS * kMsPerSecond) +
        " window is shorter than twice the " + StabilitySecondsText(params.pollIntervalMs) + " poll interval";
}

StabilityRule::StabilityRule(StabilityParams params) : params_(params) {}

void StabilityRule::Restart()
{
    hasReadings_ = false;
    highs_.clear();
    lows_.clear();
    stable_ = false;
}

bool StabilityRule::Add(int64_t atMs, double value)
{
    // A clock that went back leaves the ages of the earlier readings unknown;
    // starting afresh can only delay "Stable", never claim it falsely.
    if (hasReadings_ && atMs < lastMs_)
        Restart();
    // One reading alone spans nothing: a meter swinging between two values
    // would look steady. The reading before this one is the second in the
    // window when it lies in it, so no list of times is kept.
    const bool hadReading = hasReadings_;
    const int64_t previousMs = lastMs_;
    if (!hasReadings_)
        firstMs_ = atMs;
    hasReadings_ = true;
    lastMs_ = atMs;

    const Entry entry{atMs, ReadingHundredths(value)};
    while (!highs_.empty() && highs_.back().hundredths <= entry.hundredths)
        highs_.pop_back();
    highs_.push_back(entry);
    while (!lows_.empty() && lows_.back().hundredths >= entry.hundredths)
        lows_.pop_back();
    lows_.push_back(entry);

    const int64_t windowMs = static_cast<int64_t>(params_.windowS) * kMsPerSecond;
    const int64_t from = atMs - windowMs;
    while (highs_.front().atMs < from)
        highs_.pop_front();
    while (lows_.front().atMs < from)
        lows_.pop_front();

    const int64_t span = highs_.front().hundredths - lows_.front().hundredths;
    const bool twoInWindow = hadReading && previousMs >= from;
    stable_ =
        params_.Judged() && twoInWindow && atMs - firstMs_ >= windowMs && span <= params_.bandHundredths;
    return stable_;
}

}  // namespace tirevo
