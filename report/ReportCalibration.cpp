#include "ReportCalibration.h"

#include <cmath>
#include <cstdlib>

namespace tirevo {

namespace {

constexpr double kGoodSlopeMin = 95.0;
constexpr double kGoodSlopeMax = 105.0;
constexpr double kGoodOffsetMv = 30.0;
constexpr double kCleanSlopeMin = 90.0;
constexpr double kCleanSlopeMax = 110.0;
constexpr double kCleanOffsetMv = 60.0;

// To one decimal, as the report shows it: a figure printed "105.0" is judged
// as 105.0, never as the 105.00000001 the arithmetic left.
double Shown(double value) { return std::round(value * 10.0) / 10.0; }

}  // namespace

const char* ElectrodeVerdictText(ElectrodeVerdict verdict)
{
    switch (verdict) {
    case ElectrodeVerdict::Good:
        return "good";
    case ElectrodeVerdict::Clean:
        return "clean the electrode";
    case ElectrodeVerdict::Replace:
        break;
    }
    return "replace the electrode";
}

ElectrodeVerdict JudgeElectrode(double slopePercent, double offsetMv)
{
    const double slope = Shown(slopePercent);
    const double offset = std::fabs(Shown(offsetMv));
    if (slope >= kGoodSlopeMin && slope <= kGoodSlopeMax && offset <= kGoodOffsetMv)
        return ElectrodeVerdict::Good;
    if (slope >= kCleanSlopeMin && slope <= kCleanSlopeMax && offset <= kCleanOffsetMv)
        return ElectrodeVerdict::Clean;
    return ElectrodeVerdict::Replace;
}

std::optional<ElectrodeFigures> ElectrodeFromPoints(double buffer1, double asFound1, double buffer2,
                                                    double asFound2)
{
    const double span = buffer2 - buffer1;
    if (std::fabs(span) < 1e-9)
        return std::nullopt;
    ElectrodeFigures out;
    const double gain = (asFound2 - asFound1) / span;
    out.slopePercent = gain * 100.0;
    out.offsetPh = asFound1 + (kNeutralPh - buffer1) * gain - kNeutralPh;
    out.offsetMv = out.offsetPh * kMillivoltsPerPh;
    out.verdict = JudgeElectrode(out.slopePercent, out.offsetMv);
    return out;
}

std::vector<std::pair<std::size_t, std::size_t>> PairCalibrationPoints(const std::vector<PairCandidate>& rows)
{
    std::vector<std::pair<std::size_t, std::size_t>> pairs;
    std::vector<bool> taken(rows.size(), false);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].point != 1)
            continue;
        std::optional<std::size_t> best;
        int64_t bestGap = 0;
        for (std::size_t j = 0; j < rows.size(); ++j) {
            if (taken[j] || rows[j].point != 2 || rows[j].serial != rows[i].serial)
                continue;
            const int64_t gap = std::llabs(rows[j].utcMs - rows[i].utcMs);
            if (gap > kPairWindowMs || (best && gap >= bestGap))
                continue;
            best = j;
            bestGap = gap;
        }
        if (best) {
            taken[*best] = true;
            pairs.emplace_back(i, *best);
        }
    }
    return pairs;
}

}  // namespace tirevo
