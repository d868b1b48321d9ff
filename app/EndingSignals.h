// SIGTERM, SIGINT and SIGHUP (a session that ends, Ctrl-C in the terminal
// that started the window, a service manager) close the window as its close
// box does: the log file ends with its last whole row, the meter is closed
// and the settings are saved.
#pragma once

#include <functional>

class QObject;

namespace tirevo {

// From now on each of them runs action from the main loop, as long as owner
// lives (the window's close, say). The handlers only write to a pipe; the
// signal mask stays as it was, so programs started from here (the browser)
// get the signals as usual.
void OnEndingSignals(QObject* owner, std::function<void()> action);

}  // namespace tirevo
