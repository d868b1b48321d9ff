#include "Messages.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

namespace tirevo {

namespace {

void ShowCentred(QMessageBox& box)
{
    box.setWindowTitle(QString::fromLatin1(kAppTitle));
    box.setStandardButtons(QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.adjustSize();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        box.move(area.center() - QPoint(box.width() / 2, box.height() / 2));
    }
    // A nested event loop: the timers keep running behind the box.
    box.exec();
}

}  // namespace

std::string WithFullStop(const std::string& text)
{
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.')
        return text + '.';
    return text;
}

void ShowMessage(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QString(), text);
    ShowCentred(box);
}

void ReportError(const std::string& text)
{
    QMessageBox box(QMessageBox::Critical, QString(), FromLocal(WithFullStop(text)));
    ShowCentred(box);
}

QString FromLocal(const std::string& text)
{
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToLocal(const QString& text) { return text.toLocal8Bit().toStdString(); }

}  // namespace tirevo
