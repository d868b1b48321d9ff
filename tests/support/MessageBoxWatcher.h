// Watches for the program's modal message boxes while a test runs: records
// each one (caption, text, icon) and presses OK after a while, the way a user
// would, so that the real nested event loop of the box is exercised.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <vector>

struct SeenBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

class MessageBoxWatcher : public QObject {
public:
    explicit MessageBoxWatcher(int closeAfterMs = 0) : closeAfterMs_(closeAfterMs)
    {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
        timer_.start();
    }

    std::vector<SeenBox> seen;

    QStringList Texts() const
    {
        QStringList out;
        for (const auto& box : seen)
            out << box.text;
        return out;
    }

private:
    void Poll()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        if (box != current_) {
            current_ = box;
            open_.start();
            seen.push_back({box->windowTitle(), box->text(), box->icon()});
        }
        if (open_.elapsed() >= closeAfterMs_)
            box->done(QMessageBox::Ok);
    }

    QTimer timer_;
    QPointer<QMessageBox> current_;
    QElapsedTimer open_;
    int closeAfterMs_;
};
