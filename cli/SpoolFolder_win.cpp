#include "SpoolFolder.h"

#include <QDir>
#include <QString>

namespace tirevo {

std::string InstalledSpoolFolder()
{
    const QString local = qEnvironmentVariable("LOCALAPPDATA");
    return QDir::toNativeSeparators(local + QStringLiteral("/tirevo/spool")).toStdString();
}

}  // namespace tirevo
