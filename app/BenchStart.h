// "tirevo --all": the bench view as the program's only window.
#pragma once

#include "SettingsLocation.h"

#include <QString>

namespace tirevo {

// Runs the bench view until it is closed; the exit code. noDriver: no
// converter driver could be bound (said once the view is up).
int RunBenchView(const QString& programPath, SettingsRule rule, bool noDriver);

}  // namespace tirevo
