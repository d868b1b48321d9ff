#include "LibftdiLogic.h"

#include <ftdi.h>
#include <libusb.h>

#include <algorithm>
#include <cstring>

namespace tirevo {

namespace ftdilayer {

// The driver's line and flow codes are libftdi's numbers; the tables below
// still go through the names so that a change on either side shows here.
static_assert(BITS_7 == FT_BITS_7 && BITS_8 == FT_BITS_8);
static_assert(STOP_BIT_1 == FT_STOP_BITS_1 && STOP_BIT_15 == FT_STOP_BITS_1_5 &&
              STOP_BIT_2 == FT_STOP_BITS_2);
static_assert(NONE == FT_PARITY_NONE && ODD == FT_PARITY_ODD && EVEN == FT_PARITY_EVEN &&
              MARK == FT_PARITY_MARK && SPACE == FT_PARITY_SPACE);
static_assert(SIO_DISABLE_FLOW_CTRL == FT_FLOW_NONE && SIO_RTS_CTS_HS == FT_FLOW_RTS_CTS &&
              SIO_DTR_DSR_HS == FT_FLOW_DTR_DSR && SIO_XON_XOFF_HS == FT_FLOW_XON_XOFF);

FT_STATUS StatusForDeviceAccess(int libusbError)
{
    switch (libusbError) {
    case LIBUSB_SUCCESS:
        return FT_OK;
    case LIBUSB_ERROR_NO_DEVICE:
    case LIBUSB_ERROR_NOT_FOUND:
        return FT_DEVICE_NOT_FOUND;
    case LIBUSB_ERROR_ACCESS:
    case LIBUSB_ERROR_BUSY:
        return FT_DEVICE_NOT_OPENED;
    case LIBUSB_ERROR_NO_MEM:
        return FT_INSUFFICIENT_RESOURCES;
    case LIBUSB_ERROR_INVALID_PARAM:
        return FT_INVALID_PARAMETER;
    case LIBUSB_ERROR_NOT_SUPPORTED:
        return FT_NOT_SUPPORTED;
    case LIBUSB_ERROR_OTHER:
        return FT_OTHER_ERROR;
    default:  // IO, TIMEOUT, PIPE, OVERFLOW, INTERRUPTED: the device did not answer
        return FT_IO_ERROR;
    }
}

FT_STATUS StatusForIo(int libusbError)
{
    switch (libusbError) {
    case LIBUSB_SUCCESS:
        return FT_OK;
    case LIBUSB_ERROR_NO_MEM:
        return FT_INSUFFICIENT_RESOURCES;
    case LIBUSB_ERROR_INVALID_PARAM:
        return FT_INVALID_PARAMETER;
    case LIBUSB_ERROR_NOT_SUPPORTED:
        return FT_NOT_SUPPORTED;
    case LIBUSB_ERROR_OTHER:
        return FT_OTHER_ERROR;
    default:  // NO_DEVICE (unplugged), IO, TIMEOUT, PIPE, OVERFLOW, BUSY, ...
        return FT_IO_ERROR;
    }
}

FT_STATUS StatusForTransfer(int transferStatus)
{
    switch (transferStatus) {
    case LIBUSB_TRANSFER_COMPLETED:
    case LIBUSB_TRANSFER_CANCELLED:
        return FT_OK;
    default:  // NO_DEVICE, ERROR, TIMED_OUT, STALL, OVERFLOW
        return FT_IO_ERROR;
    }
}

void FillDriverString(std::string_view text, char* buffer, size_t size)
{
    if (!buffer || size == 0)
        return;
    const size_t n = std::min(text.size(), size);
    std::memcpy(buffer, text.data(), n);
    if (n < size)
        buffer[n] = '\0';
}

std::optional<LineProperties> MapDataCharacteristics(UCHAR wordLength, UCHAR stopBits, UCHAR parity)
{
    LineProperties p;
    switch (wordLength) {
    case FT_BITS_7:
        p.bits = BITS_7;
        break;
    case FT_BITS_8:
        p.bits = BITS_8;
        break;
    default:
        return std::nullopt;
    }
    switch (stopBits) {
    case FT_STOP_BITS_1:
        p.stopBits = STOP_BIT_1;
        break;
    case FT_STOP_BITS_1_5:
        p.stopBits = STOP_BIT_15;
        break;
    case FT_STOP_BITS_2:
        p.stopBits = STOP_BIT_2;
        break;
    default:
        return std::nullopt;
    }
    switch (parity) {
    case FT_PARITY_NONE:
        p.parity = NONE;
        break;
    case FT_PARITY_ODD:
        p.parity = ODD;
        break;
    case FT_PARITY_EVEN:
        p.parity = EVEN;
        break;
    case FT_PARITY_MARK:
        p.parity = MARK;
        break;
    case FT_PARITY_SPACE:
        p.parity = SPACE;
        break;
    default:
        return std::nullopt;
    }
    return p;
}

std::optional<int> MapFlowControl(USHORT flowControl)
{
    switch (flowControl) {
    case FT_FLOW_NONE:
        return SIO_DISABLE_FLOW_CTRL;
    case FT_FLOW_RTS_CTS:
        return SIO_RTS_CTS_HS;
    case FT_FLOW_DTR_DSR:
        return SIO_DTR_DSR_HS;
    case FT_FLOW_XON_XOFF:
        return SIO_XON_XOFF_HS;
    default:
        return std::nullopt;
    }
}

void RxQueue::Append(const uint8_t* data, size_t length)
{
    if (length == 0)
        return;
    // Reclaim the consumed front once it outweighs what is still waiting,
    // so steady traffic does not keep growing the vector.
    if (head_ > 0 && head_ >= bytes_.size() - head_) {
        bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(head_));
        head_ = 0;
    }
    bytes_.insert(bytes_.end(), data, data + length);
}

size_t RxQueue::Take(uint8_t* out, size_t max)
{
    const size_t n = std::min(max, Size());
    if (n == 0)
        return 0;
    std::memcpy(out, bytes_.data() + head_, n);
    head_ += n;
    if (head_ == bytes_.size())
        Clear();
    return n;
}

void RxQueue::Clear()
{
    bytes_.clear();
    head_ = 0;
}

size_t AppendPayload(const uint8_t* data, size_t length, size_t packetSize, RxQueue& queue)
{
    constexpr size_t kStatusBytes = 2;
    if (!data || packetSize <= kStatusBytes)
        return 0;
    size_t added = 0;
    for (size_t offset = 0; offset < length; offset += packetSize) {
        const size_t packet = std::min(packetSize, length - offset);
        if (packet <= kStatusBytes)
            continue;
        queue.Append(data + offset + kStatusBytes, packet - kStatusBytes);
        added += packet - kStatusBytes;
    }
    return added;
}

bool ReceiveLink::TransferFinished(int transferStatus, const uint8_t* data, size_t length)
{
    // A transfer cut short (cancelled, timed out, failed) may still carry
    // bytes the chip sent; they are as real as any other.
    AppendPayload(data, length, packetSize_, queue_);
    switch (transferStatus) {
    case LIBUSB_TRANSFER_COMPLETED:
        errorsInRow_ = 0;
        return WantsData();
    case LIBUSB_TRANSFER_CANCELLED:
        return false;
    case LIBUSB_TRANSFER_NO_DEVICE:
        failure_ = FT_IO_ERROR;
        return false;
    default:  // ERROR, TIMED_OUT, STALL, OVERFLOW: try again, but not forever
        if (++errorsInRow_ >= kMaxErrorsInRow)
            failure_ = StatusForTransfer(transferStatus);
        return WantsData();
    }
}

void ReceiveLink::SubmitFailed(int libusbError)
{
    if (libusbError == LIBUSB_ERROR_NO_DEVICE || ++errorsInRow_ >= kMaxErrorsInRow)
        failure_ = FT_IO_ERROR;
}

void ReceiveLink::CallFailed(int libusbError)
{
    if (libusbError == LIBUSB_ERROR_NO_DEVICE)
        failure_ = FT_IO_ERROR;
}

}  // namespace ftdilayer

}  // namespace tirevo
