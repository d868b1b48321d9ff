// A window connected to the simulated meter whose timers are left to the
// test: the meter answers only what the test injects, and each call of
// Timer2Timer() is one reception tick.
#pragma once

#include "MainFormUnit.h"
#include "SimControl.h"

#include <QTemporaryDir>
#include <QTimer>

#include <memory>

// clock: the link's clock and the stamps of its readings (a VirtualClock);
// none means the system's.
inline std::unique_ptr<tirevo::TMainForm> StartQuietWindow(const QTemporaryDir& dir,
                                                           tirevo::MeterClock* clock = nullptr)
{
    sim::SetAutoReply(false);
    auto form = std::make_unique<tirevo::TMainForm>(dir.path() + QStringLiteral("/tirevo"), nullptr, clock);
    form->show();
    form->Timer1->stop();
    form->Timer2->stop();
    return form;
}
