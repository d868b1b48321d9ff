// The calibration page: each apply button sends its point to the meter.
#include "MainFormUnit.h"

#include "Calibration.h"
#include "Messages.h"
#include "NumberText.h"

#include <QLineEdit>

void TMainForm::sbtCAL1Click() { ApplyCalibration(edPH1, "P1"); }

void TMainForm::sbtCAL2Click() { ApplyCalibration(edPH2, "P2"); }

void TMainForm::ApplyCalibration(QLineEdit* field, const char* prefix)
{
    Guarded([&] {
        const std::string text = ToLocal(field->text());
        const tirevo::NumberTextResult number = tirevo::ParseLocaleNumberText(text, Separators.decimal);
        if (number.status == tirevo::NumberTextStatus::NotANumber)
            throw AppError(tirevo::InvalidFloatText(text));
        if (number.status == tirevo::NumberTextStatus::Overflow)
            throw AppError(tirevo::kFloatingPointOverflow);
        if (number.value == 0)
            return;
        const tirevo::HundredthsResult hundredths = tirevo::CalibrationHundredths(number.value);
        switch (hundredths.status) {
        case tirevo::HundredthsStatus::Negative:
            // A minus sign inside the padded digits would be a malformed command.
            ShowMessage(QStringLiteral("Calibration value must not be negative"));
            return;
        case tirevo::HundredthsStatus::TooLarge:
            ShowMessage(QStringLiteral("Calibration value too large"));
            return;
        case tirevo::HundredthsStatus::Ok:
            break;
        }
        SendCommand(prefix + tirevo::ZeroPad(hundredths.hundredths, 4));
    });
}
