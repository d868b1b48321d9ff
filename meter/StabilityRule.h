// When a reading can be trusted: the electrode has been in the solution long
// enough and the readings of the last few seconds stay within a narrow band.
// The window, tirevo-cli and the records all ask this one rule, so "Stable"
// means the same everywhere.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

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
    // How often the meter is asked for a reading; 0 when not known (the rule
    // then judges whatever comes).
    uint32_t pollIntervalMs = 0;

    // Whether readings taken every pollIntervalMs can be judged: only a
    // window of at least two intervals is sure to hold two readings, and a
    // window holding one reading has a span of 0 whatever the meter does.
    bool Judged() const;
};

// A reading is stable when the first reading since the link was (re)started
// is at least W old, and the readings at or after now - W (now being the
// reading's own time, the reading included) are at least two and span at
// most B. Values are compared in hundredths, as the reading is shown, so a
// band of 0.02 takes a span of exactly 0.02 and nothing of binary fractions
// decides. At a poll interval the window is too short for (see Judged()),
// no reading is stable.
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

// "the stability window (2 s) must be at least twice the poll interval (3 s)":
// why a run that waits for a stable reading cannot start.
std::string StabilityWindowRefusal(const StabilityParams& params);
// "stability is not judged: the 10 s window is shorter than twice the 60 s
// poll interval": said once where readings go on without a verdict.
std::string StabilityNotJudgedText(const StabilityParams& params);
// Milliseconds as seconds for these texts: 3000 is "3 s", 1500 "1.5 s".
std::string StabilitySecondsText(int64_t ms);

// The reading in hundredths as it is shown: 7.125 is 713, 1.005 is 100.
int64_t ReadingHundredths(double value);

}  // namespace tirevo
