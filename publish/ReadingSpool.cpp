#include "ReadingSpool.h"

#include "PlainName.h"
#include "SpoolDisk.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace tirevo {

namespace {

constexpr std::string_view kMagic = "tirevo reading spool 1 start=";
constexpr int kStartDigits = 20;
constexpr int64_t kHeaderLen = static_cast<int64_t>(kMagic.size()) + kStartDigits + 1;
// A reading is about a hundred bytes; a longer line is no reading of ours.
constexpr std::size_t kMaxLine = 64 * 1024;
// Batches the file is read in: memory stays this small whatever the backlog.
constexpr int64_t kChunk = 64 * 1024;
// The delivered head is cut off once it is this long and longer than what
// is left, so the copy costs at most what was delivered since the last one.
constexpr int64_t kCompactBytes = 1024 * 1024;
constexpr const char* kSuffix = ".spool";

std::string Header(int64_t start)
{
    char digits[kStartDigits + 1];
    std::snprintf(digits, sizeof digits, "%020lld", static_cast<long long>(start));
    return std::string(kMagic) + digits + '\n';
}

// The start a header holds, or -1 when it is no header of ours.
int64_t ParseHeader(const QByteArray& bytes)
{
    if (bytes.size() != kHeaderLen ||
        !bytes.startsWith(QByteArray::fromRawData(kMagic.data(), kMagic.size())) || bytes.back() != '\n')
        return -1;
    int64_t start = 0;
    for (int64_t i = static_cast<int64_t>(kMagic.size()); i < kHeaderLen - 1; ++i) {
        const char c = bytes.at(static_cast<qsizetype>(i));
        if (c < '0' || c > '9')
            return -1;
        start = start * 10 + (c - '0');
    }
    return start;
}

bool IsReadingLine(std::string_view line)
{
    return line.size() >= 2 && line.front() == '{' && line.back() == '}' &&
        line.find_first_of(std::string_view("\n\r\0", 3)) == std::string_view::npos;
}

}  // namespace

ReadingSpool::ReadingSpool(QString folder, std::string_view serial, uint64_t maxEntries)
    : folder_(std::move(folder)), name_(PlainName(serial)), max_(std::max<uint64_t>(maxEntries, 1))
{
}

ReadingSpool::~ReadingSpool() { Close(); }

void ReadingSpool::Close()
{
    Sync();
    file_.close();
    flights_.clear();
    lock_.reset();
}

QString ReadingSpool::Path() const
{
    return QDir(folder_).filePath(QString::fromStdString(name_) + QLatin1String(kSuffix));
}

ReadingSpool::OpenResult ReadingSpool::Open(int64_t nowMs)
{
    Close();
    pending_ = 0;
    message_.clear();
    lastSyncMs_ = nowMs;
    if (!QDir().mkpath(folder_)) {
        message_ = QStringLiteral("cannot make the spool folder %1").arg(QDir::toNativeSeparators(folder_));
        return OpenResult::Failed;
    }
    const QString path = Path();
    // Two runs appending to one spool would interleave and deliver twice.
    lock_ = std::make_unique<QLockFile>(path + QStringLiteral(".lock"));
    lock_->setStaleLockTime(
        0);  // held for as long as the run lasts; a dead holder's lock is still taken over
    if (!lock_->tryLock(0)) {
        qint64 pid = 0;
        QString host;
        QString app;
        lock_->getLockInfo(&pid, &host, &app);
        message_ = QStringLiteral("the spool file %1 is in use by another run (process %2)")
                       .arg(QDir::toNativeSeparators(path), QString::number(pid));
        lock_.reset();
        return OpenResult::Failed;
    }
    if (!QFile::exists(path) || QFileInfo(path).size() == 0)
        return CreateFresh(path) ? OpenResult::Fresh : OpenResult::Failed;
    return OpenExisting(path);
}

bool ReadingSpool::CreateFresh(const QString& path)
{
    // Made whole under a temporary name, so no half-written header is ever
    // found under the spool's own.
    QSaveFile fresh(path);
    const std::string header = Header(kHeaderLen);
    if (!fresh.open(QIODevice::WriteOnly) || fresh.write(header.data(), kHeaderLen) != kHeaderLen ||
        !fresh.commit()) {
        message_ = QStringLiteral("cannot write the spool file %1: %2")
                       .arg(QDir::toNativeSeparators(path), fresh.errorString());
        return false;
    }
    file_.setFileName(path);
    if (!file_.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        message_ = QStringLiteral("cannot open the spool file %1: %2")
                       .arg(QDir::toNativeSeparators(path), file_.errorString());
        return false;
    }
    start_ = cursor_ = size_ = kHeaderLen;
    return true;
}

ReadingSpool::OpenResult ReadingSpool::OpenExisting(const QString& path)
{
    file_.setFileName(path);
    if (!file_.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        message_ = QStringLiteral("cannot open the spool file %1: %2")
                       .arg(QDir::toNativeSeparators(path), file_.errorString());
        return OpenResult::Failed;
    }
    const int64_t start = ParseHeader(file_.read(kHeaderLen));
    if (start < kHeaderLen)
        return SetAside(path, QStringLiteral("its first line is not a spool header"));
    size_ = file_.size();

    // The lines owed, each checked; what follows the last newline is a line
    // a crash cut short, dropped without a word.
    int64_t lineStart = std::min(start, size_);
    int64_t lastEnd = lineStart;
    uint64_t lines = 0;
    std::string line;
    file_.seek(lineStart);
    for (int64_t at = lineStart; at < size_;) {
        const QByteArray chunk = file_.read(std::min(kChunk, size_ - at));
        if (chunk.isEmpty()) {
            message_ = QStringLiteral("cannot read the spool file %1: %2")
                           .arg(QDir::toNativeSeparators(path), file_.errorString());
            file_.close();
            return OpenResult::Failed;
        }
        for (const char c : chunk) {
            ++at;
            if (c != '\n') {
                if (line.size() >= kMaxLine)
                    return SetAside(path,
                                    QStringLiteral("line %1 of the backlog is too long").arg(lines + 1));
                line.push_back(c);
                continue;
            }
            if (!IsReadingLine(line))
                return SetAside(path,
                                QStringLiteral("line %1 of the backlog is not a reading").arg(lines + 1));
            ++lines;
            lastEnd = at;
            line.clear();
        }
    }
    bool repaired = false;
    if (lastEnd < size_) {
        if (!file_.resize(lastEnd)) {
            message_ = QStringLiteral("cannot cut the torn last line of the spool file %1: %2")
                           .arg(QDir::toNativeSeparators(path), file_.errorString());
            file_.close();
            return OpenResult::Failed;
        }
        size_ = lastEnd;
        repaired = true;
    }
    start_ = cursor_ = std::min(start, size_);
    pending_ = lines;
    if (start_ != start)
        WriteStart();  // the file was cut back and the start not yet moved with it
    return repaired ? OpenResult::Repaired : OpenResult::Resumed;
}

ReadingSpool::OpenResult ReadingSpool::SetAside(const QString& path, const QString& why)
{
    file_.close();
    // Never deleted: the readings in it may be all there is of them.
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString aside = path + QStringLiteral(".corrupt-") + stamp;
    for (int n = 2; QFile::exists(aside); ++n)
        aside = path + QStringLiteral(".corrupt-") + stamp + QLatin1Char('-') + QString::number(n);
    if (!QFile::rename(path, aside)) {
        message_ = QStringLiteral("the spool file %1 is damaged (%2) and cannot be moved aside; "
                                  "move it away to spool again")
                       .arg(QDir::toNativeSeparators(path), why);
        return OpenResult::Failed;
    }
    if (!CreateFresh(path))
        return OpenResult::Failed;
    message_ = QStringLiteral("the spool file %1 is damaged (%2); it was kept as %3 and a new spool begins")
                   .arg(QDir::toNativeSeparators(path), why, QDir::toNativeSeparators(aside));
    return OpenResult::Corrupt;
}

bool ReadingSpool::Append(std::string_view payload)
{
    if (!IsReadingLine(payload)) {
        message_ = QStringLiteral("a reading to spool is not one line of JSON");
        return false;
    }
    if (!file_.isOpen()) {
        message_ = QStringLiteral("the spool is not open");
        return false;
    }
    if (pending_ >= max_)
        DropOldest();
    std::string line(payload);
    line.push_back('\n');
    const auto length = static_cast<int64_t>(line.size());
    if (!file_.seek(size_) || file_.write(line.data(), length) != length) {
        Fail(QStringLiteral("cannot write to"));
        // A part written would read as a torn line: cut it off again.
        file_.resize(size_);
        return false;
    }
    size_ += length;
    ++pending_;
    dirty_ = true;
    return true;
}

std::vector<ReadingSpool::Entry> ReadingSpool::TakeNext(std::size_t count)
{
    std::vector<Entry> taken;
    std::string line;
    int64_t end = 0;
    for (Flight& flight : flights_) {
        if (taken.size() >= count)
            return taken;
        if (flight.state != State::Returned)
            continue;
        if (!ReadLine(flight.offset, line, end))
            return taken;
        flight.state = State::Sent;
        taken.push_back({flight.id, line});
    }
    while (taken.size() < count && cursor_ < size_) {
        if (!ReadLine(cursor_, line, end))
            break;
        flights_.push_back({nextId_, cursor_, end, State::Sent});
        taken.push_back({nextId_++, line});
        cursor_ = end;
    }
    return taken;
}

void ReadingSpool::Acknowledged(uint64_t id)
{
    // A reading the bound dropped while in flight is no longer found.
    const auto flight =
        std::find_if(flights_.begin(), flights_.end(), [id](const Flight& f) { return f.id == id; });
    if (flight == flights_.end())
        return;
    flight->state = State::Acked;
    ReleaseHead();
}

void ReadingSpool::ConnectionLost()
{
    for (Flight& flight : flights_)
        if (flight.state == State::Sent)
            flight.state = State::Returned;
}

std::size_t ReadingSpool::InFlight() const
{
    return static_cast<std::size_t>(std::count_if(flights_.begin(), flights_.end(),
                                                  [](const Flight& f) { return f.state == State::Sent; }));
}

uint64_t ReadingSpool::TakeDropped() { return std::exchange(dropped_, 0); }

bool ReadingSpool::PopAckedHead()
{
    bool moved = false;
    while (!flights_.empty() && flights_.front().state == State::Acked) {
        start_ = flights_.front().end;
        flights_.pop_front();
        --pending_;
        moved = true;
    }
    return moved;
}

void ReadingSpool::ReleaseHead()
{
    if (!PopAckedHead())
        return;
    WriteStart();
    Compact();
}

void ReadingSpool::DropOldest()
{
    if (!flights_.empty()) {
        start_ = flights_.front().end;
        flights_.pop_front();
    } else {
        std::string line;
        int64_t end = 0;
        if (!ReadLine(start_, line, end))
            return;
        start_ = cursor_ = end;
    }
    --pending_;
    ++dropped_;
    // Those acknowledged behind it were waiting for it only.
    PopAckedHead();
    WriteStart();
    Compact();
}

bool ReadingSpool::ReadLine(int64_t offset, std::string& line, int64_t& end)
{
    line.clear();
    if (!file_.seek(offset))
        return false;
    for (int64_t at = offset; at < size_ && line.size() <= kMaxLine;) {
        const QByteArray chunk = file_.read(std::min<int64_t>(512, size_ - at));
        if (chunk.isEmpty())
            break;
        const auto newline = chunk.indexOf('\n');
        if (newline >= 0) {
            line.append(chunk.constData(), static_cast<std::size_t>(newline));
            end = at + newline + 1;
            return true;
        }
        line.append(chunk.constData(), static_cast<std::size_t>(chunk.size()));
        at += chunk.size();
    }
    Fail(QStringLiteral("cannot read a whole reading from"));
    return false;
}

bool ReadingSpool::WriteStart()
{
    const std::string header = Header(start_);
    if (!file_.seek(0) || file_.write(header.data(), kHeaderLen) != kHeaderLen) {
        Fail(QStringLiteral("cannot write to"));
        return false;
    }
    dirty_ = true;
    return true;
}

void ReadingSpool::Compact()
{
    const int64_t delivered = start_ - kHeaderLen;
    if (delivered >= kCompactBytes && delivered >= size_ - start_)
        Rewrite();
}

bool ReadingSpool::Rewrite()
{
    // The owed lines go into a new file that takes the old one's place in
    // one rename: a crash leaves the one or the other, whole.
    const QString path = Path();
    QSaveFile fresh(path);
    const std::string header = Header(kHeaderLen);
    bool written = fresh.open(QIODevice::WriteOnly) && fresh.write(header.data(), kHeaderLen) == kHeaderLen &&
        file_.seek(start_);
    for (int64_t at = start_; written && at < size_;) {
        const QByteArray chunk = file_.read(std::min(kChunk, size_ - at));
        written = !chunk.isEmpty() && fresh.write(chunk) == chunk.size();
        at += chunk.size();
    }
    if (!written) {
        fresh.cancelWriting();
        return false;
    }
    // Windows replaces no file that is open.
    file_.close();
    const bool committed = fresh.commit();
    if (committed && !SyncFolderToDisk(folder_))
        message_ = QStringLiteral("cannot sync the spool folder %1").arg(QDir::toNativeSeparators(folder_));
    file_.setFileName(path);
    if (!file_.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        Fail(QStringLiteral("cannot open"));
        return false;
    }
    if (!committed)
        return false;  // the old file is still whole and still in use
    const int64_t shift = start_ - kHeaderLen;
    start_ -= shift;
    cursor_ -= shift;
    size_ -= shift;
    for (Flight& flight : flights_) {
        flight.offset -= shift;
        flight.end -= shift;
    }
    dirty_ = false;  // QSaveFile put it on the disk, and the rename is synced
    return true;
}

void ReadingSpool::SyncIfDue(int64_t nowMs)
{
    if (!dirty_ || nowMs - lastSyncMs_ < kSyncIntervalMs)
        return;
    lastSyncMs_ = nowMs;
    Sync();
}

void ReadingSpool::Sync()
{
    if (!dirty_ || !file_.isOpen())
        return;
    if (SyncToDisk(file_))
        dirty_ = false;
    else
        Fail(QStringLiteral("cannot sync"));
}

void ReadingSpool::Fail(const QString& what)
{
    message_ = QStringLiteral("%1 the spool file %2: %3")
                   .arg(what, QDir::toNativeSeparators(file_.fileName()), file_.errorString());
}

}  // namespace tirevo
