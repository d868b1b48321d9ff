// "Record sample": the name of the sample, and whether to record the reading
// now or at the first stable reading. The window does the recording; the
// dialog only asks and, while it waits, shows the live reading.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tirevo {

class SampleDialog : public QDialog {
    Q_OBJECT
public:
    SampleDialog(const QString& name, QWidget* parent);

    QLineEdit* edSample = nullptr;
    QPushButton* btnWhenStable = nullptr;
    QPushButton* btnNow = nullptr;
    QPushButton* btnCancel = nullptr;
    QLabel* lbWaiting = nullptr;

    QString Name() const;
    // From "Record when stable" on until it closes.
    bool Waiting() const { return waiting_; }
    void StartWaiting();
    // The live reading while waiting; lost: the meter is not answering.
    void ShowWaiting(const QString& readingText, bool lost);

signals:
    void RecordWhenStable();
    void RecordNow();

private:
    bool waiting_ = false;
};

}  // namespace tirevo
