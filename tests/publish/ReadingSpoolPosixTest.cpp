// The backlog where only POSIX lets a test reach: a run killed outright, the
// heap the spool holds while its file grows.
#include "SpoolFixture.h"

#include <QFileInfo>

#include <malloc.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace spooltest;

namespace {

TEST_F(ReadingSpoolTest, AKilledRunLosesNothingItAppended)
{
    constexpr int kReadings = 50;
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The run that is killed: it says when its readings are appended,
        // then waits for its end.
        ::close(ready[0]);
        ReadingSpool spool(Folder(), "A1");
        bool appended = spool.Open(0) == Result::Fresh;
        for (int n = 0; appended && n < kReadings; ++n)
            appended = spool.Append(Payload(n));
        const char said = appended ? 'y' : 'n';
        if (::write(ready[1], &said, 1) != 1)
            ::_exit(1);
        for (;;)
            ::pause();
    }
    ::close(ready[1]);
    char said = 0;
    const auto got = ::read(ready[0], &said, 1);
    ::close(ready[0]);
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_EQ(got, 1);
    ASSERT_EQ(said, 'y');
    ASSERT_TRUE(WIFSIGNALED(status));

    // Its lock went with it: the next run has the spool and all of it.
    ReadingSpool spool(Folder(), "A1");
    ASSERT_EQ(spool.Open(0), Result::Resumed) << spool.Message().toStdString();
    EXPECT_EQ(Payloads(spool.TakeNext(100)), Range(0, kReadings));
}

TEST_F(ReadingSpoolTest, MemoryDoesNotGrowWithTheBacklog)
{
    ReadingSpool spool(Folder(), "A1");
    ASSERT_EQ(spool.Open(0), Result::Fresh);
    AppendRange(spool, 0, 1000);
    const auto before = mallinfo2().uordblks;
    AppendRange(spool, 1000, 200000);
    const auto after = mallinfo2().uordblks;
    EXPECT_EQ(spool.Pending(), 200000u);
    EXPECT_LT(after, before + 64 * 1024) << "the spool keeps something per reading in memory";
    EXPECT_GT(QFileInfo(spool.Path()).size(), 200000 * 70) << "the readings are on the disk";

    // Delivering it, a window at a time, holds no more either.
    for (int sent = 0; sent < 100000;) {
        const auto window = spool.TakeNext(20);
        AckAll(spool, window);
        sent += static_cast<int>(window.size());
    }
    EXPECT_LT(mallinfo2().uordblks, before + 64 * 1024) << "delivery keeps something per reading in memory";
    EXPECT_EQ(spool.Pending(), 100000u);
}

}  // namespace
