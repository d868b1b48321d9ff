#include "ReportLoader.h"

#include "ModuleLoader.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace tirevo {

namespace {

const ModuleMissWords kMissWords{"not found", "not tirevo's report module",
                                 "made for another version of the program"};

ModuleSearch& Search()
{
    static ModuleSearch search(TIREVO_REPORT_MODULE_NAME, TIREVO_REPORT_LIBDIR);
    return search;
}

struct LoadedModule {
    TirevoReportWriteFn write = nullptr;
    TirevoReportWriteAloneFn writeAlone = nullptr;
    QString error;
};

LoadedModule LoadReportModule(const QStringList& candidates)
{
    LoadedModule out;
    std::vector<std::string> places;
    for (const QString& candidate : candidates)
        places.push_back(candidate.toStdString());
    const ModuleLoad load = LoadModule(places, [&out](void* module) {
        const auto version =
            reinterpret_cast<TirevoReportVersionFn>(ModuleSymbol(module, "TirevoReportVersion"));
        const auto write = reinterpret_cast<TirevoReportWriteFn>(ModuleSymbol(module, "TirevoReportWrite"));
        const auto writeAlone =
            reinterpret_cast<TirevoReportWriteAloneFn>(ModuleSymbol(module, "TirevoReportWriteAlone"));
        if (!version || !write || !writeAlone)
            return ModuleFit::NotTheModule;
        if (version() != kReportModuleVersion)
            return ModuleFit::OtherVersion;
        out.write = write;
        out.writeAlone = writeAlone;
        return ModuleFit::Fits;
    });
    if (load.loaded)
        return out;
    out.error = QStringLiteral("The report cannot be written: its module could not be loaded.\n") +
        QString::fromStdString(ModuleMissLines(load.passedOver, kMissWords));
    return out;
}

// Loaded once per process and kept: a failed load is tried again next time.
LoadedModule Module(const QStringList& candidates)
{
    static LoadedModule loaded;
    if (!loaded.write)
        loaded = LoadReportModule(candidates);
    return loaded;
}

}  // namespace

ReportOutcome WriteReport(const ReportRequest& request)
{
    ReportOutcome outcome;
    const LoadedModule module = Module(ReportModuleCandidates());
    if (!module.write) {
        outcome.error = module.error.toStdString();
        return outcome;
    }
    module.write(&request, &outcome);
    return outcome;
}

ReportOutcome WriteReportAlone(const ReportRequest& request, const QString& programPath, bool& moduleMissing)
{
    ReportOutcome outcome;
    const LoadedModule module = Module(ReportModuleCandidates(QFileInfo(programPath).absolutePath()));
    moduleMissing = !module.writeAlone;
    if (moduleMissing) {
        outcome.error = module.error.toStdString();
        return outcome;
    }
    module.writeAlone(&request, &outcome);
    return outcome;
}

QStringList ReportModuleCandidates()
{
    return ReportModuleCandidates(QCoreApplication::applicationDirPath());
}

QStringList ReportModuleCandidates(const QString& programDirPath)
{
    QStringList candidates;
    for (const std::string& place : Search().Places(programDirPath.toStdString()))
        candidates << QString::fromStdString(place);
    return candidates;
}

void SetReportModuleFile(const QString& path) { Search().SetFile(path.toStdString()); }

}  // namespace tirevo
