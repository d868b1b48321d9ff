// The twelve driver entry points over libftdi1 and libusb, for systems where
// the vendor's D2XX library is not installed.
//
// Listing reads the USB strings through a plain libusb open, without
// claiming the interface or detaching the kernel's serial driver, so other
// converters keep their /dev/ttyUSB*. Only FT_OpenEx takes the chosen device
// over (libftdi detaches ftdi_sio there).
//
// Receiving: the chip answers bulk-in requests with packets that start with
// two status bytes, at the latest when its latency timer (16 ms) runs out.
// Several asynchronous bulk-in transfers stay submitted while the device is
// open; completed ones are collected, without waiting, whenever the caller
// asks for the queue status or reads, and go straight back in flight. The
// payload waits in a queue for FT_Read. No thread is started: everything
// runs in the caller's calls.
//
// Status mapping (vendor code <- what happened):
//   FT_OK                     success; a write cut off by its timeout
//                             (the count tells how much went out); a read
//                             that timed out with fewer bytes than asked
//   FT_INVALID_HANDLE         handle never opened here, or already closed
//   FT_DEVICE_NOT_FOUND       no converter with that serial/description;
//                             list index past the last count; the device
//                             vanished while being listed or opened
//   FT_DEVICE_NOT_OPENED      found but could not be opened: permissions
//                             (LIBUSB_ERROR_ACCESS), claimed elsewhere (BUSY),
//                             any libftdi open failure; a listing that meets
//                             LIBUSB_ERROR_ACCESS also names the converter
//                             through FtdiRefusedDevices
//   FT_IO_ERROR               device unplugged (LIBUSB_ERROR_NO_DEVICE,
//                             transfer status NO_DEVICE), USB I/O error,
//                             stall, a control request the chip refused
//   FT_INSUFFICIENT_RESOURCES LIBUSB_ERROR_NO_MEM, allocation failures
//   FT_INVALID_PARAMETER      null pointers, line/flow codes with no meaning
//   FT_INVALID_BAUD_RATE      a baud rate the chip cannot make within 5 %
//   FT_NOT_SUPPORTED          listing or opening modes other than by
//                             serial number or description
//   FT_OTHER_ERROR            libusb could not start (no USB support at all)
//
// An unplugged device: FT_GetStatus and FT_Read still deliver bytes that had
// arrived before the unplug, then fail with FT_IO_ERROR, as do FT_Write and
// the configuration calls; FT_Close succeeds and frees everything.
#include "LibftdiDriver.h"

#include "LibftdiLogic.h"

#include <ftdi.h>
#include <libusb.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tirevo {

namespace {

using namespace ftdilayer;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A transfer ends at the chip's first short packet, which comes at the
// latest one latency period (16 ms) after the previous one, so trickling
// input can use up one transfer per period. Eight cover 128 ms, more than
// one 100 ms queue poll, before the chip has to hold bytes in its own
// receive buffer; 64 packets each take a full-speed stream in large bites.
constexpr int kInTransfers = 8;
constexpr int kPacketsPerTransfer = 64;
// Until FT_SetTimeouts is called; 0 set there means "no limit", as with the
// vendor library.
constexpr ULONG kDefaultTimeoutMs = 5000;
// Cancelled transfers normally report back at once; this only bounds a
// broken host controller.
constexpr milliseconds kCancelWait{2000};
constexpr DWORD kWriteChunk = 65536;

struct Device;

struct InTransfer {
    Device* device = nullptr;
    libusb_transfer* transfer = nullptr;
    std::vector<unsigned char> buffer;
    bool inFlight = false;
};

struct Device {
    explicit Device(ftdi_context* f, size_t packetSize) : ftdi(f), link(packetSize) {}
    ftdi_context* ftdi;
    ReceiveLink link;
    std::vector<std::unique_ptr<InTransfer>> transfers;
    ULONG readTimeoutMs = kDefaultTimeoutMs;
    ULONG writeTimeoutMs = kDefaultTimeoutMs;

    libusb_context* Context() const { return ftdi->usb_ctx; }
    libusb_device_handle* Usb() const { return ftdi->usb_dev; }
    // libftdi names endpoints from the chip's side: out_ep is the host's IN.
    unsigned char InEndpoint() const { return static_cast<unsigned char>(ftdi->out_ep); }
    unsigned char OutEndpoint() const { return static_cast<unsigned char>(ftdi->in_ep); }
    int InFlightCount() const
    {
        return static_cast<int>(
            std::count_if(transfers.begin(), transfers.end(), [](const auto& t) { return t->inFlight; }));
    }
};

// Every entry point holds this lock; transfer callbacks only run inside
// libusb calls made under it, so they need none of their own.
std::mutex gMutex;

// Handles are numbers that are never reused, not addresses: a stale handle
// kept after a close can never reach a device opened later.
std::map<uintptr_t, std::unique_ptr<Device>> gOpen;
uintptr_t gNextHandle = 0x7e1000;

Device* FindDevice(FT_HANDLE handle)
{
    const auto it = gOpen.find(reinterpret_cast<uintptr_t>(handle));
    return it == gOpen.end() ? nullptr : it->second.get();
}

// ---- listing ---------------------------------------------------------------

// The devices of the last number-only listing, in libftdi's order. The index
// calls that follow a count refer to this snapshot, so a converter plugged in
// between the count and the index calls cannot shift the indexes. Each count
// takes a new snapshot; an index call without any count before takes one.
// Every snapshot comes from a new libusb context: a context that lives on
// learns of new devices only through udevd's events, which a system without
// udevd never sends, so a converter plugged in later would never be listed.
ftdi_context* gListContext = nullptr;
std::vector<libusb_device*> gListed;
// Per listed device: libusb refused us its strings for lack of permission.
std::vector<bool> gRefused;
bool gListValid = false;

void DropListed()
{
    for (libusb_device* dev : gListed)
        libusb_unref_device(dev);
    gListed.clear();
    gRefused.clear();
    gListValid = false;
}

FT_STATUS RefreshListed()
{
    // The new context first: libusb keeps its hotplug monitor running while
    // any context exists, instead of stopping and starting it again.
    ftdi_context* fresh = ftdi_new();
    DropListed();
    if (gListContext)
        ftdi_free(gListContext);
    gListContext = fresh;
    if (!gListContext)
        return FT_OTHER_ERROR;
    ftdi_device_list* list = nullptr;
    // Vendor and product 0: every pair libftdi knows as an FTDI converter.
    const int n = ftdi_usb_find_all(gListContext, &list, 0, 0);
    if (n < 0)
        return n == -3 ? FT_INSUFFICIENT_RESOURCES : FT_OTHER_ERROR;
    for (ftdi_device_list* d = list; d; d = d->next)
        gListed.push_back(libusb_ref_device(d->dev));
    ftdi_list_free(&list);
    gRefused.assign(gListed.size(), false);
    gListValid = true;
    return FT_OK;
}

// Reads the product or serial string without claiming the interface: the
// kernel driver, if bound, stays bound. refused is set when libusb would not
// let this user open the device.
FT_STATUS ReadDeviceString(libusb_device* dev, bool serial, std::string& out, bool* refused = nullptr)
{
    libusb_device_descriptor desc{};
    int r = libusb_get_device_descriptor(dev, &desc);
    if (r < 0)
        return StatusForDeviceAccess(r);
    const uint8_t index = serial ? desc.iSerialNumber : desc.iProduct;
    if (index == 0) {  // the device has no such string
        out.clear();
        return FT_OK;
    }
    libusb_device_handle* handle = nullptr;
    r = libusb_open(dev, &handle);
    if (r < 0) {
        if (refused && r == LIBUSB_ERROR_ACCESS)
            *refused = true;
        return StatusForDeviceAccess(r);
    }
    unsigned char text[256];
    r = libusb_get_string_descriptor_ascii(handle, index, text, sizeof text);
    libusb_close(handle);
    if (r < 0)
        return StatusForDeviceAccess(r);
    out.assign(reinterpret_cast<const char*>(text), static_cast<size_t>(r));
    return FT_OK;
}

FT_STATUS ListDevicesOnUsb(void* pArg1, void* pArg2, DWORD flags)
{
    if (flags & FT_LIST_NUMBER_ONLY) {
        if (!pArg1)
            return FT_INVALID_PARAMETER;
        auto* count = static_cast<DWORD*>(pArg1);
        // Never leave an earlier count behind: callers that ignore the
        // status still must not walk a list that is not there.
        *count = 0;
        const FT_STATUS status = RefreshListed();
        if (status == FT_OK)
            *count = static_cast<DWORD>(gListed.size());
        return status;
    }
    if (flags & FT_LIST_BY_INDEX) {
        const DWORD what = flags & ~(FT_LIST_NUMBER_ONLY | FT_LIST_BY_INDEX | FT_LIST_ALL);
        if (what != FT_OPEN_BY_SERIAL_NUMBER && what != FT_OPEN_BY_DESCRIPTION)
            return FT_NOT_SUPPORTED;
        if (!pArg2)
            return FT_INVALID_PARAMETER;
        const auto index = static_cast<DWORD>(reinterpret_cast<uintptr_t>(pArg1));
        if (!gListValid) {
            const FT_STATUS status = RefreshListed();
            if (status != FT_OK)
                return status;
        }
        if (index >= gListed.size())
            return FT_DEVICE_NOT_FOUND;
        const bool bySerial = what == FT_OPEN_BY_SERIAL_NUMBER;
        std::string text;
        bool refused = false;
        const FT_STATUS status = ReadDeviceString(gListed[index], bySerial, text, &refused);
        if (refused)
            gRefused[index] = true;
        if (status != FT_OK)
            return status;
        FillDriverString(text, static_cast<char*>(pArg2), bySerial ? FT_SERIAL_SIZE : FT_DESCRIPTION_SIZE);
        return FT_OK;
    }
    return FT_NOT_SUPPORTED;  // FT_LIST_ALL: the program never asks for it
}

// ---- receiving -------------------------------------------------------------

void LIBUSB_CALL OnInTransfer(libusb_transfer* transfer);

void Submit(InTransfer& slot)
{
    const int r = libusb_submit_transfer(slot.transfer);
    slot.inFlight = r == 0;
    if (r != 0)
        slot.device->link.SubmitFailed(r);
}

void LIBUSB_CALL OnInTransfer(libusb_transfer* transfer)
{
    auto& slot = *static_cast<InTransfer*>(transfer->user_data);
    slot.inFlight = false;
    const size_t length = transfer->actual_length > 0 ? static_cast<size_t>(transfer->actual_length) : 0;
    if (slot.device->link.TransferFinished(transfer->status, transfer->buffer, length))
        Submit(slot);
}

// Puts back in flight the transfers left idle while the queue was full.
void ResubmitIdle(Device& d)
{
    for (auto& slot : d.transfers) {
        if (!d.link.WantsData())
            return;
        if (!slot->inFlight)
            Submit(*slot);
    }
}

// Collects whatever transfers have completed, waiting at most `wait`.
void Pump(Device& d, milliseconds wait)
{
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(wait.count() / 1000);
    tv.tv_usec = static_cast<suseconds_t>((wait.count() % 1000) * 1000);
    libusb_handle_events_timeout_completed(d.Context(), &tv, nullptr);
    ResubmitIdle(d);
}

// Cancels the bulk-in transfers and waits for libusb to hand them back.
// Returns false if some never came back; their memory must then stay.
bool StopTransfers(Device& d)
{
    d.link.MarkClosing();
    for (auto& slot : d.transfers)
        if (slot->inFlight)
            libusb_cancel_transfer(slot->transfer);
    const auto deadline = Clock::now() + kCancelWait;
    while (d.InFlightCount() > 0 && Clock::now() < deadline) {
        timeval tv{0, 50000};
        libusb_handle_events_timeout_completed(d.Context(), &tv, nullptr);
    }
    return d.InFlightCount() == 0;
}

void Destroy(std::unique_ptr<Device> d)
{
    if (!StopTransfers(*d)) {
        // Freeing a transfer libusb still owns would be a use after free; a
        // leak on a broken controller is the lesser harm.
        (void)d.release();
        return;
    }
    for (auto& slot : d->transfers)
        libusb_free_transfer(slot->transfer);
    d->transfers.clear();
    ftdi_usb_close(d->ftdi);  // fails harmlessly on a device that is gone
    ftdi_free(d->ftdi);
}

FT_STATUS StartTransfers(Device& d)
{
    const size_t size =
        static_cast<size_t>(d.ftdi->max_packet_size > 0 ? d.ftdi->max_packet_size : 64) * kPacketsPerTransfer;
    for (int i = 0; i < kInTransfers; ++i) {
        auto slot = std::make_unique<InTransfer>();
        slot->device = &d;
        slot->buffer.resize(size);
        slot->transfer = libusb_alloc_transfer(0);
        if (!slot->transfer)
            return FT_INSUFFICIENT_RESOURCES;
        libusb_fill_bulk_transfer(slot->transfer, d.Usb(), d.InEndpoint(), slot->buffer.data(),
                                  static_cast<int>(size), OnInTransfer, slot.get(), 0);
        d.transfers.push_back(std::move(slot));
        const int r = libusb_submit_transfer(d.transfers.back()->transfer);
        if (r != 0)
            return StatusForDeviceAccess(r);
        d.transfers.back()->inFlight = true;
    }
    return FT_OK;
}

// ---- opening ---------------------------------------------------------------

FT_STATUS OpenEx(void* pArg1, DWORD flags, FT_HANDLE* pHandle)
{
    if (!pHandle || !pArg1)
        return FT_INVALID_PARAMETER;
    if (flags != FT_OPEN_BY_SERIAL_NUMBER && flags != FT_OPEN_BY_DESCRIPTION)
        return FT_NOT_SUPPORTED;
    const std::string wanted(static_cast<const char*>(pArg1));
    const bool bySerial = flags == FT_OPEN_BY_SERIAL_NUMBER;

    ftdi_context* ftdi = ftdi_new();
    if (!ftdi)
        return FT_OTHER_ERROR;
    ftdi_device_list* list = nullptr;
    const int n = ftdi_usb_find_all(ftdi, &list, 0, 0);
    if (n < 0) {
        ftdi_free(ftdi);
        return n == -3 ? FT_INSUFFICIENT_RESOURCES : FT_OTHER_ERROR;
    }
    libusb_device* match = nullptr;
    bool unreadable = false;
    for (ftdi_device_list* d = list; d && !match; d = d->next) {
        std::string text;
        const FT_STATUS s = ReadDeviceString(d->dev, bySerial, text);
        if (s == FT_OK && text == wanted)
            match = libusb_ref_device(d->dev);
        else if (s == FT_DEVICE_NOT_OPENED)
            unreadable = true;
    }
    ftdi_list_free(&list);
    if (!match) {
        ftdi_free(ftdi);
        // A converter whose strings we may not read could be the one asked
        // for: say it cannot be opened rather than that it is not there.
        return unreadable ? FT_DEVICE_NOT_OPENED : FT_DEVICE_NOT_FOUND;
    }
    // This claims the interface and detaches ftdi_sio from this device only.
    const int r = ftdi_usb_open_dev(ftdi, match);
    libusb_unref_device(match);
    if (r < 0) {
        ftdi_free(ftdi);
        return FT_DEVICE_NOT_OPENED;
    }

    auto device = std::make_unique<Device>(ftdi, static_cast<size_t>(ftdi->max_packet_size));
    const FT_STATUS status = StartTransfers(*device);
    if (status != FT_OK) {
        Destroy(std::move(device));
        return status;
    }
    const uintptr_t id = gNextHandle++;
    gOpen.emplace(id, std::move(device));
    *pHandle = reinterpret_cast<FT_HANDLE>(id);
    return FT_OK;
}

FT_STATUS CloseDevice(FT_HANDLE handle)
{
    const auto it = gOpen.find(reinterpret_cast<uintptr_t>(handle));
    if (it == gOpen.end())
        return FT_INVALID_HANDLE;
    std::unique_ptr<Device> device = std::move(it->second);
    gOpen.erase(it);
    Destroy(std::move(device));
    return FT_OK;
}

// ---- data ------------------------------------------------------------------

FT_STATUS ReadData(FT_HANDLE handle, void* buffer, DWORD toRead, DWORD* bytesRead)
{
    if (bytesRead)
        *bytesRead = 0;
    Device* d = FindDevice(handle);
    if (!d)
        return FT_INVALID_HANDLE;
    if (!bytesRead || (!buffer && toRead > 0))
        return FT_INVALID_PARAMETER;
    Pump(*d, milliseconds(0));
    // Wait for the rest only while more can come and the timeout allows.
    const bool limited = d->readTimeoutMs != 0;
    const auto deadline = Clock::now() + milliseconds(d->readTimeoutMs);
    while (d->link.Queue().Size() < toRead && d->link.Failure() == FT_OK && d->InFlightCount() > 0) {
        auto wait = milliseconds(100);
        if (limited) {
            const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                break;
            wait = std::min(wait, left);
        }
        Pump(*d, wait);
    }
    const FT_STATUS status = d->link.ReadStatus();
    if (status != FT_OK)
        return status;
    *bytesRead = static_cast<DWORD>(d->link.Queue().Take(static_cast<uint8_t*>(buffer), toRead));
    ResubmitIdle(*d);
    return FT_OK;
}

FT_STATUS WriteData(FT_HANDLE handle, void* buffer, DWORD toWrite, DWORD* bytesWritten)
{
    if (bytesWritten)
        *bytesWritten = 0;
    Device* d = FindDevice(handle);
    if (!d)
        return FT_INVALID_HANDLE;
    if (!bytesWritten || (!buffer && toWrite > 0))
        return FT_INVALID_PARAMETER;
    if (d->link.Failure() != FT_OK)
        return d->link.Failure();
    const bool limited = d->writeTimeoutMs != 0;
    const auto deadline = Clock::now() + milliseconds(d->writeTimeoutMs);
    auto* bytes = static_cast<unsigned char*>(buffer);
    DWORD total = 0;
    FT_STATUS status = FT_OK;
    while (total < toWrite) {
        unsigned int timeout = 0;
        if (limited) {
            const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                break;
            timeout = static_cast<unsigned int>(left.count());
        }
        const DWORD chunk = std::min(toWrite - total, kWriteChunk);
        int done = 0;
        const int r = libusb_bulk_transfer(d->Usb(), d->OutEndpoint(), bytes + total, static_cast<int>(chunk),
                                           &done, timeout);
        total += static_cast<DWORD>(std::max(done, 0));
        if (r == LIBUSB_ERROR_TIMEOUT)
            break;  // the count tells the caller how far it got
        if (r != 0) {
            d->link.CallFailed(r);
            status = StatusForIo(r);
            break;
        }
    }
    *bytesWritten = total;
    return status;
}

FT_STATUS GetStatus(FT_HANDLE handle, DWORD* rxBytes, DWORD* txBytes, DWORD* eventStatus)
{
    Device* d = FindDevice(handle);
    if (!d)
        return FT_INVALID_HANDLE;
    Pump(*d, milliseconds(0));
    const FT_STATUS status = d->link.ReadStatus();
    if (status != FT_OK)
        return status;
    if (rxBytes)
        *rxBytes = static_cast<DWORD>(std::min<size_t>(d->link.Queue().Size(), UINT32_MAX));
    if (txBytes)
        *txBytes = 0;  // writes are synchronous: nothing waits on our side
    if (eventStatus)
        *eventStatus = 0;
    return FT_OK;
}

// ---- configuration ---------------------------------------------------------

// What a failed libftdi control call means. libftdi keeps libusb's error to
// itself, so a plain GET_STATUS request tells a vanished device apart from a
// request the chip refused.
FT_STATUS ControlFailed(Device& d, FT_STATUS refused)
{
    unsigned char reply[2];
    const int r = libusb_control_transfer(d.Usb(), LIBUSB_ENDPOINT_IN, LIBUSB_REQUEST_GET_STATUS, 0, 0, reply,
                                          sizeof reply, 500);
    if (r < 0)
        d.link.CallFailed(r);
    Pump(d, milliseconds(0));
    return d.link.Failure() != FT_OK ? d.link.Failure() : refused;
}

template <typename Call> FT_STATUS Control(FT_HANDLE handle, Call&& call)
{
    Device* d = FindDevice(handle);
    if (!d)
        return FT_INVALID_HANDLE;
    if (d->link.Failure() != FT_OK)
        return d->link.Failure();
    return call(d->ftdi) >= 0 ? FT_OK : ControlFailed(*d, FT_IO_ERROR);
}

FT_STATUS SetBaudRate(FT_HANDLE handle, ULONG baud)
{
    Device* d = FindDevice(handle);
    if (!d)
        return FT_INVALID_HANDLE;
    if (baud == 0 || baud > static_cast<ULONG>(INT_MAX))
        return FT_INVALID_BAUD_RATE;
    if (d->link.Failure() != FT_OK)
        return d->link.Failure();
    const int r = ftdi_set_baudrate(d->ftdi, static_cast<int>(baud));
    if (r >= 0)
        return FT_OK;
    if (r == -1)  // libftdi: no divisor comes within 5 % of the rate
        return FT_INVALID_BAUD_RATE;
    return ControlFailed(*d, FT_IO_ERROR);
}

FT_STATUS SetDataCharacteristics(FT_HANDLE handle, UCHAR wordLength, UCHAR stopBits, UCHAR parity)
{
    const auto line = MapDataCharacteristics(wordLength, stopBits, parity);
    if (!line)
        return FindDevice(handle) ? FT_INVALID_PARAMETER : FT_INVALID_HANDLE;
    return Control(handle, [&](ftdi_context* f) {
        return ftdi_set_line_property(f, static_cast<ftdi_bits_type>(line->bits),
                                      static_cast<ftdi_stopbits_type>(line->stopBits),
                                      static_cast<ftdi_parity_type>(line->parity));
    });
}

FT_STATUS SetFlowControl(FT_HANDLE handle, USHORT flowControl, UCHAR xon, UCHAR xoff)
{
    const auto mode = MapFlowControl(flowControl);
    if (!mode)
        return FindDevice(handle) ? FT_INVALID_PARAMETER : FT_INVALID_HANDLE;
    return Control(handle, [&](ftdi_context* f) {
        // The XON/XOFF characters only mean something in that mode.
        return *mode == SIO_XON_XOFF_HS ? ftdi_setflowctrl_xonxoff(f, xon, xoff) : ftdi_setflowctrl(f, *mode);
    });
}

FT_STATUS SetDtr(FT_HANDLE handle)
{
    return Control(handle, [](ftdi_context* f) { return ftdi_setdtr(f, 1); });
}

FT_STATUS SetRts(FT_HANDLE handle)
{
    return Control(handle, [](ftdi_context* f) { return ftdi_setrts(f, 1); });
}

FT_STATUS SetTimeouts(FT_HANDLE handle, ULONG readTimeout, ULONG writeTimeout)
{
    Device* d = FindDevice(handle);
    if (!d)
        return FT_INVALID_HANDLE;
    if (d->link.Failure() != FT_OK)
        return d->link.Failure();
    d->readTimeoutMs = readTimeout;
    d->writeTimeoutMs = writeTimeout;
    return FT_OK;
}

// ---- entry points ----------------------------------------------------------

FT_STATUS FtdiListDevices(void* pArg1, void* pArg2, DWORD flags)
{
    std::lock_guard lock(gMutex);
    return ListDevicesOnUsb(pArg1, pArg2, flags);
}
FT_STATUS FtdiOpenEx(void* pArg1, DWORD flags, FT_HANDLE* pHandle)
{
    std::lock_guard lock(gMutex);
    return OpenEx(pArg1, flags, pHandle);
}
FT_STATUS FtdiClose(FT_HANDLE h)
{
    std::lock_guard lock(gMutex);
    return CloseDevice(h);
}
FT_STATUS FtdiRead(FT_HANDLE h, void* buffer, DWORD n, DWORD* got)
{
    std::lock_guard lock(gMutex);
    return ReadData(h, buffer, n, got);
}
FT_STATUS FtdiWrite(FT_HANDLE h, void* buffer, DWORD n, DWORD* put)
{
    std::lock_guard lock(gMutex);
    return WriteData(h, buffer, n, put);
}
FT_STATUS FtdiSetBaudRate(FT_HANDLE h, ULONG baud)
{
    std::lock_guard lock(gMutex);
    return SetBaudRate(h, baud);
}
FT_STATUS FtdiSetDataCharacteristics(FT_HANDLE h, UCHAR bits, UCHAR stop, UCHAR parity)
{
    std::lock_guard lock(gMutex);
    return SetDataCharacteristics(h, bits, stop, parity);
}
FT_STATUS FtdiSetFlowControl(FT_HANDLE h, USHORT flow, UCHAR xon, UCHAR xoff)
{
    std::lock_guard lock(gMutex);
    return SetFlowControl(h, flow, xon, xoff);
}
FT_STATUS FtdiSetDtr(FT_HANDLE h)
{
    std::lock_guard lock(gMutex);
    return SetDtr(h);
}
FT_STATUS FtdiSetRts(FT_HANDLE h)
{
    std::lock_guard lock(gMutex);
    return SetRts(h);
}
FT_STATUS FtdiSetTimeouts(FT_HANDLE h, ULONG readTimeout, ULONG writeTimeout)
{
    std::lock_guard lock(gMutex);
    return SetTimeouts(h, readTimeout, writeTimeout);
}
FT_STATUS FtdiGetStatus(FT_HANDLE h, DWORD* rx, DWORD* tx, DWORD* events)
{
    std::lock_guard lock(gMutex);
    return GetStatus(h, rx, tx, events);
}

DWORD RefusedDevices(TIREVO_REFUSED_DEVICE* devices, DWORD max)
{
    DWORD count = 0;
    for (size_t i = 0; i < gListed.size(); ++i) {
        if (!gRefused[i])
            continue;
        if (devices && count < max) {
            libusb_device_descriptor desc{};
            libusb_get_device_descriptor(gListed[i], &desc);
            TIREVO_REFUSED_DEVICE& entry = devices[count];
            entry.VendorId = desc.idVendor;
            entry.ProductId = desc.idProduct;
            entry.Bus = libusb_get_bus_number(gListed[i]);
            entry.Address = libusb_get_device_address(gListed[i]);
            entry.Cause = TIREVO_REFUSED_NO_PERMISSION;
        }
        ++count;
    }
    return count;
}

}  // namespace

DWORD FtdiRefusedDevices(TIREVO_REFUSED_DEVICE* devices, DWORD max)
{
    std::lock_guard lock(gMutex);
    return RefusedDevices(devices, max);
}

const FTDriverTable& FtdiDriverTable()
{
    static const FTDriverTable table = {FtdiListDevices,
                                        FtdiOpenEx,
                                        FtdiClose,
                                        FtdiRead,
                                        FtdiWrite,
                                        FtdiSetBaudRate,
                                        FtdiSetDataCharacteristics,
                                        FtdiSetFlowControl,
                                        FtdiSetDtr,
                                        FtdiSetRts,
                                        FtdiSetTimeouts,
                                        FtdiGetStatus};
    return table;
}

}  // namespace tirevo
