#include "AlarmDialog.h"

#include "Messages.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

namespace tirevo {

namespace {

// Shown in a limit's field while it is off, until the user sets one.
constexpr double kHighSuggestion = 8.0;
constexpr double kLowSuggestion = 6.0;

QDoubleSpinBox* PhField(QWidget* parent, double min, double max, double value, const QString& suffix = {})
{
    auto* field = new QDoubleSpinBox(parent);
    field->setDecimals(2);
    field->setRange(min, max);
    field->setSingleStep(0.01);
    field->setValue(value);
    field->setSuffix(suffix);
    field->setGroupSeparatorShown(false);
    return field;
}

}  // namespace

AlarmDialog::AlarmDialog(const AlarmSettings& settings, char decimalSeparator, QWidget* parent,
                         const QString& meterNote)
    : QDialog(parent), decimalSeparator_(decimalSeparator)
{
    setWindowTitle(QStringLiteral("Alarm limits"));
    auto* form = new QFormLayout;

    cbHigh = new QCheckBox(QStringLiteral("&High"), this);
    cbHigh->setChecked(settings.high.has_value());
    edHigh = PhField(this, kAlarmLimitMin, kAlarmLimitMax, settings.high.value_or(kHighSuggestion));
    edHigh->setEnabled(cbHigh->isChecked());
    connect(cbHigh, &QCheckBox::toggled, edHigh, &QWidget::setEnabled);
    form->addRow(cbHigh, edHigh);

    cbLow = new QCheckBox(QStringLiteral("&Low"), this);
    cbLow->setChecked(settings.low.has_value());
    edLow = PhField(this, kAlarmLimitMin, kAlarmLimitMax, settings.low.value_or(kLowSuggestion));
    edLow->setEnabled(cbLow->isChecked());
    connect(cbLow, &QCheckBox::toggled, edLow, &QWidget::setEnabled);
    form->addRow(cbLow, edLow);

    edDelay = new QSpinBox(this);
    edDelay->setRange(0, kAlarmDelayMaxS);
    edDelay->setValue(settings.delayS);
    edDelay->setSuffix(QStringLiteral(" s"));
    form->addRow(QStringLiteral("&Delay"), edDelay);

    edHysteresis = PhField(this, 0, kAlarmHysteresisMax, settings.hysteresis, QStringLiteral(" pH"));
    form->addRow(QStringLiteral("H&ysteresis"), edHysteresis);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &AlarmDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &AlarmDialog::reject);

    lbMeterLimits = new QLabel(meterNote, this);
    lbMeterLimits->setVisible(!meterNote.isEmpty());

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(lbMeterLimits);
    layout->addWidget(buttons);
    setSizeGripEnabled(false);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

AlarmSettings AlarmDialog::Values() const
{
    AlarmSettings settings;
    if (cbHigh->isChecked())
        settings.high = edHigh->value();
    if (cbLow->isChecked())
        settings.low = edLow->value();
    settings.delayS = edDelay->value();
    settings.hysteresis = edHysteresis->value();
    return settings;
}

void AlarmDialog::accept()
{
    if (const std::optional<std::string> problem = AlarmSettingsProblem(Values(), decimalSeparator_)) {
        ShowMessage(FromLocal(*problem));
        return;
    }
    QDialog::accept();
}

QString MeterLimitsNote(const std::string& section, const std::vector<std::string>& keys)
{
    if (keys.empty())
        return QString();
    std::string text = "This meter has its own limits in [" + section + "]: ";
    for (std::size_t i = 0; i < keys.size(); ++i)
        text.append(i ? ", " : "").append(keys[i]);
    text += ".";
    // A section name is printable ASCII.
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace tirevo
