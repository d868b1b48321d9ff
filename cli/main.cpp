// tirevo-cli: the meter from a terminal, a script or a machine without a
// display. Same session, same log files as the window.
#include "AlarmSettingsFile.h"
#include "AllMetersRun.h"
#include "AuditCheck.h"
#include "AuditOrigin.h"
#include "CalibrateRun.h"
#include "CalibrationCommand.h"
#include "CalibrationSettings.h"
#include "CalibrationsOutput.h"
#include "CliOptions.h"
#include "DriverBinding.h"
#include "FdOutput.h"
#include "LocaleSeparators.h"
#include "MeterChoice.h"
#include "MeterList.h"
#include "MeterRun.h"
#include "MqttModuleLoader.h"
#include "MqttRun.h"
#include "MqttRunConfig.h"
#include "ReportLoader.h"
#include "RunSettings.h"
#include "SampleRecord.h"
#include "SignalWatch.h"
#include "SpoolFolder.h"
#include "StandardDescriptors.h"
#include "Version.h"

#include <QtGlobal>
#include <algorithm>

#include <cerrno>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace tirevo;

// Built with TIREVO_INSTALLED on for the package: settings never beside the program.
constexpr SettingsRule kSettingsRule = TIREVO_INSTALLED ? SettingsRule::PerUser : SettingsRule::BesideProgram;

#ifdef Q_OS_WIN
constexpr bool kOnWindows = true;
#else
constexpr bool kOnWindows = false;
#endif

constexpr int kOut = 1;
constexpr int kErr = 2;

void Error(const std::string& text) { WriteAll(kErr, "tirevo-cli: " + text + "\n"); }

// What stdout is for a run that only prints: a reader gone away (| head -1)
// ends it quietly, any other failure (a full disk) is exit 3 with the reason.
int Output(const std::string& text)
{
    const int error = WriteAll(kOut, text);
    if (error == 0 || error == EPIPE)
        return kExitDone;
    Error(StdoutErrorText(error));
    return kExitOutput;
}

// A line on stderr for each line of text, each after the prefix.
void ErrorLines(const std::string& text, const std::string& prefix = {})
{
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        Error(prefix + text.substr(start, end - start));
        start = end + 1;
    }
}

int UsageError(const std::string& reason)
{
    Error(reason);
    WriteAll(kErr, UsageText());
    return kExitUsage;
}

// Converters present but refused to this user: otherwise a meter that only
// lacks the udev rule would look like no meter at all.
void NameRefusedConverters()
{
    for (const std::string& line : RefusedConverters())
        Error(line);
}

int List(const CliOptions& options)
{
    std::string out;
    for (const ListedDevice& device : ListDevices(options.all))
        out += ListLine(device);
    const int result = Output(out);
    NameRefusedConverters();
    return result;
}

// The meter of this run, or the exit code when there is none to take.
int Choose(const CliOptions& options, std::string& serial)
{
    const MeterChoice choice = ChooseMeter(ListDevices(false), options.serial);
    if (choice.status != MeterChoiceStatus::Chosen) {
        Error(choice.message);
        NameRefusedConverters();
        return kExitNoMeter;
    }
    serial = choice.serial;
    return kExitDone;
}

// The stability rule of a run: the options over the file's keys, with a line
// for a key that cannot be used.
StabilityParams Stability(const CliOptions& options, const std::string& iniPath, char decimalSeparator)
{
    std::optional<std::string> warning;
    const StabilityParams params =
        ResolveStability(options,
                         LoadStabilitySettings(iniPath, decimalSeparator, StabilityParams::kDefaultWindowS,
                                               StabilityParams::kDefaultBandHundredths),
                         iniPath, warning);
    if (warning)
        Error(*warning);
    return params;
}

// The [Calibration] keys, each that cannot be used said on stderr.
CalibrationSettings LoadCalibrationKeys(const std::string& iniPath, char decimalSeparator)
{
    const CalibrationSettingsLoad loaded = LoadCalibrationSettings(iniPath, decimalSeparator);
    if (loaded.problem)
        ErrorLines(*loaded.problem, "settings file " + iniPath + ": ");
    return loaded.settings;
}

int Calibrate(const CliOptions& options, SignalWatch& endings)
{
    const LocaleSeparators separators = ReadLocaleSeparators();
    const CalibrationCommand calibration =
        CalibrationCommandFor(options.point, options.value, separators.decimal);
    // Refused before any meter is touched, as the page refuses before sending.
    if (calibration.refusal)
        return UsageError(*calibration.refusal);
    const std::string iniPath = CliSettingsFile(OwnProgramPath(), kSettingsRule);
    const RunSettings run = ResolveRunSettings(options, LoadSettings(iniPath, separators.decimal), iniPath);
    if (run.refusal && !options.now) {
        Error(*run.refusal);
        return kExitUsage;
    }
    StabilityParams stability = Stability(options, iniPath, separators.decimal);
    if (const StabilityIntervalCheck check = ApplyPollInterval(options, run.intervalMs, stability);
        check.refusal) {
        Error(*check.refusal);
        return kExitUsage;
    }
    const CalibrationSettings file = LoadCalibrationKeys(iniPath, separators.decimal);
    CalibrateSetup setup;
    if (const int code = Choose(options, setup.serial))
        return code;
    setup.point = options.point;
    setup.bufferHundredths = calibration.hundredths;
    setup.command = calibration.command;
    setup.now = options.now;
    setup.timeoutMs = options.timeoutMs.value_or(static_cast<int64_t>(file.asLeftWaitS) * 1000);
    setup.intervalMs = run.intervalMs;
    setup.stability = stability;
    setup.toleranceHundredths = options.toleranceHundredths.value_or(file.toleranceHundredths);
    setup.records = ChooseCliRecords(options, OwnProgramPath(), kSettingsRule);
    setup.outFd = kOut;
    setup.errFd = kErr;
    SystemMeterClock clock;
    CalibrateRun calibrate(std::move(setup), clock, endings);
    return calibrate.Run();
}

// Checks the records folder against its trail: the summary line and 0, or
// each problem and kExitRecordsAltered. The head printed lets a copy of the
// line kept elsewhere show later that no newer lines were cut off.
int Verify(const CliOptions& options)
{
    const RecordsChoice records = ChooseCliRecords(options, OwnProgramPath(), kSettingsRule);
    const AuditCheckResult result = CheckAuditFolder(records.folder);
    if (!result.Intact()) {
        std::string text;
        for (const AuditProblem& problem : result.problems)
            text += AuditProblemText(problem) + "\n";
        const int code = Output(text);
        return code == kExitDone ? kExitRecordsAltered : code;
    }
    return Output(AuditSummaryText(result) + "\n");
}

int Calibrations(const CliOptions& options)
{
    const RecordsChoice records = ChooseCliRecords(options, OwnProgramPath(), kSettingsRule);
    const RecordFile file = CalibrationsFile(records.folder, false);
    const CalibrationsRead read = ReadCalibrations(file.Path());
    switch (read.status) {
    case CalibrationsReadStatus::Read:
    case CalibrationsReadStatus::Missing:
        break;
    case CalibrationsReadStatus::ForeignHeader:
        Error("the first line of " + file.Path() + " is not \"" + file.Header() + "\"");
        return kExitLogFile;
    case CalibrationsReadStatus::Failed:
        Error("cannot read " + file.Path() + ": " + std::strerror(read.systemError));
        return kExitLogFile;
    }
    return Output(CalibrationsOutput(options.format, read, options.serial));
}

int Report(const CliOptions& options)
{
    if (options.fromUtcMs && options.toUtcMs && *options.fromUtcMs > *options.toUtcMs)
        return UsageError("--from is after --to");
    const LocaleSeparators separators = ReadLocaleSeparators();
    const std::string iniPath = CliSettingsFile(OwnProgramPath(), kSettingsRule);
    // A report of one meter holds that meter's own limits.
    const AlarmSettingsLoad alarmFile =
        LoadAlarmSettings(iniPath, separators.decimal, options.serial.value_or(std::string()));
    if (alarmFile.problem)
        ErrorLines(*alarmFile.problem, "settings file " + iniPath + ": ");
    ReportRequest request;
    request.outFile = *options.out;
    request.recordsFolder = ChooseCliRecords(options, OwnProgramPath(), kSettingsRule).folder;
    request.logsFolder = options.logs.value_or(".");
    request.fromUtcMs = options.fromUtcMs;
    request.toUtcMs = options.toUtcMs;
    request.serial = options.serial.value_or(std::string());
    request.highLimit = alarmFile.settings.high;
    request.lowLimit = alarmFile.settings.low;
    request.madeBy = LoginName() + "@" + HostName();
    request.madeAtUtcMs = SystemMeterClock().UtcMs();
    request.version = std::string(kAppVersion);
    // The report draws through Qt Gui, which needs a platform even for a
    // file: with no X or Wayland display to show on, the one that draws
    // into memory. Windows always has its own.
    if (!kOnWindows && !qEnvironmentVariableIsSet("DISPLAY") && !qEnvironmentVariableIsSet("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    bool moduleMissing = false;
    const ReportOutcome outcome =
        WriteReportAlone(request, QString::fromStdString(OwnProgramPath()), moduleMissing);
    if (!outcome.written) {
        ErrorLines(outcome.error);
        return moduleMissing ? kExitNoModule : kExitOutput;
    }
    return Output("wrote " + request.outFile + " (" + std::to_string(outcome.pages) +
                  (outcome.pages == 1 ? " page)\n" : " pages)\n"));
}

// One meter's alarm settings, the lines about its own section said (when say
// is set); nothing, with the reason said, when they clash with the options.
std::optional<AlarmSettings> MeterAlarm(const CliOptions& options, const std::string& iniPath,
                                        char decimalSeparator, const std::string& serial, bool say)
{
    const MeterAlarmChoice meter = ChooseMeterAlarmSettings(options.alarm, iniPath, decimalSeparator, serial);
    if (say && meter.sectionProblem)
        ErrorLines(*meter.sectionProblem, "settings file " + iniPath + ": ");
    if (meter.choice.error) {
        if (say)
            Error(serial + ": " + *meter.choice.error + "; this meter is left out");
        return std::nullopt;
    }
    return meter.choice.settings;
}

// The alarm settings of the meters at the start of a run: the one meter's
// into the setup; with --all, each is only checked, so that limits that
// clash with the options end the run before it starts, as for one meter.
int CheckMeterAlarms(const CliOptions& options, const std::string& iniPath, char decimalSeparator,
                     const std::vector<std::string>& serials, MeterRunSetup& setup)
{
    for (const std::string& serial : serials) {
        const MeterAlarmChoice meter =
            ChooseMeterAlarmSettings(options.alarm, iniPath, decimalSeparator, serial);
        if (meter.choice.error)
            return UsageError(options.all ? serial + ": " + *meter.choice.error : *meter.choice.error);
        if (!options.all) {
            if (meter.sectionProblem)
                ErrorLines(*meter.sectionProblem, "settings file " + iniPath + ": ");
            setup.alarm = meter.choice.settings;
        }
    }
    return kExitDone;
}

// The converter's USB description, the model a broker's subscribers see.
std::string MeterModel(const std::string& serial)
{
    for (const ListedDevice& device : ListDevices(false))
        if (device.serial == serial)
            return device.description;
    return std::string();
}

int ReadOrLog(const CliOptions& options, SignalWatch& endings)
{
    // Bytes that are not UTF-8 would corrupt samples.csv and the JSON line:
    // refused before the meter is touched.
    if (options.command == CliCommand::Measure && SampleNameEncodingRefusal(options.sample))
        return UsageError("invalid --sample: a sample name must be UTF-8 text");
    const LocaleSeparators separators = ReadLocaleSeparators();
    const std::string iniPath = CliSettingsFile(OwnProgramPath(), kSettingsRule);
    MeterRunSetup setup;
    setup.options = options;
    setup.settings = ResolveRunSettings(options, LoadSettings(iniPath, separators.decimal), iniPath);
    if (setup.settings.refusal) {
        Error(*setup.settings.refusal);
        return kExitUsage;
    }
    if (setup.settings.warning)
        Error(*setup.settings.warning);
    setup.settings.stability = Stability(options, iniPath, separators.decimal);
    const StabilityIntervalCheck stabilityCheck =
        ApplyPollInterval(options, setup.settings.intervalMs, setup.settings.stability);
    if (stabilityCheck.refusal) {
        Error(*stabilityCheck.refusal);
        return kExitUsage;
    }
    // Once for the whole run, however many meters it takes.
    if (stabilityCheck.note)
        Error(*stabilityCheck.note);
    // measure records its sample there; every run writes its meter, alarm
    // and log events into that folder's trail (made at the first event).
    setup.records = ChooseCliRecords(options, OwnProgramPath(), kSettingsRule);
    if (setup.records.record)
        setup.audit = std::make_shared<AuditWriter>(setup.records.folder, setup.records.createFolder,
                                                    setup.records.program, &Error);
    const AlarmSettingsLoad alarmFile = LoadAlarmSettings(iniPath, separators.decimal);
    // A line for each value that cannot be used.
    if (alarmFile.problem)
        ErrorLines(*alarmFile.problem, "settings file " + iniPath + ": ");
    // Limits the options alone set the wrong way round, before any meter.
    if (const AlarmSettingsChoice alone = ResolveAlarmSettings(options.alarm, AlarmSettings()); alone.error)
        return UsageError(*alone.error);
    // --all takes the meters as they come, in the run itself.
    std::vector<std::string> serials;
    if (options.all) {
        for (const ListedDevice& device : ListDevices(false))
            serials.push_back(device.serial);
    } else {
        if (const int code = Choose(options, setup.serial))
            return code;
        serials.push_back(setup.serial);
    }
    // Each meter's own limits; --all reads them again for each meter it
    // takes up (one plugged in later included).
    if (const int code = CheckMeterAlarms(options, iniPath, separators.decimal, serials, setup))
        return code;
    // The records the window keeps, or those measure is told to use (also
    // when it records nothing itself).
    CliOptions recordsOptions = options;
    recordsOptions.noRecord = false;
    const std::string recordsFolder =
        ChooseCliRecords(recordsOptions, OwnProgramPath(), kSettingsRule).folder;
    const int dueHours = LoadCalibrationKeys(iniPath, separators.decimal).dueHours;
    const int64_t nowUtcMs = SystemMeterClock().UtcMs();
    for (const std::string& serial : serials) {
        if (const std::optional<std::string> due =
                CalibrationDueWarning(serial, recordsFolder, dueHours, nowUtcMs))
            Error(*due);
    }
    setup.appVersion = std::string(kAppVersion);
    setup.decimalSeparator = separators.decimal;
    setup.timeSeparator = separators.time;
    setup.outFd = kOut;
    setup.errFd = kErr;
    SystemMeterClock clock;
    std::unique_ptr<MqttRun> broker;
    std::unique_ptr<ReadingPublisher> publisher;
    if (options.mqtt.url) {
        MqttRunConfig config =
            MqttRunConfigFor(options.mqtt, options.all ? std::string("all") : setup.serial, setup.appVersion);
        if (config.unavailable) {
            Error(config.error);
            return kExitUsage;
        }
        if (!config.error.empty())
            return UsageError(config.error);
        if (!options.mqtt.noSpool) {
            // An installed copy keeps its state per user; one run from its
            // folder keeps it beside its records.
            config.gateway.spoolFolder =
                TIREVO_INSTALLED ? InstalledSpoolFolder() : RecordsSpoolFolder(recordsFolder);
            config.gateway.spoolMax = options.mqtt.spoolMax.value_or(ReadingSpool::kDefaultMax);
        }
        // Only now: a run that does not publish never loads the MQTT client.
        MqttLinkLoad module = LoadMqttLink(OwnProgramPath());
        if (!module.link) {
            ErrorLines(module.error);
            return kExitNoModule;
        }
        broker = std::make_unique<MqttRun>(std::move(config.gateway), std::move(module.link), clock, endings,
                                           [](const std::string& line) { Error(line); });
        if (!options.all) {
            publisher = broker->AddMeter(MeterIdentity{setup.serial, MeterModel(setup.serial)});
            setup.publisher = publisher.get();
        }
        // The broker's first attempt goes out before the meter is opened;
        // its answer is handled in the run's loop.
        broker->Start();
    }
    RunWait& wait = broker ? static_cast<RunWait&>(*broker) : endings;
    int code = kExitDone;
    if (options.all) {
        AllMetersRun::PublisherFor publisherFor;
        if (broker)
            publisherFor = [&broker](const ListedDevice& meter) {
                return broker->AddMeter(MeterIdentity{meter.serial, meter.description});
            };
        AllMetersRun run(
            std::move(setup), clock, wait, [] { return ListDevices(false); }, publisherFor);
        if (broker)
            run.SetFailureCheck([&broker] { return broker->Failure(); });
        run.SetAlarmFor([&options, &iniPath, &separators](const std::string& serial, bool say) {
            return MeterAlarm(options, iniPath, separators.decimal, serial, say);
        });
        code = run.Run();
    } else {
        MeterRun run(std::move(setup), clock, wait);
        code = run.Run();
    }
    if (broker) {
        broker->End();
        // Publishing is all a publish run is for: one that got nothing to
        // the broker has failed, whatever else went well.
        if (options.command == CliCommand::Publish && code == kExitDone) {
            if (const std::optional<std::string> nothing = broker->NothingDelivered()) {
                Error(*nothing);
                code = kExitBroker;
            }
        }
    }
    return code;
}

int Main(const std::vector<std::string>& args)
{
    // Before anything can open the meter: a signal from now on ends the run
    // between two ticks instead of in the middle of one.
    SignalWatch endings;
    // A file size limit reached must fail the write (exit 3), not kill the
    // program with a half-written row and no word.
    IgnoreFileSizeSignal();

    const CliParseResult parsed = ParseCliOptions(args);
    if (parsed.error)
        return UsageError(*parsed.error);
    const CliOptions& options = parsed.options;
    switch (options.command) {
    case CliCommand::Help:
        return Output(parsed.text);
    case CliCommand::Version:
        return Output("tirevo-cli " + std::string(kAppVersion) + "\n");
    case CliCommand::Calibrations:
        return Calibrations(options);
    case CliCommand::Verify:
        return Verify(options);
    case CliCommand::Report:
        return Report(options);
    default:
        break;
    }

    if (BindFTDriver() == FTDriverKind::None) {
        Error(NoDriverText());
        return kExitNoMeter;
    }
    switch (options.command) {
    case CliCommand::List:
        return List(options);
    case CliCommand::Calibrate:
        return Calibrate(options, endings);
    default:
        return ReadOrLog(options, endings);
    }
}

}  // namespace

int main(int argc, char* argv[])
{
    // Before the signal descriptor or any file takes a number that stands
    // for stdout or stderr.
    OpenClosedStandardDescriptors();
    // A file size limit reached by the log or by redirected output is a
    // failed write the run reports, not a death in the middle of a row.
    IgnoreFileSizeSignal();
    try {
        return Main(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& error) {
        Error(error.what());
        return kExitNoMeter;
    }
}
