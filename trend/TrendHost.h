// The program's side of the trend: it keeps the live series from the first
// reading on, and loads the trend module and makes its window only when the
// trend is first shown.
#pragma once

#include "TrendSeries.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QWidget;

namespace tirevo {

class TrendView;

class TrendHost : public QObject {
public:
    // owner: the window the trend window closes with (none when the trend
    // window is the program's only window).
    explicit TrendHost(QWidget* owner);
    ~TrendHost() override;

    // A reading with the time it was taken at (any time zone, and earlier
    // than the reading before when the clock was set back) and whether it
    // was stable.
    void AddReading(double ph, const QDateTime& takenAt, bool stable = false);
    // The local time now, from Clock when set (tests drive a virtual clock).
    QDateTime Now() const { return Clock ? Clock() : QDateTime::currentDateTime(); }
    std::function<QDateTime()> Clock;
    // Opens the trend window on the live readings, or brings it to the front.
    // Gives the text to show when the trend module cannot be loaded.
    std::optional<QString> Show();
    // Opens the trend window on a log file.
    std::optional<QString> ShowLog(const QString& path);
    // The records folder the window's reports read, now and once it is made.
    void SetRecordsFolder(const QString& folder);

    const TrendSeries& Series() const { return series_; }
    // The trend window once made, else none.
    QWidget* Window() const;

    // Where the module is looked for, in order: beside the program, then in
    // the library folder of its installation prefix.
    static QStringList ModuleCandidates();
    // Tests load the module from the build tree instead.
    static void SetModuleFile(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::optional<QString> makeView();

    QWidget* owner_;
    TrendSeries series_;
    TrendView* view_ = nullptr;
    bool live_ = false;
    QString recordsFolder_;
};

// "tirevo --trend [FILE]": the file to show (empty without one), or nothing
// when the program starts as usual.
std::optional<QString> TrendFileArgument(const QStringList& arguments);

}  // namespace tirevo
