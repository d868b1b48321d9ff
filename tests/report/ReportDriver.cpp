// Writes a report through the report module, for the tests and by hand:
//   report_driver --out FILE.pdf --records DIR --logs DIR [--serial S]
//                 [--from ISO] [--to ISO] [--high PH] [--low PH] [--module FILE]
// ISO times carry their offset ("2026-12-01T00:00:00.000+00:00"). Exits 0
// with the pages written on stdout, 1 with the error on stderr, 2 on bad usage.
#include "AuditOrigin.h"
#include "CalibrationRecord.h"
#include "ReportLoader.h"

#include <QDateTime>
#include <QGuiApplication>

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    tirevo::ReportRequest request;
    request.logsFolder = ".";
    request.madeBy = tirevo::LoginName() + "@" + tirevo::HostName();
    request.madeAtUtcMs = QDateTime::currentMSecsSinceEpoch();
    request.version = "driver";
    tirevo::SetReportModuleFile(QStringLiteral(TIREVO_REPORT_MODULE));
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        const QString& name = args[i];
        const std::string value = args[i + 1].toStdString();
        if (name == QStringLiteral("--out")) {
            request.outFile = value;
        } else if (name == QStringLiteral("--records")) {
            request.recordsFolder = value;
        } else if (name == QStringLiteral("--logs")) {
            request.logsFolder = value;
        } else if (name == QStringLiteral("--serial")) {
            request.serial = value;
        } else if (name == QStringLiteral("--from") || name == QStringLiteral("--to")) {
            const auto at = tirevo::RecordTimeUtcMs(value);
            if (!at) {
                std::fprintf(stderr, "report_driver: not a time: %s\n", value.c_str());
                return 2;
            }
            (name == QStringLiteral("--from") ? request.fromUtcMs : request.toUtcMs) = *at;
        } else if (name == QStringLiteral("--high")) {
            request.highLimit = args[i + 1].toDouble();
        } else if (name == QStringLiteral("--low")) {
            request.lowLimit = args[i + 1].toDouble();
        } else if (name == QStringLiteral("--module")) {
            tirevo::SetReportModuleFile(args[i + 1]);
        } else {
            std::fprintf(stderr, "report_driver: unknown option %s\n", qPrintable(name));
            return 2;
        }
    }
    if (request.outFile.empty()) {
        std::fprintf(stderr, "report_driver: --out FILE.pdf is needed\n");
        return 2;
    }
    const tirevo::ReportOutcome outcome = tirevo::WriteReport(request);
    if (!outcome.written) {
        std::fprintf(stderr, "report_driver: %s\n", outcome.error.c_str());
        return 1;
    }
    std::printf("%d pages\n", outcome.pages);
    return 0;
}
