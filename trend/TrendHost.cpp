#include "TrendHost.h"

#include "ModuleLoader.h"
#include "TrendView.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace tirevo {

namespace {

const ModuleMissWords kMissWords{"not found", "not tirevo's trend module",
                                 "made for another version of the program"};

ModuleSearch& Search()
{
    static ModuleSearch search(TIREVO_TREND_MODULE_NAME, TIREVO_TREND_LIBDIR);
    return search;
}

struct LoadedModule {
    TirevoTrendCreateFn create = nullptr;
    QString error;
};

LoadedModule LoadTrendModule()
{
    LoadedModule out;
    std::vector<std::string> places;
    for (const QString& candidate : TrendHost::ModuleCandidates())
        places.push_back(candidate.toStdString());
    const ModuleLoad load = LoadModule(places, [&out](void* module) {
        const auto version =
            reinterpret_cast<TirevoTrendVersionFn>(ModuleSymbol(module, "TirevoTrendVersion"));
        const auto create = reinterpret_cast<TirevoTrendCreateFn>(ModuleSymbol(module, "TirevoTrendCreate"));
        if (!version || !create)
            return ModuleFit::NotTheModule;
        if (version() != kTrendViewVersion)
            return ModuleFit::OtherVersion;
        out.create = create;
        return ModuleFit::Fits;
    });
    if (load.loaded)
        return out;
    out.error = QStringLiteral("The pH trend cannot be shown: its module could not be loaded.\n\n") +
        QString::fromStdString(ModuleMissLines(load.passedOver, kMissWords));
    return out;
}

// Loaded once per process and never unloaded: windows made by it may live
// until the program ends. A failed load is tried again at the next request.
LoadedModule Module()
{
    static LoadedModule loaded;
    if (!loaded.create)
        loaded = LoadTrendModule();
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
    QStringList candidates;
    for (const std::string& place : Search().Places(QCoreApplication::applicationDirPath().toStdString()))
        candidates << QString::fromStdString(place);
    return candidates;
}

void TrendHost::SetModuleFile(const QString& path) { Search().SetFile(path.toStdString()); }

std::optional<QString> TrendFileArgument(const QStringList& arguments)
{
    if (arguments.size() < 2 || arguments.at(1) != QStringLiteral("--trend"))
        return std::nullopt;
    return arguments.size() > 2 ? arguments.at(2) : QString();
}

}  // namespace tirevo
