// The calibration page: each apply button sends its point to the meter.
#include "MainFormUnit.h"

#include "Calibration.h"
#include "Messages.h"
#include "NumberText.h"

#include <QLineEdit>

namespace tirevo {

void TMainForm::sbtCAL1Click() { ApplyCalibration(edPH1, "P1"); }

void TMainForm::sbtCAL2Click() { ApplyCalibration(edPH2, "P2"); }

void TMainForm::ApplyCalibration(QLineEdit* field, const char* prefix)
{
    Guarded([&] {
        const std::string text = ToLocal(field->text());
        const NumberTextResult number = ParseLocaleNumberText(text, Separators.decimal);
        if (number.status == NumberTextStatus::NotANumber)
            throw AppError(InvalidFloatText(text));
        if (number.status == NumberTextStatus::Overflow)
            throw AppError(kFloatingPointOverflow);
        if (number.value == 0)
            return;
        const HundredthsResult hundredths = CalibrationHundredths(number.value);
        switch (hundredths.status) {
        case HundredthsStatus::Negative:
            // A minus sign inside the padded digits would be a malformed command.
            ShowMessage(QStringLiteral("Calibration value must not be negative"));
            return;
        case HundredthsStatus::TooLarge:
            ShowMessage(QStringLiteral("Calibration value too large"));
            return;
        case HundredthsStatus::Ok:
            break;
        }
        SendCommand(prefix + ZeroPad(hundredths.hundredths, 4));
    });
}

}  // namespace tirevo
