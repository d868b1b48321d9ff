// An append-only record of the user's results (samples, calibrations): one
// CSV file (UTF-8, RFC 4180, CRLF line ends) with a fixed header. Every row
// is appended and flushed to the disk on its own; the file is never
// rewritten, so rows written earlier survive whatever happens later.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tirevo {

enum class RecordStatus {
    Written,
    ForeignHeader,  // the file's first line is another header: left alone
    Failed,         // the folder, the file or the row could not be written
};

struct RecordResult {
    RecordStatus status = RecordStatus::Written;
    int systemError = 0;  // for Failed

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

    // The row as the file holds it, its line end included.
    static std::string RowText(const std::vector<std::string>& fields);
    // One field, quoted when it holds a comma, a quote or a line break.
    static std::string Field(std::string_view text);

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
