#include "BenchHost.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QWidget>

namespace tirevo {

namespace {

constexpr const char* kModuleFileName = TIREVO_BENCH_MODULE_NAME;

QString& ModuleOverride()
{
    static QString path;
    return path;
}

struct LoadedModule {
    TirevoBenchCreateFn create = nullptr;
    QString error;
};

LoadedModule LoadModule()
{
    LoadedModule out;
    QStringList tried;
    for (const QString& candidate : BenchHost::ModuleCandidates()) {
        if (!QFileInfo::exists(candidate)) {
            tried << candidate;
            continue;
        }
        QLibrary library(candidate);
        const auto version = reinterpret_cast<TirevoBenchVersionFn>(library.resolve("TirevoBenchVersion"));
        const auto create = reinterpret_cast<TirevoBenchCreateFn>(library.resolve("TirevoBenchCreate"));
        if (!version || !create) {
            tried << candidate + QStringLiteral(" (") + library.errorString() + QStringLiteral(")");
            continue;
        }
        if (version() != kBenchViewVersion) {
            tried << candidate + QStringLiteral(" (made for another version of the program)");
            continue;
        }
        out.create = create;
        return out;
    }
    out.error = QStringLiteral("The bench view cannot be opened: its module could not be loaded.\n\n") +
        tried.join(QLatin1Char('\n'));
    return out;
}

// Loaded once per process and never unloaded: its window may live until the
// program ends. A failed load is tried again at the next request.
LoadedModule Module()
{
    static LoadedModule loaded;
    if (!loaded.create)
        loaded = LoadModule();
    return loaded;
}

}  // namespace

BenchHost::BenchHost(QWidget* owner) : QObject(owner), owner_(owner) {}

BenchHost::~BenchHost()
{
    // With an owner the window is the owner's child and goes with it.
    if (!owner_ && view_)
        delete view_->Window();
}

std::optional<QString> BenchHost::Show(const BenchViewSetup& setup)
{
    if (!view_) {
        const LoadedModule module = Module();
        if (!module.create)
            return module.error;
        view_ = module.create(setup, owner_);
    } else {
        view_->Renew(setup);
    }
    QWidget* window = view_->Window();
    window->show();
    window->raise();
    window->activateWindow();
    return std::nullopt;
}

void BenchHost::End()
{
    if (view_)
        view_->End();
}

QWidget* BenchHost::Window() const { return view_ ? view_->Window() : nullptr; }

QStringList BenchHost::ModuleCandidates()
{
    if (!ModuleOverride().isEmpty())
        return {ModuleOverride()};
    const QDir programDir(QCoreApplication::applicationDirPath());
    return {programDir.filePath(QString::fromLatin1(kModuleFileName)),
            QDir::cleanPath(programDir.filePath(QStringLiteral("../") + QStringLiteral(TIREVO_BENCH_LIBDIR) +
                                                QLatin1Char('/') + QString::fromLatin1(kModuleFileName)))};
}

void BenchHost::SetModuleFile(const QString& path) { ModuleOverride() = path; }

}  // namespace tirevo
