// The on-disk backlog of readings: real files in a temporary folder, the
// caller's clock in plain numbers.
#include "SpoolFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <memory>

using namespace spooltest;

namespace {

TEST_F(ReadingSpoolTest, OneFilePerMeterNamedPlainly)
{
    ReadingSpool spool(Folder(), "A1/B2 C3");
    ASSERT_EQ(spool.Open(0), Result::Fresh);
    EXPECT_EQ(spool.Path(), QDir(Folder()).filePath(QStringLiteral("A1_B2_C3.spool")));
    EXPECT_TRUE(QFile::exists(spool.Path()));
    EXPECT_EQ(spool.Pending(), 0u);
    EXPECT_TRUE(spool.TakeNext(5).empty());
}

TEST_F(ReadingSpoolTest, WhatIsWrittenReachesTheDiskWithinASecond)
{
    ReadingSpool spool(Folder(), "A1");
    ASSERT_EQ(spool.Open(10000), Result::Fresh);
    EXPECT_FALSE(spool.Unsynced());
    AppendRange(spool, 0, 1);
    spool.SyncIfDue(10999);
    EXPECT_TRUE(spool.Unsynced()) << "not yet: at most one sync a second";
    spool.SyncIfDue(11000);
    EXPECT_FALSE(spool.Unsynced());

    // An acknowledgement moves the start, which is synced the same way.
    AckAll(spool, spool.TakeNext(1));
    EXPECT_TRUE(spool.Unsynced());
    spool.SyncIfDue(11500);
    EXPECT_TRUE(spool.Unsynced());
    spool.SyncIfDue(12000);
    EXPECT_FALSE(spool.Unsynced());
}

TEST_F(ReadingSpoolTest, OutOfOrderAcksReleaseOnlyTheAcknowledgedHead)
{
    ReadingSpool spool(Folder(), "A1");
    ASSERT_EQ(spool.Open(0), Result::Fresh);
    AppendRange(spool, 0, 6);
    const auto first = spool.TakeNext(4);
    ASSERT_EQ(Payloads(first), Range(0, 4));
    EXPECT_EQ(spool.InFlight(), 4u);

    spool.Acknowledged(first[2].id);
    spool.Acknowledged(first[1].id);
    EXPECT_EQ(spool.Pending(), 6u) << "the oldest is not acknowledged yet";
    spool.Acknowledged(first[0].id);
    EXPECT_EQ(spool.Pending(), 3u);
    spool.Acknowledged(first[0].id);  // a repeated ack changes nothing
    EXPECT_EQ(spool.Pending(), 3u);

    // A lost connection gives back only what was not acknowledged.
    spool.ConnectionLost();
    EXPECT_EQ(Payloads(spool.TakeNext(10)), Range(3, 6));
}

TEST_F(ReadingSpoolTest, ARestartDeliversWhatWasLeftOnceInOrder)
{
    {
        ReadingSpool spool(Folder(), "A1");
        ASSERT_EQ(spool.Open(0), Result::Fresh);
        AppendRange(spool, 0, 10);
        const auto sent = spool.TakeNext(5);
        spool.Acknowledged(sent[0].id);
        spool.Acknowledged(sent[1].id);
        // 2 is lost with the connection: it stays owed, and so does all after it.
        spool.Acknowledged(sent[3].id);
    }
    ReadingSpool again(Folder(), "A1");
    ASSERT_EQ(again.Open(0), Result::Resumed);
    EXPECT_EQ(again.Pending(), 8u);
    const auto left = again.TakeNext(100);
    EXPECT_EQ(Payloads(left), Range(2, 10));
    AckAll(again, left);
    again.Append(Payload(10));
    EXPECT_EQ(Payloads(again.TakeNext(100)), Range(10, 11));
}

TEST_F(ReadingSpoolTest, ATornLastLineIsDroppedQuietly)
{
    QString path;
    {
        ReadingSpool spool(Folder(), "A1");
        ASSERT_EQ(spool.Open(0), Result::Fresh);
        AppendRange(spool, 0, 3);
        path = spool.Path();
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("{\"time\":\"2026-12-08T10:0");  // the power went here
    file.close();

    ReadingSpool spool(Folder(), "A1");
    ASSERT_EQ(spool.Open(0), Result::Repaired);
    EXPECT_TRUE(spool.Message().isEmpty());
    EXPECT_EQ(spool.Pending(), 3u);
    ASSERT_TRUE(spool.Append(Payload(3)));
    EXPECT_EQ(Payloads(spool.TakeNext(10)), Range(0, 4));
    EXPECT_TRUE(ReadAll(path).ends_with(Payload(3) + "\n"));
}

struct CorruptCase {
    const char* name;
    QByteArray (*damage)(const QByteArray& good);
    const char* reason;
};

class CorruptSpoolTest : public ReadingSpoolTest, public ::testing::WithParamInterface<CorruptCase> {};

TEST_P(CorruptSpoolTest, IsRefusedKeptAsideAndAFreshSpoolBegins)
{
    QString path;
    {
        ReadingSpool spool(Folder(), "A1");
        ASSERT_EQ(spool.Open(0), Result::Fresh);
        AppendRange(spool, 0, 3);
        path = spool.Path();
    }
    const QByteArray damaged = GetParam().damage(QByteArray::fromStdString(ReadAll(path)));
    WriteAll(path, damaged.toStdString());

    ReadingSpool spool(Folder(), "A1");
    ASSERT_EQ(spool.Open(0), Result::Corrupt);
    const std::string message = spool.Message().toStdString();
    EXPECT_NE(message.find("is damaged (" + std::string(GetParam().reason)), std::string::npos) << message;
    EXPECT_NE(message.find("kept as"), std::string::npos) << message;

    const QStringList aside = QDir(Folder()).entryList({QStringLiteral("A1.spool.corrupt-*")}, QDir::Files);
    ASSERT_EQ(aside.size(), 1) << message;
    EXPECT_NE(message.find(QDir::toNativeSeparators(QDir(Folder()).filePath(aside[0])).toStdString()),
              std::string::npos);
    EXPECT_EQ(ReadAll(QDir(Folder()).filePath(aside[0])), damaged.toStdString()) << "kept as it was";
    EXPECT_EQ(spool.Pending(), 0u);
    ASSERT_TRUE(spool.Append(Payload(7)));
    EXPECT_EQ(Payloads(spool.TakeNext(10)), Range(7, 8));

    // A second damaged file the same second is kept beside the first.
    spool.Close();
    WriteAll(path, damaged.toStdString());
    ReadingSpool third(Folder(), "A1");
    ASSERT_EQ(third.Open(0), Result::Corrupt);
    EXPECT_EQ(QDir(Folder()).entryList({QStringLiteral("A1.spool.corrupt-*")}, QDir::Files).size(), 2);
}

const CorruptCase kCorruptCases[] = {
    {"BadHeader", [](const QByteArray& good) { return QByteArray("garbage\n") + good.mid(8); },
     "its first line is not a spool header"},
    {"GarbageInTheMiddle",
     [](const QByteArray& good) {
         QByteArray bad = good;
         const auto second = bad.indexOf('\n', bad.indexOf('\n') + 1) + 1;  // the second reading
         bad[second] = '\0';
         return bad;
     },
     "line 2 of the backlog is not a reading"},
    {"ZerosBeforeAWholeLine",
     [](const QByteArray& good) {
         return good + QByteArray(100, '\0') + "\n" + good.mid(good.indexOf('\n') + 1);
     },
     "line 4 of the backlog is not a reading"},
    {"OverlongLine", [](const QByteArray& good) { return good + QByteArray(70000, '{') + "}\n"; },
     "line 4 of the backlog is too long"},
};

INSTANTIATE_TEST_SUITE_P(Damage, CorruptSpoolTest, ::testing::ValuesIn(kCorruptCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReadingSpoolTest, TheBoundDropsTheOldestAndCountsThem)
{
    ReadingSpool spool(Folder(), "A1", 5);
    ASSERT_EQ(spool.Open(0), Result::Fresh);
    AppendRange(spool, 0, 8);
    EXPECT_EQ(spool.Pending(), 5u);
    EXPECT_EQ(spool.TakeDropped(), 3u);
    EXPECT_EQ(spool.TakeDropped(), 0u);

    // The oldest in flight goes too; its late ack changes nothing.
    const auto sent = spool.TakeNext(2);
    ASSERT_EQ(Payloads(sent), Range(3, 5));
    AppendRange(spool, 8, 9);
    EXPECT_EQ(spool.TakeDropped(), 1u);
    spool.Acknowledged(sent[0].id);
    EXPECT_EQ(spool.Pending(), 5u);
    spool.Acknowledged(sent[1].id);
    EXPECT_EQ(spool.Pending(), 4u);
    EXPECT_EQ(Payloads(spool.TakeNext(10)), Range(5, 9));
}

TEST_F(ReadingSpoolTest, DroppingTheOldestReleasesThoseAcknowledgedBehindIt)
{
    ReadingSpool spool(Folder(), "A1", 5);
    ASSERT_EQ(spool.Open(0), Result::Fresh);
    AppendRange(spool, 0, 5);
    const auto sent = spool.TakeNext(2);
    spool.Acknowledged(sent[1].id);
    AppendRange(spool, 5, 6);
    EXPECT_EQ(spool.TakeDropped(), 1u);
    EXPECT_EQ(spool.Pending(), 4u);
    EXPECT_EQ(Payloads(spool.TakeNext(10)), Range(2, 6));
}

TEST_F(ReadingSpoolTest, TheBoundHoldsOverARestart)
{
    {
        ReadingSpool spool(Folder(), "A1", 5);
        ASSERT_EQ(spool.Open(0), Result::Fresh);
        AppendRange(spool, 0, 5);
    }
    ReadingSpool spool(Folder(), "A1", 5);
    ASSERT_EQ(spool.Open(0), Result::Resumed);
    AppendRange(spool, 5, 7);
    EXPECT_EQ(spool.TakeDropped(), 2u);
    EXPECT_EQ(Payloads(spool.TakeNext(10)), Range(2, 7));
}

TEST_F(ReadingSpoolTest, DeliveredReadingsAreCutOffTheFile)
{
    constexpr int kReadings = 30000;  // about 3 MB: past the point where the head is cut off
    ReadingSpool spool(Folder(), "A1");
    ASSERT_EQ(spool.Open(0), Result::Fresh);
    AppendRange(spool, 0, kReadings);
    const qint64 full = QFileInfo(spool.Path()).size();

    // Delivered up to the last hundred: the file keeps about those only.
    for (int sent = 0; sent < kReadings - 100;) {
        const auto batch = spool.TakeNext(std::min(500, kReadings - 100 - sent));
        AckAll(spool, batch);
        sent += static_cast<int>(batch.size());
    }
    const qint64 rest = QFileInfo(spool.Path()).size();
    EXPECT_LT(rest, full / 2) << "compaction did not happen";
    EXPECT_EQ(spool.Pending(), 100u);

    // What is left is still found, in order, by this spool and by the next run.
    const auto tail = spool.TakeNext(30);
    EXPECT_EQ(Payloads(tail), Range(kReadings - 100, kReadings - 70));
    AckAll(spool, tail);
    spool.Close();
    ReadingSpool next(Folder(), "A1");
    ASSERT_EQ(next.Open(0), Result::Resumed);
    EXPECT_EQ(Payloads(next.TakeNext(1000)), Range(kReadings - 70, kReadings));
}

TEST_F(ReadingSpoolTest, OneRunAtATimePerSpool)
{
    auto first = std::make_unique<ReadingSpool>(Folder(), "A1");
    ASSERT_EQ(first->Open(0), Result::Fresh);
    AppendRange(*first, 0, 2);

    ReadingSpool second(Folder(), "A1");
    ASSERT_EQ(second.Open(0), Result::Failed);
    const std::string message = second.Message().toStdString();
    EXPECT_NE(message.find("is in use by another run (process " +
                           std::to_string(QCoreApplication::applicationPid())),
              std::string::npos)
        << message;
    ReadingSpool other(Folder(), "B2");
    EXPECT_EQ(other.Open(0), Result::Fresh) << "each meter has its own";

    first.reset();
    ASSERT_EQ(second.Open(0), Result::Resumed);
    EXPECT_EQ(Payloads(second.TakeNext(10)), Range(0, 2));
}

TEST_F(ReadingSpoolTest, RefusesWhatIsNotOneLineOfJson)
{
    ReadingSpool spool(Folder(), "A1");
    ASSERT_EQ(spool.Open(0), Result::Fresh);
    EXPECT_FALSE(spool.Append("{\"a\":1}\n{\"b\":2}"));
    EXPECT_FALSE(spool.Append("7.02"));
    EXPECT_EQ(spool.Pending(), 0u);
}

}  // namespace
