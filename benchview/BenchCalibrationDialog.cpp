#include "BenchCalibrationDialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

namespace tirevo {

namespace {

constexpr int kResultWidth = 260;

}  // namespace

BenchCalibrationDialog::BenchCalibrationDialog(const QString& serial, const QString& point1,
                                               const QString& point2, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Calibrate ") + serial);
    auto* grid = new QGridLayout(this);
    const auto row = [&](int index, const QString& text, QLineEdit*& field, QToolButton*& apply) {
        grid->addWidget(new QLabel(QStringLiteral("Calibration point %1").arg(index), this), index - 1, 0);
        field = new QLineEdit(text, this);
        grid->addWidget(field, index - 1, 1);
        apply = new QToolButton(this);
        apply->setIcon(QIcon(QStringLiteral(":/apply.png")));
        apply->setToolTip(QStringLiteral("Apply"));
        grid->addWidget(apply, index - 1, 2);
        connect(apply, &QToolButton::clicked, this, [this, index, field] {
            if (Apply)
                Apply(index, field->text());
        });
    };
    row(1, point1, edPH1, sbtCAL1);
    row(2, point2, edPH2, sbtCAL2);
    lbCalibration = new QLabel(this);
    lbCalibration->setMinimumWidth(kResultWidth);
    lbCalibration->setWordWrap(true);
    grid->addWidget(lbCalibration, 2, 0, 1, 3);
}

void BenchCalibrationDialog::ShowResult(const QString& line) { lbCalibration->setText(line); }

}  // namespace tirevo
