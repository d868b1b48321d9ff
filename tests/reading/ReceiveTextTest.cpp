// Framing of received bytes into lines and the bound on the kept text.
#include "ReadingText.h"

#include <gtest/gtest.h>

#include <ctime>
#include <random>
#include <string>
#include <vector>

using namespace std::string_literals;
using tirevo::AppendReceived;
using tirevo::TakeLines;

namespace {

// One reception tick: whatever was read is appended, then every complete
// line is taken, in order.
struct TicksCase {
    const char* name;
    std::vector<std::string> reads;               // one entry per tick
    std::vector<std::vector<std::string>> lines;  // what each tick takes
    std::string left;                             // text pending afterwards
};

class Ticks : public testing::TestWithParam<TicksCase> {};

TEST_P(Ticks, TakeEveryCompleteLinePerTick)
{
    const TicksCase& c = GetParam();
    ASSERT_EQ(c.reads.size(), c.lines.size());
    std::string receiveText;
    for (std::size_t tick = 0; tick < c.reads.size(); ++tick) {
        AppendReceived(receiveText, c.reads[tick]);
        EXPECT_EQ(TakeLines(receiveText), c.lines[tick]) << "tick " << tick;
    }
    EXPECT_EQ(receiveText, c.left);
}

INSTANTIATE_TEST_SUITE_P(
    ReceiveText, Ticks,
    testing::Values(
        TicksCase{"SplitOverTwoReads", {"pH: 7", ".02\r"}, {{}, {"pH: 7.02"}}, ""},
        TicksCase{"TwoLinesInOneRead", {"pH: 7.02\rpH: 7.03\r", ""}, {{"pH: 7.02", "pH: 7.03"}, {}}, ""},
        TicksCase{"LineFeedAfterCrStartsNextLine",
                  {"pH: 7.02\r\npH: 7.03\r\n"},
                  {{"pH: 7.02", "\npH: 7.03"}},
                  "\n"},
        TicksCase{"LineFeedAloneEndsNothing", {"a\nb\n"}, {{}}, "a\nb\n"},
        TicksCase{"AnyByteKept", {"\0a\x7f\xff\x80\t\r"s}, {{"\0a\x7f\xff\x80\t"s}}, ""},
        TicksCase{"EmptyLines", {"\r\r", ""}, {{"", ""}, {}}, ""},
        TicksCase{"NoCrStaysPending", {"pH: 7.02", "", "\r"}, {{}, {}, {"pH: 7.02"}}, ""},
        TicksCase{"NoBacklogBehindNewReads", {"a\rb\r", "c\r", "d", ""}, {{"a", "b"}, {"c"}, {}, {}}, "d"},
        TicksCase{"CompletedLineThenMore", {"x", "\ry\rz"}, {{}, {"x", "y"}}, "z"}),
    [](const auto& info) { return std::string(info.param.name); });

struct BoundCase {
    const char* name;
    std::string before;
    std::string bytes;
    std::size_t limit;
    std::string after;
};

class Bound : public testing::TestWithParam<BoundCase> {};

TEST_P(Bound, DropsOldestTextAtALineBoundary)
{
    const BoundCase& c = GetParam();
    std::string receiveText = c.before;
    AppendReceived(receiveText, c.bytes, c.limit);
    EXPECT_EQ(receiveText, c.after);
}

INSTANTIATE_TEST_SUITE_P(
    ReceiveText, Bound,
    testing::Values(BoundCase{"FitsExactly", "abc", "de", 5, "abcde"},
                    BoundCase{"DropsFirstLine", "ab\rcd\r", "ef", 5, "cd\ref"},
                    BoundCase{"DropsNoMoreThanNeeded", "a\rb\rc\r", "d", 5, "b\rc\rd"},
                    BoundCase{"DropsSeveralLines", "a\rb\rc\r", "dddd", 5, "dddd"},
                    BoundCase{"CrJustBeforeTheLimit", "abc\r", "de", 2, "de"},
                    BoundCase{"NoCrDropsEverything", "abcdef", "g", 6, ""},
                    BoundCase{"CrOnlyInNewBytes", "abcdef", "g\rh", 6, "h"},
                    BoundCase{"NewBytesAloneTooLongKeepTheirTail", "x\r", "aa\rbb\rcc\rdd", 5, "cc\rdd"},
                    BoundCase{"NewBytesAloneTooLongEndingWithCr", "x", "123456\r", 5, ""},
                    BoundCase{"TailAfterLastCrTooLong", "x", "a\rbbbbbbbb", 5, ""},
                    BoundCase{"NulsCountLikeAnyByte", "\0\0\r\0"s, "\0\0"s, 3, "\0\0\0"s},
                    BoundCase{"ZeroLimit", "", "a\r", 0, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// Long streams at the real bound, read in chunks and consumed like the
// reception timer does: every complete line after each chunk.
struct StreamCase {
    std::size_t chunk;
    std::size_t lineLength;  // 0: no carriage return at all
    std::size_t streamLength;
};

class LongStream : public testing::TestWithParam<StreamCase> {};

TEST_P(LongStream, StaysBoundedAndAtLineBoundaries)
{
    const StreamCase& c = GetParam();
    std::mt19937 random(static_cast<unsigned>(c.chunk * 31 + c.lineLength));
    std::string stream(c.streamLength, '\0');
    for (std::size_t i = 0; i < stream.size(); ++i) {
        stream[i] = c.lineLength != 0 && i % c.lineLength == c.lineLength - 1
            ? '\r'
            : static_cast<char>(random() % 13 == 0 ? '\n' : 'a' + random() % 26);
    }
    const std::size_t limit = tirevo::kReceiveTextLimit;
    std::string receiveText;
    std::size_t received = 0;
    std::size_t linesTaken = 0;
    while (received < stream.size()) {
        const std::size_t n = std::min(c.chunk, stream.size() - received);
        AppendReceived(receiveText, std::string_view(stream).substr(received, n));
        received += n;
        ASSERT_LE(receiveText.size(), limit);
        ASSERT_LE(receiveText.capacity(), 2 * limit);
        // Always the newest text; it starts right after a carriage return
        // unless a line longer than the bound had to be cut.
        const std::size_t start = received - receiveText.size();
        ASSERT_EQ(receiveText, std::string_view(stream).substr(start, receiveText.size()));
        if (c.lineLength != 0 && c.lineLength <= limit && !receiveText.empty()) {
            ASSERT_TRUE(start == 0 || stream[start - 1] == '\r') << "at " << start;
        }
        for (const std::string& line : TakeLines(receiveText)) {
            ASSERT_EQ(line.find('\r'), std::string::npos);
            ASSERT_LE(line.size(), limit);
            ++linesTaken;
        }
        ASSERT_EQ(receiveText.find('\r'), std::string::npos);
    }
    if (c.lineLength == 0) {
        EXPECT_EQ(linesTaken, 0u);
    } else if (c.chunk + c.lineLength <= limit) {
        // Lines are taken as fast as they come: only a single read larger
        // than the bound can make it drop one.
        EXPECT_EQ(linesTaken, c.streamLength / c.lineLength);
    } else if (c.lineLength <= limit) {
        EXPECT_GT(linesTaken, 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(ReceiveText, LongStream,
                         testing::Values(StreamCase{65536, 0, 10 << 20}, StreamCase{65536, 2, 10 << 20},
                                         StreamCase{65536, 9, 10 << 20}, StreamCase{65536, 70000, 10 << 20},
                                         StreamCase{100000, 10, 10 << 20}, StreamCase{100000, 0, 10 << 20},
                                         StreamCase{4096, 9, 10 << 20}, StreamCase{97, 0, 1 << 20},
                                         StreamCase{97, 9, 1 << 20}, StreamCase{97, 40000, 1 << 20}),
                         [](const auto& info) {
                             return "Chunk" + std::to_string(info.param.chunk) + "Line" +
                                 std::to_string(info.param.lineLength);
                         });

// Dropping thousands of short lines per read must not cost a move of the
// whole text per line: 10 MB of two-byte lines take milliseconds when the
// cost is linear and tens of seconds when it is not.
TEST(ReceiveText, ShortLinesAtTheBoundCostLinearTime)
{
    std::string chunk;
    for (std::size_t i = 0; i < tirevo::kReceiveTextLimit / 2; ++i)
        chunk += "7\r";
    std::string receiveText;
    const std::clock_t start = std::clock();
    for (int read = 0; read < 160; ++read) {
        AppendReceived(receiveText, chunk.substr(read % 2));  // shift the CRs
        ASSERT_LE(receiveText.size(), tirevo::kReceiveTextLimit);
    }
    const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    EXPECT_LT(seconds, 2.0);
    EXPECT_GE(receiveText.size(), tirevo::kReceiveTextLimit - 1);  // only what had to go
}

// A full receive text of two-byte lines is taken whole in one tick (its cost,
// linear in the text, is measured by the benchmark, not here).
TEST(ReceiveText, EveryLineOfAFullTextAtOnce)
{
    // With the "x" before it, exactly the bound.
    constexpr std::size_t kLines = tirevo::kReceiveTextLimit / 2 - 1;
    std::string chunk = "7";
    for (std::size_t i = 0; i < kLines; ++i)
        chunk += "\r7";
    std::size_t taken = 0;
    for (int read = 0; read < 3; ++read) {
        std::string receiveText = "x";
        AppendReceived(receiveText, chunk);
        const std::vector<std::string> lines = TakeLines(receiveText);
        taken += lines.size();
        ASSERT_EQ(lines.front(), "x7");
        ASSERT_EQ(receiveText, "7");
    }
    EXPECT_EQ(taken, 3 * kLines);
}

}  // namespace
