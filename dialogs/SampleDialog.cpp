#include "SampleDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tirevo {

SampleDialog::SampleDialog(const QString& name, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Record sample"));
    setObjectName(QStringLiteral("RecordSampleDialog"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    edSample = new QLineEdit(name, this);
    form->addRow(QStringLiteral("Sample"), edSample);
    layout->addLayout(form);
    lbWaiting = new QLabel(this);
    lbWaiting->setMinimumWidth(280);
    lbWaiting->hide();
    layout->addWidget(lbWaiting);

    auto* buttons = new QDialogButtonBox(this);
    btnWhenStable = buttons->addButton(QStringLiteral("Record when stable"), QDialogButtonBox::AcceptRole);
    btnNow = buttons->addButton(QStringLiteral("Record now"), QDialogButtonBox::ActionRole);
    btnCancel = buttons->addButton(QDialogButtonBox::Cancel);
    btnCancel->setText(QStringLiteral("Cancel"));
    btnWhenStable->setDefault(true);
    layout->addWidget(buttons);
    // The buttons only ask; the window closes the dialog once recorded.
    connect(btnWhenStable, &QPushButton::clicked, this, &SampleDialog::RecordWhenStable);
    connect(btnNow, &QPushButton::clicked, this, &SampleDialog::RecordNow);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    edSample->selectAll();
    edSample->setFocus();
}

QString SampleDialog::Name() const { return edSample->text(); }

void SampleDialog::StartWaiting()
{
    waiting_ = true;
    // The name is fixed now; the wait can still be cut short by "Record now".
    edSample->setReadOnly(true);
    btnWhenStable->setEnabled(false);
    lbWaiting->show();
}

void SampleDialog::ShowWaiting(const QString& readingText, bool lost)
{
    if (!waiting_)
        return;
    if (lost)
        lbWaiting->setText(QStringLiteral("The meter is not responding; waiting for it to come back…"));
    else
        lbWaiting->setText(QStringLiteral("Waiting for a stable reading…  pH ") + readingText);
}

}  // namespace tirevo
