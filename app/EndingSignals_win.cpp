// Windows: a window program has no console, so Ctrl+C and its kin never
// reach it. "taskkill" without /f sends WM_CLOSE, which arrives as the close
// box's event anyway. At the end of the session Qt announces the quit with
// aboutToQuit and the system ends the process right after: the action runs
// then, so that the log ends with its last whole row and the settings are
// saved. The action must do nothing harmful when the window is closed by
// then (after an ordinary close the same signal comes too).
#include "EndingSignals.h"

#include <QCoreApplication>

namespace tirevo {

void OnEndingSignals(QObject* owner, std::function<void()> action)
{
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, owner, std::move(action));
}

}  // namespace tirevo
