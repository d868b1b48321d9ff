// The log reader over any bytes: rows read are consistent with each other
// and with the file's lines, complete lines read the same whatever follows
// them, and the figures and texts made from them stay sane.
#include "FuzzCheck.h"
#include "LogReader.h"
#include "TrendText.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr double kMillisPerDay = 86400000;
// Time stamps have four-digit years: 0000-01-01 to 9999-12-31, local time,
// and no zone is a day away from UTC.
const double kEarliest = double(tirevo::DaysFromCivil(0, 1, 1) - 1) * kMillisPerDay;
const double kLatest = double(tirevo::DaysFromCivil(10000, 1, 1) + 1) * kMillisPerDay;

void CheckSeries(const tirevo::LogSeries& series, std::string_view bytes)
{
    FUZZ_CHECK(series.keys.size() == series.values.size());
    const std::size_t lines = std::size_t(std::count(bytes.begin(), bytes.end(), '\n')) + 1;
    FUZZ_CHECK(series.keys.size() + series.skipped <= lines);
    for (std::size_t i = 0; i < series.keys.size(); ++i) {
        const double key = series.keys[i];
        FUZZ_CHECK(std::isfinite(series.values[i]));
        FUZZ_CHECK(key == std::floor(key));
        if (series.timeStamped) {
            FUZZ_CHECK(key >= kEarliest && key < kLatest);
            const std::string iso = tirevo::LocalIsoText(key);
            FUZZ_CHECK(iso.size() == 25 && iso[10] == 'T' && (iso[19] == '+' || iso[19] == '-'));
        } else {
            // Row numbers, rising, leaving room for the rows skipped between.
            FUZZ_CHECK(key >= 1 && key <= double(series.keys.size() + series.skipped));
            FUZZ_CHECK(i == 0 || key > series.keys[i - 1]);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const tirevo::LogSeries series = tirevo::ReadLogSeries(bytes);
    CheckSeries(series, bytes);

    // A file still being written: what its complete lines gave stays.
    const std::size_t lastEnd = bytes.rfind('\n');
    if (lastEnd != std::string_view::npos) {
        const tirevo::LogSeries complete = tirevo::ReadLogSeries(bytes.substr(0, lastEnd + 1));
        FUZZ_CHECK(complete.keys.size() <= series.keys.size());
        FUZZ_CHECK(std::equal(complete.keys.begin(), complete.keys.end(), series.keys.begin()));
        FUZZ_CHECK(std::equal(complete.values.begin(), complete.values.end(), series.values.begin()));
        FUZZ_CHECK(complete.skipped <= series.skipped);
    }

    std::vector<std::size_t> rows(series.keys.size());
    std::iota(rows.begin(), rows.end(), std::size_t{0});
    const tirevo::TrendFigures figures = tirevo::ComputeTrendFigures(
        rows.begin(), rows.end(), [&](std::size_t i) { return series.keys[i]; },
        [&](std::size_t i) { return series.values[i]; });
    FUZZ_CHECK(figures.n == series.keys.size());
    FUZZ_CHECK(figures.min <= figures.max);
    const std::string line = tirevo::TrendFiguresLine(figures, ',', 60, "pH/min");
    FUZZ_CHECK(line.starts_with("n " + std::to_string(figures.n) + "   min "));
    std::string csv;
    for (std::size_t i = 0; i < series.keys.size() && i < 64; ++i)
        tirevo::AppendTrendCsvRow(csv, series.keys[i], series.values[i], series.timeStamped);
    return 0;
}
