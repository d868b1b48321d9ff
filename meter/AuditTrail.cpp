#include "AuditTrail.h"

#include "AuditJson.h"
#include "AuditLine.h"
#include "CalibrationRecord.h"
#include "WholeFile.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstring>

namespace tirevo {

namespace {

// Large enough for hundreds of lines, so a trail's last line or a records
// file's last event takes one read.
constexpr int64_t kChunk = 64 * 1024;
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Calls take(line) for each non-empty line (without its LF) from the last to
// the first, until take returns true. False when the file cannot be read.
template <typename Take> bool EachLineFromEnd(const AuditFile& file, int64_t size, Take&& take)
{
    std::string carry;  // the start of a line whose beginning lies further back
    for (int64_t end = size; end > 0;) {
        const int64_t start = end > kChunk ? end - kChunk : 0;
        std::string text;
        if (!file.ReadAt(start, static_cast<std::size_t>(end - start), text) ||
            static_cast<int64_t>(text.size()) != end - start)
            return false;
        text += carry;
        std::size_t stop = text.size();
        for (;;) {
            const std::size_t lf = stop == 0 ? std::string::npos : text.rfind('\n', stop - 1);
            if (lf == std::string::npos) {
                carry = text.substr(0, stop);
                break;
            }
            if (lf + 1 < stop && take(std::string_view(text).substr(lf + 1, stop - lf - 1)))
                return true;
            stop = lf;
        }
        end = start;
    }
    if (!carry.empty())
        take(std::string_view(carry));
    return true;
}

QJsonObject ParseLine(std::string_view line)
{
    return QJsonDocument::fromJson(QByteArray(line.data(), static_cast<qsizetype>(line.size()))).object();
}

std::string FileNameOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

AuditTrail::AuditTrail(std::string folder, AuditOrigin origin, bool createFolder, Clock now)
    : folder_(std::move(folder)),
      origin_(std::move(origin)),
      createFolder_(createFolder),
      now_(std::move(now))
{
    path_ = folder_.empty() ? std::string(kAuditFileName)
                            : folder_ + (folder_.back() == '/' ? "" : "/") + kAuditFileName;
}

int AuditTrail::Lock(AuditFile& file) const
{
    if (createFolder_ && !MakeFolderPath(folder_))
        return errno;
    return file.Open(path_, AuditFile::Mode::Append);
}

AuditTail AuditTrail::ReadTail(const AuditFile& file)
{
    AuditTail tail{0, kAuditGenesis, true};
    const int64_t size = file.Size();
    std::string last;
    if (size <= 0 || !file.ReadAt(size - 1, 1, last))
        return tail;
    tail.endsInLineEnd = last == "\n";
    // A line cut short by a crash, or anything else that is not a line of the
    // trail, is passed over: the chain goes on from the last whole line, and
    // the check reports what lies between.
    EachLineFromEnd(file, size, [&tail](std::string_view line) {
        const std::optional<AuditHashed> hashed = SplitAuditHash(line);
        if (!hashed)
            return false;
        const QJsonObject object = ParseLine(line);
        const QJsonValue seq = object.value(QLatin1String("seq"));
        if (!seq.isDouble() || seq.toDouble() < 1)
            return false;
        tail.seq = static_cast<int64_t>(seq.toDouble());
        tail.hash = std::string(hashed->hash);
        return true;
    });
    return tail;
}

bool AuditTrail::Covers(const AuditFile& file, const std::string& fileName)
{
    std::string member = ",\"file\":";
    AppendJsonString(member, fileName);
    const QString name = QString::fromStdString(fileName);
    bool covered = false;
    EachLineFromEnd(file, file.Size(), [&](std::string_view line) {
        // The text search skips almost every line; the parse confirms that
        // the member is the event's own.
        if (line.find(member) == std::string_view::npos)
            return false;
        const QJsonObject object = ParseLine(line);
        const QString event = object.value(QLatin1String("event")).toString();
        covered = object.value(QLatin1String(kAuditFile)).toString() == name &&
            (event == QLatin1String(kAuditAdopt) || event == QLatin1String(kAuditSample) ||
             event == QLatin1String(kAuditCalibration));
        return covered;
    });
    return covered;
}

AuditWrite AuditTrail::Append(AuditFile& locked, const AuditEvent& event) const
{
    const AuditTail tail = ReadTail(locked);
    AuditLine line;
    line.seq = tail.seq + 1;
    line.time = AuditTimeText(now_());
    line.origin = origin_;
    line.event = event;
    line.prev = tail.hash;
    AuditLineText text = WriteAuditLine(line);
    std::string bytes = tail.endsInLineEnd ? std::string() : std::string("\n");
    bytes += text.text;
    bytes += '\n';
    AuditWrite write;
    write.systemError = locked.Append(bytes);
    if (write.systemError != 0)
        return write;
    write.written = true;
    write.seq = line.seq;
    write.hash = std::move(text.hash);
    return write;
}

AuditWrite AuditTrail::Append(const AuditEvent& event) const
{
    AuditFile file;
    if (const int error = Lock(file))
        return {false, error, 0, {}};
    return Append(file, event);
}

AuditWrite AuditTrail::AdoptIfUncovered(AuditFile& locked, const RecordFile& records) const
{
    // The trail's events are looked up first: the records file need not be
    // read at all once it is covered, as it is on every write but the first.
    const std::string name = FileNameOf(records.Path());
    if (Covers(locked, name))
        return {};
    std::string bytes;
    errno = 0;
    switch (ReadWholeFile(records.Path(), bytes)) {
    case WholeFileRead::Read:
        break;
    case WholeFileRead::Missing:
        return {};
    case WholeFileRead::Failed:
        return {false, errno != 0 ? errno : EIO, 0, {}};
    }
    const std::vector<CsvRecord> parsed = ParseCsv(bytes);
    if (parsed.size() < 2)
        return {};
    std::string_view header = parsed.front().text;
    if (header.substr(0, kUtf8Bom.size()) == kUtf8Bom)
        header.remove_prefix(kUtf8Bom.size());
    if (header.substr(0, header.find_first_of("\r\n")) != records.Header())
        return {};
    return Append(locked, AdoptEvent(name, static_cast<int64_t>(parsed.size() - 1), Sha256Hex(bytes)));
}

std::string AuditTrail::ErrorText(const AuditWrite& write) const
{
    return "Cannot write to " + path_ + ": " + std::strerror(write.systemError);
}

}  // namespace tirevo
