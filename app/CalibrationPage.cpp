// The calibration page: each apply button sends its point to the meter.
#include "MainFormUnit.h"

#include "Calibration.h"
#include "Messages.h"

#include <QLineEdit>

namespace tirevo {

void TMainForm::sbtCAL1Click() { ApplyCalibration(edPH1, 1); }

void TMainForm::sbtCAL2Click() { ApplyCalibration(edPH2, 2); }

void TMainForm::ApplyCalibration(QLineEdit* field, int point)
{
    Guarded([&] {
        const CalibrationCommandResult result =
            CalibrationCommandFromText(point, ToLocal(field->text()), Separators.decimal);
        switch (result.status) {
        case CalibrationStatus::Ok:
            SendCommand(result.command);
            return;
        case CalibrationStatus::NotANumber:
        case CalibrationStatus::Overflow:
            throw AppError(result.errorText);
        case CalibrationStatus::Zero:
            return;
        case CalibrationStatus::Negative:
        case CalibrationStatus::TooLarge:
            ShowMessage(QString::fromLatin1(result.errorText.c_str()));
            return;
        }
    });
}

}  // namespace tirevo
