// When a reading can be trusted: the electrode has been in the solution long
// enough and the readings of the last few seconds stay within a narrow band.
// The window, tirevo-cli and the records all ask this one rule, so "Stable"
// means the same everywhere.
#pragma once

#include <cstdint>
#include <deque>

namespace tirevo {

struct StabilityParams {
    static constexpr int kDefaultWindowS = 10;
    static constexpr int kDefaultBandHundredths = 2;
    static constexpr int kMinWindowS = 1;
    static constexpr int kMaxWindowS = 600;
    static constexpr int kMinBandHundredths = 1;
    static constexpr int kMaxBandHundredths = 100;

    int windowS = kDefaultWindowS;                // W, seconds
    int bandHundredths = kDefaultBandHundredths;  // B, hundredths of pH
};

// A reading is stable when the first reading since the link was (re)started
// is at least W old, and the readings at or after now - W (now being the
// reading's own time, the reading included) span at most B. Values are
// compared in hundredths, as the reading is shown, so a band of 0.02 takes
// a span of exactly 0.02 and nothing of binary fractions decides.
class StabilityRule {
public:
    explicit StabilityRule(StabilityParams params = {});

    const StabilityParams& Params() const { return params_; }

    // Takes one reading: atMs on a monotonic clock, value as parsed. Returns
    // whether this reading is stable.
    bool Add(int64_t atMs, double value);
    // The link was lost or opened anew: the next reading starts afresh.
    void Restart();

    bool Stable() const { return stable_; }
    // At least one reading since the last (re)start.
    bool HasReadings() const { return hasReadings_; }

private:
    struct Entry {
        int64_t atMs;
        int64_t hundredths;
    };

    StabilityParams params_;
    bool hasReadings_ = false;
    int64_t firstMs_ = 0;
    int64_t lastMs_ = 0;
    bool stable_ = false;
    // Readings of the window in time order whose values only fall (for the
    // highest) or only rise (for the lowest): the front is the extreme, and
    // each reading is added and dropped once, whatever W and the rate.
    std::deque<Entry> highs_;
    std::deque<Entry> lows_;
};

// The reading in hundredths as it is shown: 7.125 is 713, 1.005 is 100.
int64_t ReadingHundredths(double value);

}  // namespace tirevo
