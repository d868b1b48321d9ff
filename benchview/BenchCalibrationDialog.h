// "Calibrate" for one meter of the bench view: the two points of the main
// window's calibration page, each with its Apply button, and the line of the
// last point checked. The bench window sends the points and records them.
#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QToolButton;

namespace tirevo {

class BenchCalibrationDialog : public QDialog {
public:
    // point1, point2: the fields' first text.
    BenchCalibrationDialog(const QString& serial, const QString& point1, const QString& point2,
                           QWidget* parent);

    // Apply pressed: the point (1 or 2) and the field's text.
    std::function<void(int point, const QString& text)> Apply;
    // The state of the point sent last, or its result.
    void ShowResult(const QString& line);

    QLineEdit* edPH1 = nullptr;
    QLineEdit* edPH2 = nullptr;
    QToolButton* sbtCAL1 = nullptr;
    QToolButton* sbtCAL2 = nullptr;
    QLabel* lbCalibration = nullptr;
};

}  // namespace tirevo
