// What the program and the bench view module share: the setup the program
// hands over, the window the module makes, and the two functions it exports.
// The program loads the module only when the bench view is first opened, so
// that the one-meter window costs nothing more for it.
#pragma once

#include <cstdint>
#include <string>

class QWidget;
struct FTDriverTable;

namespace tirevo {

class MeterClock;
class MeterSession;

struct BenchViewSetup {
    std::string iniPath;        // the settings file, read for the rules and written for the view's keys
    std::string recordsFolder;  // samples.csv, calibrations.csv
    bool createRecordsFolder = false;
    std::string logFolder;  // "Log all" writes here; empty: the current folder
    // The program's bound driver: the module's own copy of the device layer
    // calls the program's, so both work on one set of converters.
    const FTDriverTable* driver = nullptr;
    // The main window's meter, shown in the view through the main window's
    // session; none when it has none.
    MeterSession* shared = nullptr;
    std::string sharedDescription;
    // Tests drive the view on a virtual clock; none means the system's.
    MeterClock* clock = nullptr;
};

class BenchView {
public:
    virtual ~BenchView() = default;
    // The top-level window.
    virtual QWidget* Window() = 0;
    // Lets the meters go and hides the window: the main window ends, and
    // with it the session the view may share.
    virtual void End() = 0;
    // The setup as it is now, for the next time the view opens its meters
    // (the main window may have connected or lost its meter meanwhile); no
    // change while they are open.
    virtual void Renew(const BenchViewSetup& setup) = 0;
};

// Bumped whenever the setup or the calls above change, so that a stale module
// installed beside a newer program is refused instead of called wrongly.
inline constexpr int kBenchViewVersion = 1;

}  // namespace tirevo

extern "C" {
// The module's exports: its interface version, and a new bench view (parent:
// the window it closes with, or none).
using TirevoBenchVersionFn = int (*)();
using TirevoBenchCreateFn = tirevo::BenchView* (*)(const tirevo::BenchViewSetup& setup, QWidget* parent);
}
