// "Alarm limits": the high and low limits, each with a box that turns it on,
// the delay and the hysteresis. Numbers are entered and shown with the
// locale's decimal separator.
#pragma once

#include "AlarmSettings.h"

#include <QDialog>

#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QDoubleSpinBox;
class QSpinBox;

namespace tirevo {

class AlarmDialog : public QDialog {
    Q_OBJECT
public:
    // meterNote, when not empty, is shown under the fields (MeterLimitsNote()).
    AlarmDialog(const AlarmSettings& settings, char decimalSeparator, QWidget* parent = nullptr,
                const QString& meterNote = QString());

    AlarmSettings Values() const;

    QCheckBox* cbHigh = nullptr;
    QDoubleSpinBox* edHigh = nullptr;
    QCheckBox* cbLow = nullptr;
    QDoubleSpinBox* edLow = nullptr;
    QSpinBox* edDelay = nullptr;
    QDoubleSpinBox* edHysteresis = nullptr;
    // Says that the open meter's own section overrides some of these; hidden
    // when it overrides none.
    QLabel* lbMeterLimits = nullptr;

public slots:
    // Refuses limits the wrong way round, with a message, and stays open.
    void accept() override;

private:
    char decimalSeparator_;
};

// The dialog sets [Alarm]; a meter with a section of its own keeps the keys
// that section holds whatever is set here. The line that says so
// ("This meter has its own limits in [Alarm A1B2C3]: High, Delay."), or an
// empty text when the section holds none.
QString MeterLimitsNote(const std::string& section, const std::vector<std::string>& keys);

}  // namespace tirevo
