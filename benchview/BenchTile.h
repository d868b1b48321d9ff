// One meter's tile in the bench view: its serial number and description, the
// reading in the main window's large digits, "Stable" or "Settling", the
// alarm, "Calibration due" and, while the meter is lost, "not responding" or
// "reconnecting". Its actions come from a context menu, from buttons shown
// while the pointer is over the tile or the tile has the focus, and from
// Enter, which opens the menu.
#pragma once

#include <QFrame>

#include <functional>
#include <string>

class QLabel;
class QMenu;
class QToolButton;

namespace tirevo {

class BenchMeter;

enum class TileAction { RecordSample, ShowTrend, Calibrate, AlarmLimits, Remove };

class BenchTile : public QFrame {
public:
    BenchTile(const std::string& serial, QWidget* parent);

    const std::string& Serial() const { return serial_; }
    // Shows the meter's state now; decimal: the locale's separator.
    void ShowMeter(const BenchMeter& meter, char decimal);
    // Whether an alarm of the meter is raised (the tile is drawn red).
    bool Alarmed() const { return alarmed_; }
    // The tile's menu, as the right button and Enter open it.
    QMenu* Menu();

    // Where the tile's actions go.
    std::function<void(TileAction)> Chosen;

    QLabel* lbSerial = nullptr;
    QLabel* lbDescription = nullptr;
    QLabel* lbReading = nullptr;
    QLabel* lbState = nullptr;
    QLabel* lbDue = nullptr;
    QToolButton* btnSample = nullptr;
    QToolButton* btnTrend = nullptr;
    QToolButton* btnCalibrate = nullptr;
    QToolButton* btnAlarm = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QToolButton* ActionButton(const char* icon, const QString& hint, TileAction action);
    void ShowButtons();
    void Choose(TileAction action);

    std::string serial_;
    bool alarmed_ = false;
    bool lost_ = false;
    QMenu* menu_ = nullptr;
    QAction* removeAction_ = nullptr;
};

}  // namespace tirevo
