#include "AuditCheck.h"

#include "AuditEvent.h"
#include "AuditFile.h"
#include "AuditLine.h"
#include "CalibrationRecord.h"
#include "SampleRecord.h"
#include "WholeFile.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <optional>
#include <unordered_map>

namespace tirevo {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kRowEnd = "\r\n";
// 2^53: every whole number below it is exact in a JSON number (seq, rows).
constexpr double kLargestSeq = 9007199254740992.0;
constexpr std::size_t kHeadShownStart = 4;
constexpr std::size_t kHeadShownEnd = 2;

struct Known {
    const char* name;
    const char* header;
};
constexpr Known kKnownFiles[] = {{kSamplesFileName, kSamplesHeader},
                                 {kCalibrationsFileName, kCalibrationsHeader}};

// An event that covers rows of a records file: an adopt of its first rows,
// or one row.
struct Covering {
    bool adopt = false;
    std::string hash;  // of the row, or of the whole file when adopted
    int64_t rows = 0;  // adopt
    int64_t auditLine = 0;
};

struct ClosedLog {
    std::string path;
    std::string hash;
    int64_t auditLine = 0;
};

std::string Join(const std::string& folder, std::string_view name)
{
    if (folder.empty())
        return std::string(name);
    return folder + (folder.back() == '/' || folder.back() == '\\' ? "" : "/") + std::string(name);
}

std::string Str(const QJsonObject& object, const char* name)
{
    return object.value(QLatin1String(name)).toString().toStdString();
}

bool IsSha256(const std::string& text)
{
    return text.size() == kSha256HexLength && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

bool IsPlainName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\:") == std::string::npos;
}

// The line ends in text: CRLF, LF or a lone CR, as the CSV reader takes them.
int64_t LineEnds(std::string_view text)
{
    int64_t ends = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')))
            ++ends;
    return ends;
}

// SHA-256 in lowercase hex, one object for the many lines and rows of a
// check.
class Hasher {
public:
    std::string Hex(std::string_view bytes, std::string_view more = {})
    {
        hash_.reset();
        hash_.addData(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
        if (!more.empty())
            hash_.addData(QByteArrayView(more.data(), static_cast<qsizetype>(more.size())));
        return hash_.resultView().toByteArray().toHex().toStdString();
    }

private:
    QCryptographicHash hash_{QCryptographicHash::Sha256};
};

// The records of RFC 4180 text as the CSV reader takes them (a quoted field
// may hold a line break; CRLF, LF or a lone CR ends a record), as views into
// text, each with its line end.
std::vector<std::string_view> CsvRecordTexts(std::string_view text)
{
    std::vector<std::string_view> records;
    std::size_t start = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            quoted = !quoted;  // a doubled quote closes and opens again
        } else if (!quoted && (c == '\r' || c == '\n')) {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            records.push_back(text.substr(start, i + 1 - start));
            start = i + 1;
        }
    }
    if (start < text.size())
        records.push_back(text.substr(start));
    return records;
}

// The indexes into values of a longest strictly increasing subsequence.
std::vector<std::size_t> LongestIncreasing(const std::vector<int64_t>& values)
{
    std::vector<std::size_t> tails;  // tails[k]: index of the smallest end of a run of length k+1
    std::vector<std::size_t> before(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        const auto at =
            std::lower_bound(tails.begin(), tails.end(), values[i],
                             [&values](std::size_t index, int64_t v) { return values[index] < v; });
        before[i] = at == tails.begin() ? values.size() : *(at - 1);
        if (at == tails.end())
            tails.push_back(i);
        else
            *at = i;
    }
    std::vector<std::size_t> run(tails.size());
    std::size_t i = tails.empty() ? values.size() : tails.back();
    for (std::size_t k = run.size(); k > 0; --k) {
        run[k - 1] = i;
        i = before[i];
    }
    return run;
}

class Checker {
public:
    explicit Checker(std::string folder) : folder_(std::move(folder)) {}

    AuditCheckResult Run()
    {
        trailPath_ = Join(folder_, kAuditFileName);
        AuditFile trail;
        const int error = trail.Open(trailPath_, AuditFile::Mode::Read);
        std::string bytes;
        if (error == ENOENT) {
            CheckFilesWithoutTrail();
            return std::move(result_);
        }
        const int64_t size = trail.Size();
        if (error != 0 || size < 0 || !trail.ReadAt(0, static_cast<std::size_t>(size), bytes)) {
            Problem(trailPath_, 0, std::string("cannot be read: ") + std::strerror(error != 0 ? error : EIO));
            return std::move(result_);
        }
        CheckLines(bytes);
        // The lock is kept until the records are read: a writer appends its
        // row before its event, both under the lock.
        for (const Known& known : kKnownFiles)
            covering_[known.name];
        for (const auto& [name, events] : covering_)
            CheckRecords(name, events);
        trail.Close();
        CheckLogs();
        return std::move(result_);
    }

private:
    void Problem(const std::string& file, int64_t line, std::string text)
    {
        result_.problems.push_back({file, line, std::move(text)});
    }

    void CheckFilesWithoutTrail()
    {
        for (const Known& known : kKnownFiles) {
            std::string bytes;
            if (ReadWholeFile(Join(folder_, known.name), bytes) == WholeFileRead::Read &&
                CsvRecordTexts(bytes).size() > 1) {
                Problem(trailPath_, 0, "not found, but the records hold rows");
                return;
            }
        }
    }

    void CheckLines(const std::string& bytes)
    {
        std::string_view rest(bytes);
        int64_t number = 0;
        while (!rest.empty()) {
            const std::size_t lf = rest.find('\n');
            const std::string_view line = rest.substr(0, lf);
            ++number;
            if (lf == std::string_view::npos) {
                Problem(trailPath_, number, "the last line has no line end: cut short?");
                rest = {};
            } else {
                rest.remove_prefix(lf + 1);
            }
            CheckLine(line, number);
        }
    }

    void CheckLine(std::string_view line, int64_t number)
    {
        if (line.empty()) {
            Problem(trailPath_, number, "empty line");
            return;
        }
        const QJsonObject object =
            QJsonDocument::fromJson(QByteArray(line.data(), static_cast<qsizetype>(line.size()))).object();
        if (object.isEmpty()) {
            Problem(trailPath_, number, "not a JSON object: edited or cut short");
            return;
        }
        ++result_.events;
        const std::optional<AuditHashed> hashed = SplitAuditHash(line);
        if (!hashed)
            Problem(trailPath_, number, "does not end in its hash");
        else if (hasher_.Hex(hashed->head, "}") != hashed->hash)
            Problem(trailPath_, number, "hash does not match the line: edited");

        const QJsonValue seqValue = object.value(QLatin1String("seq"));
        const double seqNumber = seqValue.toDouble(-1);
        const bool seqValid = seqValue.isDouble() && seqNumber >= 1 && seqNumber < kLargestSeq &&
            seqNumber == static_cast<double>(static_cast<int64_t>(seqNumber));
        const int64_t seq = seqValid ? static_cast<int64_t>(seqNumber) : 0;
        if (!seqValid)
            Problem(trailPath_, number, "seq is not a whole number from 1");
        else if (seq != nextSeq_)
            Problem(trailPath_, number,
                    "seq " + std::to_string(seq) + " where " + std::to_string(nextSeq_) +
                        " was due: a line missing or added");

        const std::string prev = Str(object, "prev");
        if (prev != expectedPrev_)
            Problem(trailPath_, number,
                    lastLine_ == 0 ? std::string("prev is not the first line's")
                                   : "prev does not link to line " + std::to_string(lastLine_));

        // The chain goes on from what this line says of itself, so that one
        // edit is reported once and not again at every line after it.
        if (seqValid)
            nextSeq_ = seq + 1;
        expectedPrev_ = hashed ? std::string(hashed->hash) : Str(object, "hash");
        lastLine_ = number;
        result_.headSeq = seq;
        result_.headHash = expectedPrev_;
        TakeEvent(object, number);
    }

    void TakeEvent(const QJsonObject& object, int64_t number)
    {
        const std::string event = Str(object, "event");
        if (event == kAuditSample || event == kAuditCalibration || event == kAuditAdopt) {
            const std::string file = Str(object, kAuditFile);
            Covering covering;
            covering.adopt = event == kAuditAdopt;
            covering.hash = Str(object, covering.adopt ? kAuditSha256 : kAuditRow);
            const double rows = object.value(QLatin1String(kAuditRows)).toDouble(-1);
            covering.rows = rows >= 0 && rows < kLargestSeq ? static_cast<int64_t>(rows) : -1;
            covering.auditLine = number;
            if (!IsPlainName(file))
                Problem(trailPath_, number, "names no file in the records folder");
            else if (!IsSha256(covering.hash) || (covering.adopt && covering.rows < 0))
                Problem(trailPath_, number, "names no row hash or row count");
            else
                covering_[file].push_back(std::move(covering));
        } else if (event == kAuditLog && Str(object, kAuditWhat) == kLogClosed) {
            ClosedLog log{Str(object, kAuditPath), Str(object, kAuditSha256), number};
            if (log.path.empty() || !IsSha256(log.hash))
                Problem(trailPath_, number, "names no log file or no hash");
            else
                logs_.push_back(std::move(log));
        }
    }

    void CheckRecords(const std::string& name, const std::vector<Covering>& events)
    {
        const std::string path = Join(folder_, name);
        std::string bytes;
        errno = 0;
        const WholeFileRead read = ReadWholeFile(path, bytes);
        if (read == WholeFileRead::Failed) {
            Problem(path, 0, std::string("cannot be read: ") + std::strerror(errno != 0 ? errno : EIO));
            return;
        }
        if (read == WholeFileRead::Missing) {
            if (!events.empty())
                Problem(path, 0,
                        "not found, but audit.jsonl line " + std::to_string(events.front().auditLine) +
                            " records it");
            return;
        }
        const std::vector<std::string_view> records = CsvRecordTexts(bytes);
        if (records.empty()) {
            if (!events.empty())
                Problem(path, 0, "empty, but audit.jsonl records rows of it");
            return;
        }
        const std::size_t firstProblem = result_.problems.size();
        CheckRecordRows(name, path, bytes, records, events);
        std::stable_sort(result_.problems.begin() + static_cast<std::ptrdiff_t>(firstProblem),
                         result_.problems.end(),
                         [](const AuditProblem& a, const AuditProblem& b) { return a.line < b.line; });
    }

    void CheckRecordRows(const std::string& name, const std::string& path, const std::string& bytes,
                         const std::vector<std::string_view>& records, const std::vector<Covering>& events)
    {
        CheckHeader(name, path, records.front());

        std::vector<int64_t> lines(records.size() + 1, 1);  // where each record starts, and the end
        std::vector<std::size_t> offsets(records.size() + 1, 0);
        for (std::size_t i = 0; i < records.size(); ++i) {
            lines[i + 1] = lines[i] + LineEnds(records[i]);
            offsets[i + 1] = offsets[i] + records[i].size();
        }
        const int64_t rows = static_cast<int64_t>(records.size()) - 1;
        if (name == kSamplesFileName)
            result_.samples = rows;
        else if (name == kCalibrationsFileName)
            result_.calibrations = rows;

        // The last adopt covers its rows as they were; the row events after
        // it cover the rows after those, one by one.
        std::size_t from = 0;
        int64_t adopted = 0;
        for (std::size_t i = events.size(); i > 0; --i)
            if (events[i - 1].adopt) {
                from = i;
                adopted = events[i - 1].rows;
                CheckAdopted(path, bytes, events[i - 1], rows, lines, offsets);
                break;
            }
        adopted = std::min(adopted, rows);
        std::vector<const Covering*> rowEvents;
        for (std::size_t i = from; i < events.size(); ++i)
            if (!events[i].adopt)
                rowEvents.push_back(&events[i]);
        MatchRows(path, records, lines, static_cast<std::size_t>(adopted) + 1, rowEvents);
    }

    void CheckHeader(const std::string& name, const std::string& path, std::string_view header)
    {
        if (header.substr(0, kUtf8Bom.size()) == kUtf8Bom)
            header.remove_prefix(kUtf8Bom.size());
        header = header.substr(0, header.find_first_of("\r\n"));
        for (const Known& known : kKnownFiles)
            if (name == known.name && header != known.header)
                Problem(path, 1, std::string("the header is not \"") + known.header + "\"");
    }

    void CheckAdopted(const std::string& path, const std::string& bytes, const Covering& adopt, int64_t rows,
                      const std::vector<int64_t>& lines, const std::vector<size_t>& offsets)
    {
        const std::string where = " adopted at audit.jsonl line " + std::to_string(adopt.auditLine);
        if (rows < adopt.rows) {
            Problem(path, lines.back(),
                    "holds " + std::to_string(rows) + " rows of the " + std::to_string(adopt.rows) + where);
            return;
        }
        std::string_view covered =
            std::string_view(bytes).substr(0, offsets[static_cast<std::size_t>(adopt.rows) + 1]);
        if (hasher_.Hex(covered) == adopt.hash)
            return;
        // A file whose last line had no line end gets one before the next
        // row is appended: the adopted bytes are then the same but for it.
        if (covered.size() >= kRowEnd.size() && covered.substr(covered.size() - kRowEnd.size()) == kRowEnd &&
            hasher_.Hex(covered.substr(0, covered.size() - kRowEnd.size())) == adopt.hash)
            return;
        Problem(path, adopt.rows > 0 ? lines[1] : 1,
                "the header or the " + std::to_string(adopt.rows) + " rows" + where + " were changed");
    }

    // Rows from records[first] on against their events in order: each row
    // must have its event and each event its row. A row with no event where
    // an event has no row was changed; the others were added or removed;
    // rows whose events stand in another order were moved.
    void MatchRows(const std::string& path, const std::vector<std::string_view>& records,
                   const std::vector<int64_t>& lines, std::size_t first,
                   const std::vector<const Covering*>& events)
    {
        // The events of each row hash, in order: the first, and after each
        // the next with the same hash.
        std::unordered_map<std::string_view, int64_t> byHash;
        std::vector<int64_t> sameAfter(events.size(), -1);
        byHash.reserve(events.size());
        for (std::size_t e = events.size(); e > 0; --e) {
            const auto [at, added] = byHash.try_emplace(events[e - 1]->hash, static_cast<int64_t>(e - 1));
            if (!added) {
                sameAfter[e - 1] = at->second;
                at->second = static_cast<int64_t>(e - 1);
            }
        }
        const std::size_t count = records.size() > first ? records.size() - first : 0;
        std::vector<int64_t> eventOf(count, -1);
        std::vector<bool> eventUsed(events.size(), false);
        std::vector<std::size_t> matchedRows;
        std::vector<int64_t> matchedEvents;
        for (std::size_t r = 0; r < count; ++r) {
            const auto found = byHash.find(hasher_.Hex(records[first + r]));
            if (found == byHash.end() || found->second < 0)
                continue;
            eventOf[r] = found->second;
            found->second = sameAfter[static_cast<std::size_t>(found->second)];
            eventUsed[static_cast<std::size_t>(eventOf[r])] = true;
            matchedRows.push_back(r);
            matchedEvents.push_back(eventOf[r]);
        }
        std::vector<bool> inOrder(count, false);
        for (std::size_t i : LongestIncreasing(matchedEvents))
            inOrder[matchedRows[i]] = true;

        const auto lineOf = [&](std::size_t r) { return lines[first + r]; };
        const auto auditLine = [&](int64_t e) {
            return std::to_string(events[static_cast<std::size_t>(e)]->auditLine);
        };
        std::size_t row = 0;
        int64_t event = 0;
        // Each gap between two rows in order, and after the last.
        for (;;) {
            std::size_t nextRow = row;
            while (nextRow < count && !inOrder[nextRow])
                ++nextRow;
            const int64_t nextEvent =
                nextRow < count ? eventOf[nextRow] : static_cast<int64_t>(events.size());
            std::vector<std::size_t> loose;
            for (std::size_t r = row; r < nextRow; ++r) {
                if (eventOf[r] >= 0)
                    Problem(path, lineOf(r),
                            "row out of order: audit.jsonl line " + auditLine(eventOf[r]) +
                                " recorded it at another place");
                else
                    loose.push_back(r);
            }
            std::size_t paired = 0;
            for (int64_t e = event; e < nextEvent; ++e) {
                if (eventUsed[static_cast<std::size_t>(e)])
                    continue;
                if (paired < loose.size())
                    Problem(path, lineOf(loose[paired++]),
                            "row changed: not as audit.jsonl line " + auditLine(e) + " recorded it");
                else
                    Problem(path, nextRow < count ? lineOf(nextRow) : lines.back(),
                            "row missing: audit.jsonl line " + auditLine(e) + " recorded one here");
            }
            for (; paired < loose.size(); ++paired)
                Problem(path, lineOf(loose[paired]), "row added: not in audit.jsonl");
            if (nextRow >= count)
                break;
            row = nextRow + 1;
            event = nextEvent + 1;
        }
    }

    void CheckLogs()
    {
        for (const ClosedLog& log : logs_) {
            const QString path = QString::fromStdString(log.path);
            const QFileInfo info(path);
            if (!info.exists()) {
                result_.logsNotFound.push_back({log.path, log.auditLine});
                continue;
            }
            const std::optional<std::string> hash = info.isFile() ? FileSha256Hex(log.path) : std::nullopt;
            if (!hash)
                Problem(log.path, 0, "cannot be read");
            else if (*hash != log.hash)
                Problem(log.path, 0,
                        "changed since audit.jsonl line " + std::to_string(log.auditLine) +
                            " recorded it closed");
            else
                ++result_.logsChecked;
        }
    }

    std::string folder_;
    std::string trailPath_;
    Hasher hasher_;
    AuditCheckResult result_;
    int64_t nextSeq_ = 1;
    std::string expectedPrev_ = kAuditGenesis;
    int64_t lastLine_ = 0;
    std::map<std::string, std::vector<Covering>> covering_;  // by file name
    std::vector<ClosedLog> logs_;
};

}  // namespace

AuditCheckResult CheckAuditFolder(const std::string& folder) { return Checker(folder).Run(); }

std::string AuditProblemText(const AuditProblem& problem)
{
    if (problem.line <= 0)
        return problem.file + ": " + problem.text;
    return problem.file + ":" + std::to_string(problem.line) + ": " + problem.text;
}

std::string AuditSummaryText(const AuditCheckResult& result)
{
    std::string head = std::to_string(result.headSeq);
    if (result.headHash.size() == kSha256HexLength)
        head += " " + result.headHash.substr(0, kHeadShownStart) + "\u2026" +
            result.headHash.substr(kSha256HexLength - kHeadShownEnd);
    return "intact: " + std::to_string(result.events) + " events (head " + head + "), " +
        std::to_string(result.samples) + " samples, " + std::to_string(result.calibrations) +
        " calibrations, " + std::to_string(result.logsChecked) + " logs checked, " +
        std::to_string(result.logsNotFound.size()) + " not found";
}

}  // namespace tirevo
