// An append-only record of the user's results (samples, calibrations): one
// CSV file (UTF-8, RFC 4180, CRLF line ends) with a fixed header. Every row
// is appended and flushed to the disk on its own; the file is never
// rewritten, so rows written earlier survive whatever happens later. Its
// writers take turns: see RecordLock.
#pragma once

#include "RecordLock.h"

#include <string>
#include <string_view>
#include <vector>

namespace tirevo {

// What a spreadsheet may put in front of the UTF-8 files it saves.
inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

enum class RecordStatus {
    Written,
    ForeignHeader,  // the file's first line is another header: left alone
    Failed,         // the folder, the file or the row could not be written
};

struct RecordResult {
    RecordStatus status = RecordStatus::Written;
    int systemError = 0;       // for Failed
    long long sizeBefore = 0;  // for Written: the file's length before the row (and any header)

    bool Ok() const { return status == RecordStatus::Written; }
};

class RecordFile {
public:
    // folder: where the file lives; createFolder: make it (and its parents)
    // when missing. header: the column names, without a line end.
    RecordFile(std::string folder, std::string_view fileName, std::string header, bool createFolder);

    const std::string& Path() const { return path_; }
    const std::string& Header() const { return header_; }

    // Appends one row, creating the file with its header when it is missing
    // (or empty). A row that cannot be written whole leaves nothing of
    // itself: the file is cut back to where it ended.
    RecordResult Append(const std::vector<std::string>& fields) const;

    // The same in steps, for a writer that writes more under the same lock:
    // MakeFolder() (when the file is to make it), a RecordLock on Path(),
    // then AppendLocked(); the close of the lock's Release() is the last
    // thing that can fail.
    RecordResult MakeFolder() const;
    RecordResult AppendLocked(const RecordLock& lock, const std::vector<std::string>& fields) const;
    // Takes back what AppendLocked wrote, still under the same lock, when a
    // line that must go with the row could not be written: the file is cut
    // back to result.sizeBefore and synced. 0, or the system error number.
    static int TakeBackLocked(const RecordLock& lock, const RecordResult& result);

    // The row as the file holds it, its line end included.
    static std::string RowText(const std::vector<std::string>& fields);
    // One field, quoted when it holds a comma, a quote or a line break.
    static std::string Field(std::string_view text);

    // Free text (a name typed by someone, a serial number a converter
    // reports) as a field: with an apostrophe in front when it starts with
    // = + - @, a tab or a carriage return, so that a spreadsheet opening the
    // file shows it instead of running it as a formula. Text whose
    // apostrophes are followed by one of those gets one more, so that
    // UnguardedText() gives back exactly what was written.
    static std::string GuardedText(std::string_view text);
    static std::string UnguardedText(std::string_view field);

    // Whether the file's first bytes are the header line (a UTF-8 byte order
    // mark in front, as a spreadsheet may save it, is taken too).
    bool StartsWithHeader(std::string_view firstBytes) const;
    // How many of the file's first bytes StartsWithHeader() needs.
    std::size_t HeaderBytes() const;

    // A message for the user when result is not Ok.
    std::string ErrorText(const RecordResult& result) const;

private:
    std::string folder_;
    std::string path_;
    std::string header_;
    bool createFolder_;
};

// Creates each missing folder of the path. False with errno set on failure.
bool MakeFolderPath(const std::string& folder);

}  // namespace tirevo
