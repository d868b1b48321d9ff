// The electrode's state as a two-point calibration shows it: the meter
// reports pH only, so the as-found readings of the two buffers, read against
// the meter's last calibration, give the slope and offset of the change since.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tirevo {

inline constexpr double kMillivoltsPerPh = 59.16;
inline constexpr double kNeutralPh = 7.00;
inline constexpr int64_t kPairWindowMs =
    3600 * 1000;  // a point 1 and a point 2 belong together within an hour

enum class ElectrodeVerdict { Good, Clean, Replace };

// "good", "clean the electrode", "replace the electrode".
const char* ElectrodeVerdictText(ElectrodeVerdict verdict);

// Good with the slope within 95-105 % and the offset within ±30 mV, clean
// within 90-110 % and ±60 mV, else replace; the bounds belong to the better
// verdict. The figures are taken as shown, to 0.1.
ElectrodeVerdict JudgeElectrode(double slopePercent, double offsetMv);

struct ElectrodeFigures {
    double slopePercent = 0;
    double offsetPh = 0;  // the as-found line's error at pH 7.00
    double offsetMv = 0;
    ElectrodeVerdict verdict = ElectrodeVerdict::Good;
};

// From the buffers and as-found readings of point 1 and point 2; nothing when
// the buffers are the same.
std::optional<ElectrodeFigures> ElectrodeFromPoints(double buffer1, double asFound1, double buffer2,
                                                    double asFound2);

// A calibration row as the pairing needs it.
struct PairCandidate {
    int64_t utcMs = 0;
    std::string serial;
    int point = 1;
};

// Pairs of indexes (point 1, point 2) into rows: each point 1 takes the
// nearest point 2 of the same meter within an hour not already taken, in the
// order of the point 1 rows.
std::vector<std::pair<std::size_t, std::size_t>>
PairCalibrationPoints(const std::vector<PairCandidate>& rows);

}  // namespace tirevo
