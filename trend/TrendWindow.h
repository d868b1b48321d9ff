// The trend window: the readings as a line over time with the figures of
// the span in view, for the live readings or a log file. Built into the
// trend module only, so the program does not load the plotting library
// before the window is first opened.
#pragma once

#include "TrendOverview.h"
#include "TrendText.h"
#include "TrendView.h"

#include <qcustomplot.h>

#include <QSharedPointer>
#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;

namespace tirevo {

class TrendWindow : public QWidget, public TrendView {
public:
    explicit TrendWindow(QWidget* parent);

    // TrendView
    QWidget* Window() override { return this; }
    void ShowLive(const TrendSeries& series) override;
    void AddLive(const TrendPoint& point, const std::optional<TrendPoint>& dropped, bool stable) override;
    void OpenLog(const QString& path) override;

    // What the user can press, for the tests.
    QPushButton* OpenButton() const { return openButton_; }
    QPushButton* FitButton() const { return fitButton_; }
    QPushButton* LiveButton() const { return liveButton_; }
    QCustomPlot* Plot() const { return plot_; }
    QString FiguresText() const;
    QString SourceText() const;
    const TrendFigures& Figures() const { return figures_; }
    bool Following() const { return following_; }
    bool TimeKeys() const { return shown_->timeKeys; }
    // The chart draws the thinned copy (far more points in view than pixels).
    bool DrawingOverview() const { return graph_->data() == shown_->overviewData; }
    // The shaded stable spans of the live readings (empty for a log).
    QCPGraph* StableShading() const { return stableGraph_; }

    // Writes the chart as PNG, or the points in view as CSV; false with the
    // reason in error when the file cannot be written.
    bool SaveImage(const QString& path, QString& error);
    bool SaveData(const QString& path, QString& error);
    // Writes the report of the meter and span in view (the log's meter, the
    // log's folder; every meter in the current folder for the live
    // readings) as PDF through the report module.
    bool SaveReport(const QString& path, QString& error);
    void SetRecordsFolder(const QString& folder) override { recordsFolder_ = folder; }
    QPushButton* SaveReportButton() const { return saveReportButton_; }
    // Shows everything again and follows new live points.
    void Fit();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildControls();
    // A series the window can show: the live readings or a log file.
    struct Source {
        QSharedPointer<QCPGraphDataContainer> data = QSharedPointer<QCPGraphDataContainer>::create();
        TrendOverview overview;
        QSharedPointer<QCPGraphDataContainer> overviewData = QSharedPointer<QCPGraphDataContainer>::create();
        bool overviewStale = true;
        bool timeKeys = true;
        QString label;
    };

    void showSource(Source& source);
    void showLiveSource();
    void drawDense(bool dense);
    void openLogClicked();
    void saveImageClicked();
    void saveDataClicked();
    void saveReportClicked();
    void userMovedView();
    void viewChanged();
    void updateTimeFormat(double span);
    void guarded(const std::function<void()>& body);
    void report(const QString& text);

    QCustomPlot* plot_ = nullptr;
    QCPGraph* graph_ = nullptr;
    QCPGraph* stableGraph_ = nullptr;
    // The stable spans as the shading draws them: per span its start and
    // end at 1 on a hidden 0..1 axis, then a gap.
    QSharedPointer<QCPGraphDataContainer> stableData_ = QSharedPointer<QCPGraphDataContainer>::create();
    bool lastStable_ = false;
    void addStable(double key, bool stable);
    QLabel* sourceLabel_ = nullptr;
    QLabel* figuresLabel_ = nullptr;
    QPushButton* openButton_ = nullptr;
    QPushButton* saveImageButton_ = nullptr;
    QPushButton* saveDataButton_ = nullptr;
    QPushButton* saveReportButton_ = nullptr;
    QPushButton* fitButton_ = nullptr;
    QPushButton* liveButton_ = nullptr;

    Source live_;
    Source log_;
    Source* shown_ = &live_;
    bool hasLive_ = false;
    bool showingLive_ = false;
    bool following_ = true;
    TrendFigures figures_;
    char decimal_ = '.';
    QString recordsFolder_;
    QString logPath_;    // the log shown, for its folder
    QString logSerial_;  // its meter, as its header says
};

}  // namespace tirevo
