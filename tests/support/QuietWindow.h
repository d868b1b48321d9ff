// A window connected to the simulated meter whose timers are left to the
// test: the meter answers only what the test injects, and each call of
// Timer2Timer() is one reception tick.
#pragma once

#include "MainFormUnit.h"
#include "SimControl.h"

#include <QTemporaryDir>
#include <QTimer>

#include <memory>

inline std::unique_ptr<tirevo::TMainForm> StartQuietWindow(const QTemporaryDir& dir)
{
    sim::SetAutoReply(false);
    auto form = std::make_unique<tirevo::TMainForm>(dir.path() + QStringLiteral("/tirevo"));
    form->show();
    form->Timer1->stop();
    form->Timer2->stop();
    return form;
}
