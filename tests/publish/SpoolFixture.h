// What the backlog's tests share: numbered readings, the spool's folder in
// a temporary one of the test's own.
#pragma once

#include "FileBytes.h"
#include "ReadingSpool.h"

#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace spooltest {

using tirevo::ReadingSpool;
using Result = ReadingSpool::OpenResult;

inline std::string Payload(int n)
{
    return "{\"time\":\"2026-12-08T10:02:45.120+01:00\",\"ph\":7.02,\"stable\":true,\"n\":" +
        std::to_string(n) + "}";
}

inline std::vector<std::string> Payloads(const std::vector<ReadingSpool::Entry>& entries)
{
    std::vector<std::string> payloads;
    for (const auto& entry : entries)
        payloads.push_back(entry.payload);
    return payloads;
}

inline std::vector<std::string> Range(int from, int to)
{
    std::vector<std::string> payloads;
    for (int n = from; n < to; ++n)
        payloads.push_back(Payload(n));
    return payloads;
}

inline void AppendRange(ReadingSpool& spool, int from, int to)
{
    for (int n = from; n < to; ++n)
        ASSERT_TRUE(spool.Append(Payload(n))) << spool.Message().toStdString();
}

inline void AckAll(ReadingSpool& spool, const std::vector<ReadingSpool::Entry>& entries)
{
    for (const auto& entry : entries)
        spool.Acknowledged(entry.id);
}

// The file's bytes through the shared helpers, by a name that holds on Windows too.
inline std::string ReadAll(const QString& path)
{
    return ReadFile(std::filesystem::path(path.toStdU16String()));
}

inline void WriteAll(const QString& path, const std::string& bytes)
{
    ASSERT_TRUE(WriteFile(std::filesystem::path(path.toStdU16String()), bytes));
}

class ReadingSpoolTest : public ::testing::Test {
protected:
    QString Folder() const { return dir_.filePath(QStringLiteral("spool")); }

    QTemporaryDir dir_;
};

}  // namespace spooltest
