#include "D2XXUnit.h"
#include "LibftdiLogic.h"

#include <gtest/gtest.h>
#include <libusb.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

using namespace tirevo;
using namespace tirevo::ftdilayer;

namespace {

// ---- status mapping ----------------------------------------------------------

struct Mapping {
    int from;
    FT_STATUS to;
};

// One libusb error, as met while listing or opening, and on an open device.
struct ErrorMapping {
    int error;
    FT_STATUS listingOrOpening;
    FT_STATUS onOpenDevice;
};

class LibusbErrorStatus : public testing::TestWithParam<ErrorMapping> {};
TEST_P(LibusbErrorStatus, MapsByWhereItHappened)
{
    const auto p = GetParam();
    EXPECT_EQ(StatusForDeviceAccess(p.error), p.listingOrOpening) << libusb_error_name(p.error);
    EXPECT_EQ(StatusForIo(p.error), p.onOpenDevice) << libusb_error_name(p.error);
}
INSTANTIATE_TEST_SUITE_P(
    Errors, LibusbErrorStatus,
    testing::Values(ErrorMapping{LIBUSB_SUCCESS, FT_OK, FT_OK},
                    // Gone: not there to open; on an open handle, what the vendor
                    // library reports after an unplug.
                    ErrorMapping{LIBUSB_ERROR_NO_DEVICE, FT_DEVICE_NOT_FOUND, FT_IO_ERROR},
                    ErrorMapping{LIBUSB_ERROR_NOT_FOUND, FT_DEVICE_NOT_FOUND, FT_IO_ERROR},
                    ErrorMapping{LIBUSB_ERROR_ACCESS, FT_DEVICE_NOT_OPENED, FT_IO_ERROR},
                    ErrorMapping{LIBUSB_ERROR_BUSY, FT_DEVICE_NOT_OPENED, FT_IO_ERROR},
                    ErrorMapping{LIBUSB_ERROR_IO, FT_IO_ERROR, FT_IO_ERROR},
                    ErrorMapping{LIBUSB_ERROR_PIPE, FT_IO_ERROR, FT_IO_ERROR},
                    ErrorMapping{LIBUSB_ERROR_TIMEOUT, FT_IO_ERROR, FT_IO_ERROR},
                    ErrorMapping{LIBUSB_ERROR_OVERFLOW, FT_IO_ERROR, FT_IO_ERROR},
                    ErrorMapping{LIBUSB_ERROR_NO_MEM, FT_INSUFFICIENT_RESOURCES, FT_INSUFFICIENT_RESOURCES},
                    ErrorMapping{LIBUSB_ERROR_INVALID_PARAM, FT_INVALID_PARAMETER, FT_INVALID_PARAMETER},
                    ErrorMapping{LIBUSB_ERROR_NOT_SUPPORTED, FT_NOT_SUPPORTED, FT_NOT_SUPPORTED},
                    ErrorMapping{LIBUSB_ERROR_OTHER, FT_OTHER_ERROR, FT_OTHER_ERROR}));

class TransferStatus : public testing::TestWithParam<Mapping> {};
TEST_P(TransferStatus, MapsTransferOutcome) { EXPECT_EQ(StatusForTransfer(GetParam().from), GetParam().to); }
INSTANTIATE_TEST_SUITE_P(BulkIn, TransferStatus,
                         testing::Values(Mapping{LIBUSB_TRANSFER_COMPLETED, FT_OK},
                                         Mapping{LIBUSB_TRANSFER_CANCELLED, FT_OK},
                                         Mapping{LIBUSB_TRANSFER_NO_DEVICE, FT_IO_ERROR},
                                         Mapping{LIBUSB_TRANSFER_ERROR, FT_IO_ERROR},
                                         Mapping{LIBUSB_TRANSFER_TIMED_OUT, FT_IO_ERROR},
                                         Mapping{LIBUSB_TRANSFER_STALL, FT_IO_ERROR},
                                         Mapping{LIBUSB_TRANSFER_OVERFLOW, FT_IO_ERROR}));

// ---- listing buffers -------------------------------------------------------

struct Fill {
    size_t textLength;
    size_t bufferSize;
};

class DriverString : public testing::TestWithParam<Fill> {};

// The buffer is surrounded by guard bytes; whatever the text, nothing past
// the buffer changes, a NUL follows the text only when it fits, and the
// device layer reads back exactly the text cut to the buffer.
TEST_P(DriverString, FillsWithinBufferAndReadsBack)
{
    const auto [length, size] = GetParam();
    std::string text;
    for (size_t i = 0; i < length; ++i)
        text.push_back(static_cast<char>('A' + i % 26));
    std::vector<char> area(size + 2, '#');
    FillDriverString(text, area.data() + 1, size);

    EXPECT_EQ(area.front(), '#');
    EXPECT_EQ(area.back(), '#');
    const size_t kept = std::min(length, size);
    EXPECT_EQ(std::string(area.data() + 1, kept), text.substr(0, kept));
    if (kept < size) {
        EXPECT_EQ(area[1 + kept], '\0');
    }
    EXPECT_EQ(BufferText(area.data() + 1, size), text.substr(0, kept));
}

INSTANTIATE_TEST_SUITE_P(DescriptionAndSerial, DriverString,
                         testing::Values(Fill{0, FT_DESCRIPTION_SIZE}, Fill{17, FT_DESCRIPTION_SIZE},
                                         Fill{63, FT_DESCRIPTION_SIZE}, Fill{64, FT_DESCRIPTION_SIZE},
                                         Fill{65, FT_DESCRIPTION_SIZE}, Fill{126, FT_DESCRIPTION_SIZE},
                                         Fill{0, FT_SERIAL_SIZE}, Fill{8, FT_SERIAL_SIZE},
                                         Fill{15, FT_SERIAL_SIZE}, Fill{16, FT_SERIAL_SIZE},
                                         Fill{17, FT_SERIAL_SIZE}, Fill{40, FT_SERIAL_SIZE}),
                         [](const auto& info) {
                             return std::to_string(info.param.textLength) + "_into_" +
                                 std::to_string(info.param.bufferSize);
                         });

// ---- line parameters ---------------------------------------------------------

struct Line {
    UCHAR bits, stop, parity;
    bool valid;
};

class DataCharacteristics : public testing::TestWithParam<Line> {};
TEST_P(DataCharacteristics, MapsOneToOneOrRejects)
{
    const auto p = GetParam();
    const auto mapped = MapDataCharacteristics(p.bits, p.stop, p.parity);
    ASSERT_EQ(mapped.has_value(), p.valid);
    if (mapped) {
        // libftdi numbers word lengths, stop-bit and parity codes as the
        // vendor library does; the mapping must not shift any of them.
        EXPECT_EQ(mapped->bits, p.bits);
        EXPECT_EQ(mapped->stopBits, p.stop);
        EXPECT_EQ(mapped->parity, p.parity);
    }
}
INSTANTIATE_TEST_SUITE_P(
    Codes, DataCharacteristics,
    testing::Values(
        Line{8, FT_STOP_BITS_1_5, FT_PARITY_NONE, true},  // the meter's setting
        Line{8, FT_STOP_BITS_1, FT_PARITY_NONE, true}, Line{8, FT_STOP_BITS_2, FT_PARITY_EVEN, true},
        Line{7, FT_STOP_BITS_1, FT_PARITY_ODD, true}, Line{7, FT_STOP_BITS_2, FT_PARITY_MARK, true},
        Line{8, FT_STOP_BITS_1_5, FT_PARITY_SPACE, true}, Line{6, FT_STOP_BITS_1, FT_PARITY_NONE, false},
        Line{9, FT_STOP_BITS_1, FT_PARITY_NONE, false}, Line{0, FT_STOP_BITS_1, FT_PARITY_NONE, false},
        Line{8, 3, FT_PARITY_NONE, false}, Line{8, 15, FT_PARITY_NONE, false},
        Line{8, FT_STOP_BITS_1, 5, false}, Line{8, FT_STOP_BITS_1, 'N', false}));

struct Flow {
    USHORT code;
    std::optional<int> mode;
};
class FlowControl : public testing::TestWithParam<Flow> {};
TEST_P(FlowControl, MapsKnownModesOnly) { EXPECT_EQ(MapFlowControl(GetParam().code), GetParam().mode); }
INSTANTIATE_TEST_SUITE_P(Codes, FlowControl,
                         testing::Values(Flow{FT_FLOW_NONE, 0x000}, Flow{FT_FLOW_RTS_CTS, 0x100},
                                         Flow{FT_FLOW_DTR_DSR, 0x200}, Flow{FT_FLOW_XON_XOFF, 0x400},
                                         Flow{0x0300, std::nullopt}, Flow{0x0800, std::nullopt},
                                         Flow{0x0001, std::nullopt}, Flow{0xFFFF, std::nullopt}));

// ---- packets -------------------------------------------------------------------

// A transfer as the chip sends it: each packet two status bytes (0x31 0x60,
// modem lines and "transmitter empty") and then payload bytes numbered on.
struct Transfer {
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> payload;
};
Transfer MakeTransfer(const std::vector<size_t>& payloadPerPacket, uint8_t& next)
{
    Transfer t;
    for (size_t n : payloadPerPacket) {
        t.bytes.push_back(0x31);
        t.bytes.push_back(0x60);
        for (size_t i = 0; i < n; ++i) {
            t.bytes.push_back(next);
            t.payload.push_back(next++);
        }
    }
    return t;
}

struct Packets {
    const char* name;
    size_t packetSize;
    std::vector<size_t> payloadPerPacket;  // every packet but the last is full
};

class PacketStripping : public testing::TestWithParam<Packets> {};
TEST_P(PacketStripping, KeepsPayloadOnlyInOrder)
{
    uint8_t next = 0;
    const auto t = MakeTransfer(GetParam().payloadPerPacket, next);
    RxQueue q;
    const size_t added = AppendPayload(t.bytes.data(), t.bytes.size(), GetParam().packetSize, q);
    EXPECT_EQ(added, t.payload.size());
    std::vector<uint8_t> got(q.Size());
    q.Take(got.data(), got.size());
    EXPECT_EQ(got, t.payload);
}
INSTANTIATE_TEST_SUITE_P(Transfers, PacketStripping,
                         testing::Values(Packets{"Empty", 64, {}}, Packets{"StatusOnly", 64, {0}},
                                         Packets{"OneByte", 64, {1}}, Packets{"OneFullPacket", 64, {62}},
                                         Packets{"FullThenShort", 64, {62, 62, 8}},
                                         Packets{"FullThenStatusOnly", 64, {62, 62, 0}},
                                         Packets{"SixtyFourPackets", 64, std::vector<size_t>(64, 62)},
                                         Packets{"HighSpeedChip", 512, {510, 510, 100}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PacketStripping, TruncatedStatusGivesNoBytes)
{
    const uint8_t oneStatusByte[] = {0x31};
    RxQueue q;
    EXPECT_EQ(AppendPayload(oneStatusByte, 1, 64, q), 0u);
    EXPECT_TRUE(q.Empty());
}

// ---- receive queue -------------------------------------------------------------

TEST(RxQueue, PartialTakesKeepTheRestInOrder)
{
    RxQueue q;
    std::deque<uint8_t> model;
    uint8_t next = 0;
    // Appends and takes of uneven sizes, compared with a plain deque.
    const size_t appends[] = {3, 62, 700, 1, 4096, 9, 250, 62};
    const size_t takes[] = {1, 100, 2, 700, 5000, 0, 7, 1000};
    for (size_t step = 0; step < std::size(appends); ++step) {
        std::vector<uint8_t> in(appends[step]);
        for (auto& b : in) {
            b = next++;
            model.push_back(b);
        }
        q.Append(in.data(), in.size());
        std::vector<uint8_t> out(takes[step]);
        const size_t n = q.Take(out.data(), out.size());
        ASSERT_EQ(n, std::min(takes[step], model.size() + 0)) << "step " << step;
        for (size_t i = 0; i < n; ++i) {
            ASSERT_EQ(out[i], model.front()) << "step " << step << " byte " << i;
            model.pop_front();
        }
        ASSERT_EQ(q.Size(), model.size());
    }
}

// ---- inbound link --------------------------------------------------------------

std::vector<uint8_t> Packet(std::initializer_list<uint8_t> payload)
{
    std::vector<uint8_t> p(payload.size() + 2);
    p[0] = 0x31;
    p[1] = 0x60;
    std::copy(payload.begin(), payload.end(), p.begin() + 2);
    return p;
}

TEST(ReceiveLink, CompletedTransferQueuesPayloadAndGoesBackInFlight)
{
    ReceiveLink link(64);
    const auto p = Packet({'p', 'H'});
    EXPECT_TRUE(link.TransferFinished(LIBUSB_TRANSFER_COMPLETED, p.data(), p.size()));
    EXPECT_EQ(link.Queue().Size(), 2u);
    EXPECT_EQ(link.ReadStatus(), FT_OK);
}

TEST(ReceiveLink, UnpluggedDeviceDeliversWhatArrivedThenFails)
{
    ReceiveLink link(64);
    const auto first = Packet({'p', 'H', ':'});
    const auto last = Packet({' ', '7'});
    link.TransferFinished(LIBUSB_TRANSFER_COMPLETED, first.data(), first.size());
    // The transfer that learns of the unplug may still carry the last bytes.
    EXPECT_FALSE(link.TransferFinished(LIBUSB_TRANSFER_NO_DEVICE, last.data(), last.size()));
    EXPECT_EQ(link.Failure(), FT_IO_ERROR);
    EXPECT_FALSE(link.WantsData());
    EXPECT_EQ(link.ReadStatus(), FT_OK);
    uint8_t out[8];
    ASSERT_EQ(link.Queue().Take(out, sizeof out), 5u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 5), "pH: 7");
    EXPECT_EQ(link.ReadStatus(), FT_IO_ERROR);
}

TEST(ReceiveLink, CancelledTransferKeepsItsBytesAndStays)
{
    ReceiveLink link(64);
    const auto p = Packet({'x'});
    EXPECT_FALSE(link.TransferFinished(LIBUSB_TRANSFER_CANCELLED, p.data(), p.size()));
    EXPECT_EQ(link.Queue().Size(), 1u);
    EXPECT_EQ(link.Failure(), FT_OK);
}

TEST(ReceiveLink, TransientErrorsRetryButAStreakFails)
{
    ReceiveLink link(64);
    for (int i = 1; i < ReceiveLink::kMaxErrorsInRow; ++i)
        EXPECT_TRUE(link.TransferFinished(LIBUSB_TRANSFER_ERROR, nullptr, 0)) << i;
    // One good transfer ends the streak.
    EXPECT_TRUE(link.TransferFinished(LIBUSB_TRANSFER_COMPLETED, nullptr, 0));
    for (int i = 1; i < ReceiveLink::kMaxErrorsInRow; ++i)
        EXPECT_TRUE(link.TransferFinished(LIBUSB_TRANSFER_STALL, nullptr, 0)) << i;
    EXPECT_EQ(link.Failure(), FT_OK);
    EXPECT_FALSE(link.TransferFinished(LIBUSB_TRANSFER_STALL, nullptr, 0));
    EXPECT_EQ(link.Failure(), FT_IO_ERROR);
}

TEST(ReceiveLink, FullQueueHoldsTransfersBackUntilRead)
{
    ReceiveLink link(64);
    std::vector<uint8_t> big(ReceiveLink::kHighWater, 0x42);
    link.Queue().Append(big.data(), big.size());
    const auto p = Packet({1, 2, 3});
    // The bytes still count, but the transfer is not submitted again.
    EXPECT_FALSE(link.TransferFinished(LIBUSB_TRANSFER_COMPLETED, p.data(), p.size()));
    EXPECT_EQ(link.Queue().Size(), ReceiveLink::kHighWater + 3);
    std::vector<uint8_t> out(65536);
    link.Queue().Take(out.data(), out.size());
    EXPECT_TRUE(link.WantsData());
}

TEST(ReceiveLink, ClosingStopsResubmission)
{
    ReceiveLink link(64);
    link.MarkClosing();
    EXPECT_FALSE(link.TransferFinished(LIBUSB_TRANSFER_COMPLETED, nullptr, 0));
    EXPECT_EQ(link.Failure(), FT_OK);
}

TEST(ReceiveLink, OnlyAVanishedDeviceFailsTheLink)
{
    ReceiveLink link(64);
    link.CallFailed(LIBUSB_ERROR_PIPE);
    link.CallFailed(LIBUSB_ERROR_TIMEOUT);
    EXPECT_EQ(link.Failure(), FT_OK);
    link.CallFailed(LIBUSB_ERROR_NO_DEVICE);
    EXPECT_EQ(link.Failure(), FT_IO_ERROR);
}

TEST(ReceiveLink, SubmitFailuresFailOnUnplugOrAfterAStreak)
{
    ReceiveLink gone(64);
    gone.SubmitFailed(LIBUSB_ERROR_NO_DEVICE);
    EXPECT_EQ(gone.Failure(), FT_IO_ERROR);

    ReceiveLink flaky(64);
    for (int i = 1; i < ReceiveLink::kMaxErrorsInRow; ++i)
        flaky.SubmitFailed(LIBUSB_ERROR_IO);
    EXPECT_EQ(flaky.Failure(), FT_OK);
    flaky.SubmitFailed(LIBUSB_ERROR_IO);
    EXPECT_EQ(flaky.Failure(), FT_IO_ERROR);
}

}  // namespace
