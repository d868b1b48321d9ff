// The parts of the libftdi1 driver layer that need no device: how libusb
// outcomes become driver status codes, how listing fills the caller's string
// buffers, how the chip's packets become received bytes, and the receive
// queue with the state of the inbound link. Free of libusb and libftdi
// headers, so tests exercise it without hardware.
#pragma once

#include "FtApi.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace tirevo {

namespace ftdilayer {

// Status for a libusb error met while reaching a device to list or open it:
// gone or never there -> FT_DEVICE_NOT_FOUND; there but refused (permissions,
// claimed by someone else) -> FT_DEVICE_NOT_OPENED.
FT_STATUS StatusForDeviceAccess(int libusbError);

// Status for a libusb error met by a call on an open device. A device that
// went away reports FT_IO_ERROR, as the vendor library does after an unplug.
FT_STATUS StatusForIo(int libusbError);

// Status that a finished bulk-in transfer (libusb_transfer_status) stands for.
FT_STATUS StatusForTransfer(int transferStatus);

// Fills a driver string buffer as the vendor library does: the text cut to
// the buffer, ended by a NUL only when there is room for one.
void FillDriverString(std::string_view text, char* buffer, size_t size);

// Line parameters in libftdi's numbering (ftdi_bits_type, ftdi_stopbits_type,
// ftdi_parity_type); empty when a driver code has no meaning.
struct LineProperties {
    int bits = 8;
    int stopBits = 0;
    int parity = 0;
};
std::optional<LineProperties> MapDataCharacteristics(UCHAR wordLength, UCHAR stopBits, UCHAR parity);

// Flow-control mode in libftdi's numbering (SIO_*_HS); empty for codes the
// chip does not know, including combinations of modes.
std::optional<int> MapFlowControl(USHORT flowControl);

// Received bytes waiting for the reader, oldest first.
class RxQueue {
public:
    size_t Size() const { return bytes_.size() - head_; }
    bool Empty() const { return Size() == 0; }
    void Append(const uint8_t* data, size_t length);
    // Moves up to `max` of the oldest bytes to `out`; returns how many.
    size_t Take(uint8_t* out, size_t max);
    void Clear();

private:
    std::vector<uint8_t> bytes_;
    size_t head_ = 0;
};

// Appends the payload of a bulk-in transfer to the queue. The chip starts
// every packet (every `packetSize` bytes of the transfer) with two modem and
// line status bytes, which are not data. Returns the payload bytes added.
size_t AppendPayload(const uint8_t* data, size_t length, size_t packetSize, RxQueue& queue);

// The inbound side of one open device: the queue the bulk-in transfers feed,
// and whether the device can still be used.
class ReceiveLink {
public:
    // Above this many queued bytes no transfer is resubmitted, so that a
    // reader that stops reading makes the chip hold its data instead of
    // this process growing without bound.
    static constexpr size_t kHighWater = size_t{1} << 20;
    // Transfer errors in a row after which the device counts as unusable.
    static constexpr int kMaxErrorsInRow = 8;

    explicit ReceiveLink(size_t packetSize) : packetSize_(packetSize ? packetSize : 64) {}

    // A bulk-in transfer finished with this status and these bytes; returns
    // true when it should be submitted again.
    bool TransferFinished(int transferStatus, const uint8_t* data, size_t length);
    // Submitting a bulk-in transfer failed with this libusb error.
    void SubmitFailed(int libusbError);
    // A call on the device failed with this libusb error; only a vanished
    // device makes the link fail, other errors belong to that call alone.
    void CallFailed(int libusbError);
    void MarkClosing() { closing_ = true; }

    // FT_OK while the device is usable, else the status its calls fail with.
    FT_STATUS Failure() const { return failure_; }
    // Status for queue-status and read calls: bytes that arrived before the
    // device went away are still delivered; after that the failure shows.
    FT_STATUS ReadStatus() const { return queue_.Empty() ? failure_ : FT_OK; }
    bool WantsData() const { return failure_ == FT_OK && !closing_ && queue_.Size() < kHighWater; }

    RxQueue& Queue() { return queue_; }
    const RxQueue& Queue() const { return queue_; }

private:
    size_t packetSize_;
    RxQueue queue_;
    FT_STATUS failure_ = FT_OK;
    int errorsInRow_ = 0;
    bool closing_ = false;
};

}  // namespace ftdilayer

}  // namespace tirevo
