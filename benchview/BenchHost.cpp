#include "BenchHost.h"

#include "ModuleLoader.h"

#include <QCoreApplication>
#include <QWidget>

#include <string>
#include <vector>

namespace tirevo {

namespace {

const ModuleMissWords kMissWords{"not found", "not tirevo's bench view module",
                                 "made for another version of the program"};

ModuleSearch& Search()
{
    static ModuleSearch search(TIREVO_BENCH_MODULE_NAME, TIREVO_BENCH_LIBDIR);
    return search;
}

struct LoadedModule {
    TirevoBenchCreateFn create = nullptr;
    QString error;
};

LoadedModule LoadBenchModule()
{
    LoadedModule out;
    std::vector<std::string> places;
    for (const QString& candidate : BenchHost::ModuleCandidates())
        places.push_back(candidate.toStdString());
    const ModuleLoad load = LoadModule(places, [&out](void* module) {
        const auto version =
            reinterpret_cast<TirevoBenchVersionFn>(ModuleSymbol(module, "TirevoBenchVersion"));
        const auto create = reinterpret_cast<TirevoBenchCreateFn>(ModuleSymbol(module, "TirevoBenchCreate"));
        if (!version || !create)
            return ModuleFit::NotTheModule;
        if (version() != kBenchViewVersion)
            return ModuleFit::OtherVersion;
        out.create = create;
        return ModuleFit::Fits;
    });
    if (load.loaded)
        return out;
    out.error = QStringLiteral("The bench view cannot be opened: its module could not be loaded.\n\n") +
        QString::fromStdString(ModuleMissLines(load.passedOver, kMissWords));
    return out;
}

// Loaded once per process and never unloaded: its window may live until the
// program ends. A failed load is tried again at the next request.
LoadedModule Module()
{
    static LoadedModule loaded;
    if (!loaded.create)
        loaded = LoadBenchModule();
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
    QStringList candidates;
    for (const std::string& place : Search().Places(QCoreApplication::applicationDirPath().toStdString()))
        candidates << QString::fromStdString(place);
    return candidates;
}

void BenchHost::SetModuleFile(const QString& path) { Search().SetFile(path.toStdString()); }

}  // namespace tirevo
