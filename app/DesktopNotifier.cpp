#include "DesktopNotifier.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QImage>
#include <QVariantMap>

namespace tirevo {

namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr const char* kAppName = "tirevo";
constexpr int kIconSize = 64;
constexpr int kBitsPerSample = 8;
constexpr int kChannels = 4;

// The program's icon as the service's "image-data" hint: width, height, row
// stride, alpha, bits per sample, channels and the RGBA bytes. An installed
// program also has its icon in the theme under its name; the pixels make the
// notification carry it from a build folder too.
struct IconPixels {
    QImage image;
};

QDBusArgument& operator<<(QDBusArgument& argument, const IconPixels& icon)
{
    argument.beginStructure();
    argument << icon.image.width() << icon.image.height() << static_cast<int>(icon.image.bytesPerLine())
             << true << kBitsPerSample << kChannels
             << QByteArray(reinterpret_cast<const char*>(icon.image.constBits()),
                           static_cast<qsizetype>(icon.image.sizeInBytes()));
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, IconPixels&) { return argument; }

}  // namespace

}  // namespace tirevo

Q_DECLARE_METATYPE(tirevo::IconPixels)

namespace tirevo {

void DesktopNotifier::Send(const QString& summary, const QString& body, Urgency urgency)
{
    // Connected on the first notification, not at start: most runs never
    // send one.
    if (!triedBus_) {
        triedBus_ = true;
        haveBus_ = QDBusConnection::sessionBus().isConnected();
        qDBusRegisterMetaType<IconPixels>();
    }
    if (!haveBus_)
        return;
    static const IconPixels icon{
        QImage(QStringLiteral(":/tirevo.png"))
            .scaled(kIconSize, kIconSize, Qt::KeepAspectRatio, Qt::SmoothTransformation)
            .convertToFormat(QImage::Format_RGBA8888)};
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(static_cast<uchar>(urgency)));
    hints.insert(QStringLiteral("desktop-entry"), QString::fromLatin1(kAppName));
    if (!icon.image.isNull())
        hints.insert(QStringLiteral("image-data"), QVariant::fromValue(icon));
    QDBusMessage call =
        QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                       QString::fromLatin1(kService), QStringLiteral("Notify"));
    call << QString::fromLatin1(kAppName) << 0u << QString::fromLatin1(kAppName) << summary << body
         << QStringList() << hints << -1;
    // No reply is awaited: a service that hangs cannot hold the window.
    call.setAutoStartService(true);
    QDBusConnection::sessionBus().send(call);
}

}  // namespace tirevo
