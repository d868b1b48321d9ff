// "Alarm limits": the high and low limits, each with a box that turns it on,
// the delay and the hysteresis. Numbers are entered and shown with the
// locale's decimal separator.
#pragma once

#include "AlarmSettings.h"

#include <QDialog>

class QCheckBox;
class QDoubleSpinBox;
class QSpinBox;

namespace tirevo {

class AlarmDialog : public QDialog {
    Q_OBJECT
public:
    AlarmDialog(const AlarmSettings& settings, char decimalSeparator, QWidget* parent = nullptr);

    AlarmSettings Values() const;

    QCheckBox* cbHigh = nullptr;
    QDoubleSpinBox* edHigh = nullptr;
    QCheckBox* cbLow = nullptr;
    QDoubleSpinBox* edLow = nullptr;
    QSpinBox* edDelay = nullptr;
    QDoubleSpinBox* edHysteresis = nullptr;

public slots:
    // Refuses limits the wrong way round, with a message, and stays open.
    void accept() override;

private:
    char decimalSeparator_;
};

}  // namespace tirevo
