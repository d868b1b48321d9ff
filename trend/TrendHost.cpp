#include "TrendHost.h"

#include "TrendView.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QLibrary>
#include <QWidget>

namespace tirevo {

namespace {

constexpr const char* kModuleFileName = TIREVO_TREND_MODULE_NAME;

QString& ModuleOverride()
{
    static QString path;
    return path;
}

struct LoadedModule {
    TirevoTrendCreateFn create = nullptr;
    QString error;
};

LoadedModule LoadModule()
{
    LoadedModule out;
    QStringList tried;
    for (const QString& candidate : TrendHost::ModuleCandidates()) {
        if (!QFileInfo::exists(candidate)) {
            tried << candidate;
            continue;
        }
        QLibrary library(candidate);
        const auto version = reinterpret_cast<TirevoTrendVersionFn>(library.resolve("TirevoTrendVersion"));
        const auto create = reinterpret_cast<TirevoTrendCreateFn>(library.resolve("TirevoTrendCreate"));
        if (!version || !create) {
            tried << candidate + QStringLiteral(" (") + library.errorString() + QStringLiteral(")");
            continue;
        }
        if (version() != kTrendViewVersion) {
            tried << candidate + QStringLiteral(" (made for another version of the program)");
            continue;
        }
        out.create = create;
        return out;
    }
    out.error = QStringLiteral("The pH trend cannot be shown: its module could not be loaded.\n\n") +
        tried.join(QLatin1Char('\n'));
    return out;
}

// Loaded once per process and never unloaded: windows made by it may live
// until the program ends. A failed load is tried again at the next request.
LoadedModule Module()
{
    static LoadedModule loaded;
    if (!loaded.create)
        loaded = LoadModule();
    return loaded;
}

}  // namespace

TrendHost::TrendHost(QWidget* owner) : QObject(owner), owner_(owner)
{
    if (owner_)
        owner_->installEventFilter(this);
}

bool TrendHost::eventFilter(QObject* watched, QEvent* event)
{
    // The trend window closes with the window it belongs to.
    if (watched == owner_ && event->type() == QEvent::Close && view_)
        view_->Window()->close();
    return QObject::eventFilter(watched, event);
}

TrendHost::~TrendHost()
{
    // With an owner the window is the owner's child and goes with it.
    if (!owner_ && view_)
        delete view_->Window();
}

void TrendHost::AddReading(double ph, const QDateTime& takenAt, bool stable)
{
    const std::optional<TrendPoint> dropped = series_.Add(TimeKey(takenAt), ph, stable);
    if (view_ && live_)
        view_->AddLive(series_.At(series_.Size() - 1), dropped, stable);
}

std::optional<QString> TrendHost::Show()
{
    const bool made = view_ != nullptr;
    if (auto error = makeView())
        return error;
    if (!made) {
        view_->ShowLive(series_);
        live_ = true;
    }
    QWidget* window = view_->Window();
    window->show();
    window->raise();
    window->activateWindow();
    return std::nullopt;
}

std::optional<QString> TrendHost::ShowLog(const QString& path)
{
    if (auto error = makeView())
        return error;
    QWidget* window = view_->Window();
    window->show();
    if (!path.isEmpty())
        view_->OpenLog(path);
    return std::nullopt;
}

QWidget* TrendHost::Window() const { return view_ ? view_->Window() : nullptr; }

void TrendHost::SetRecordsFolder(const QString& folder)
{
    recordsFolder_ = folder;
    if (view_)
        view_->SetRecordsFolder(folder);
}

std::optional<QString> TrendHost::makeView()
{
    if (view_)
        return std::nullopt;
    const LoadedModule module = Module();
    if (!module.create)
        return module.error;
    view_ = module.create(owner_);
    view_->SetRecordsFolder(recordsFolder_);
    return std::nullopt;
}

QStringList TrendHost::ModuleCandidates()
{
    if (!ModuleOverride().isEmpty())
        return {ModuleOverride()};
    const QDir programDir(QCoreApplication::applicationDirPath());
    return {programDir.filePath(QString::fromLatin1(kModuleFileName)),
            QDir::cleanPath(programDir.filePath(QStringLiteral("../") + QStringLiteral(TIREVO_TREND_LIBDIR) +
                                                QLatin1Char('/') + QString::fromLatin1(kModuleFileName)))};
}

void TrendHost::SetModuleFile(const QString& path) { ModuleOverride() = path; }

std::optional<QString> TrendFileArgument(const QStringList& arguments)
{
    if (arguments.size() < 2 || arguments.at(1) != QStringLiteral("--trend"))
        return std::nullopt;
    return arguments.size() > 2 ? arguments.at(2) : QString();
}

}  // namespace tirevo
