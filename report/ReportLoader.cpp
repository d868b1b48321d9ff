#include "ReportLoader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

namespace tirevo {

namespace {

constexpr const char* kModuleFileName = TIREVO_REPORT_MODULE_NAME;

QString& ModuleOverride()
{
    static QString path;
    return path;
}

struct LoadedModule {
    TirevoReportWriteFn write = nullptr;
    TirevoReportWriteAloneFn writeAlone = nullptr;
    QString error;
};

LoadedModule LoadModule(const QStringList& candidates)
{
    LoadedModule out;
    QStringList tried;
    for (const QString& candidate : candidates) {
        if (!QFileInfo::exists(candidate)) {
            tried << candidate + QStringLiteral(" (not found)");
            continue;
        }
        QLibrary library(candidate);
        const auto version = reinterpret_cast<TirevoReportVersionFn>(library.resolve("TirevoReportVersion"));
        const auto write = reinterpret_cast<TirevoReportWriteFn>(library.resolve("TirevoReportWrite"));
        const auto writeAlone =
            reinterpret_cast<TirevoReportWriteAloneFn>(library.resolve("TirevoReportWriteAlone"));
        if (!version || !write || !writeAlone) {
            tried << candidate + QStringLiteral(" (") + library.errorString() + QStringLiteral(")");
            continue;
        }
        if (version() != kReportModuleVersion) {
            tried << candidate + QStringLiteral(" (made for another version of the program)");
            continue;
        }
        out.write = write;
        out.writeAlone = writeAlone;
        return out;
    }
    out.error = QStringLiteral("The report cannot be written: its module could not be loaded.\n") +
        tried.join(QLatin1Char('\n'));
    return out;
}

// Loaded once per process and kept: a failed load is tried again next time.
LoadedModule Module(const QStringList& candidates)
{
    static LoadedModule loaded;
    if (!loaded.write)
        loaded = LoadModule(candidates);
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
    if (!ModuleOverride().isEmpty())
        return {ModuleOverride()};
    const QDir programDir(programDirPath);
    return {programDir.filePath(QString::fromLatin1(kModuleFileName)),
            QDir::cleanPath(programDir.filePath(QStringLiteral("../") + QStringLiteral(TIREVO_REPORT_LIBDIR) +
                                                QLatin1Char('/') + QString::fromLatin1(kModuleFileName)))};
}

void SetReportModuleFile(const QString& path) { ModuleOverride() = path; }

}  // namespace tirevo
