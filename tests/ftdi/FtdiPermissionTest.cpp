// The libftdi1 layer on a machine whose converters the system refuses to
// this user, as without the package's udev rule. This program stands in for
// libusb's device list, descriptors and opens (its own definitions take the
// place of libusb's for libftdi and the layer alike), so a libusb_open can
// fail with LIBUSB_ERROR_ACCESS for one converter and work for another.
#include "D2XXUnit.h"
#include "DriverBinding.h"
#include "MeterList.h"

#include <gtest/gtest.h>

#include <libusb.h>

#include <cstring>
#include <string>
#include <vector>

using namespace tirevo;

namespace {

// The device layer's state for these checks, as a session keeps its own.
TFTDeviceState FTDeviceState;

struct FakeConverter {
    uint16_t productId;
    uint8_t bus;
    uint8_t address;
    int openError;  // 0: opens
    std::string description;
    std::string serial;
};

std::vector<FakeConverter> gConverters;
std::vector<libusb_device*> gList;

FakeConverter& Of(libusb_device* dev) { return *reinterpret_cast<FakeConverter*>(dev); }

constexpr uint8_t kProductString = 2;
constexpr uint8_t kSerialString = 3;

}  // namespace

extern "C" {

ssize_t LIBUSB_CALL libusb_get_device_list(libusb_context*, libusb_device*** list)
{
    gList.clear();
    for (FakeConverter& c : gConverters)
        gList.push_back(reinterpret_cast<libusb_device*>(&c));
    gList.push_back(nullptr);
    *list = gList.data();
    return static_cast<ssize_t>(gConverters.size());
}

void LIBUSB_CALL libusb_free_device_list(libusb_device**, int) {}

libusb_device* LIBUSB_CALL libusb_ref_device(libusb_device* dev) { return dev; }

void LIBUSB_CALL libusb_unref_device(libusb_device*) {}

int LIBUSB_CALL libusb_get_device_descriptor(libusb_device* dev, libusb_device_descriptor* desc)
{
    std::memset(desc, 0, sizeof *desc);
    desc->idVendor = 0x0403;
    desc->idProduct = Of(dev).productId;
    desc->iProduct = kProductString;
    desc->iSerialNumber = kSerialString;
    return 0;
}

uint8_t LIBUSB_CALL libusb_get_bus_number(libusb_device* dev) { return Of(dev).bus; }

uint8_t LIBUSB_CALL libusb_get_device_address(libusb_device* dev) { return Of(dev).address; }

int LIBUSB_CALL libusb_open(libusb_device* dev, libusb_device_handle** handle)
{
    if (Of(dev).openError != 0)
        return Of(dev).openError;
    *handle = reinterpret_cast<libusb_device_handle*>(dev);
    return 0;
}

void LIBUSB_CALL libusb_close(libusb_device_handle*) {}

int LIBUSB_CALL libusb_get_string_descriptor_ascii(libusb_device_handle* handle, uint8_t index,
                                                   unsigned char* data, int length)
{
    const FakeConverter& c = *reinterpret_cast<FakeConverter*>(handle);
    const std::string& text = index == kSerialString ? c.serial : c.description;
    const int n = std::min(length, static_cast<int>(text.size()));
    std::memcpy(data, text.data(), static_cast<size_t>(n));
    return n;
}

}  // extern "C"

namespace {

const std::string kAdvice = ": no permission (install the package, or see README: USB permissions)";

struct PermissionCase {
    const char* name;
    std::vector<FakeConverter> converters;
    std::vector<std::string> listed;   // serial numbers ListDevices returns
    std::vector<std::string> refused;  // the lines RefusedConverters gives
};

std::ostream& operator<<(std::ostream& out, const PermissionCase& c) { return out << c.name; }

class FtdiPermission : public testing::TestWithParam<PermissionCase> {
protected:
    void SetUp() override { BindBuiltinFTDriver(); }
    void TearDown() override
    {
        gConverters.clear();
        UnbindFTDriver();
    }
};

TEST_P(FtdiPermission, RefusedConvertersAreNamedBesideTheStatuses)
{
    const PermissionCase& c = GetParam();
    gConverters = c.converters;
    std::vector<std::string> serials;
    for (const ListedDevice& device : ListDevices(true))
        serials.push_back(device.serial);
    EXPECT_EQ(serials, c.listed);
    EXPECT_EQ(RefusedConverters(), c.refused);

    // The statuses stay the vendor library's: refused or busy is "not opened".
    for (DWORD i = 0; i < gConverters.size(); ++i) {
        const FT_STATUS expected = gConverters[i].openError == 0 ? FT_OK : FT_DEVICE_NOT_OPENED;
        EXPECT_EQ(GetFTDeviceDescription(FTDeviceState, i), expected) << i;
    }
    // A serial number that cannot be read may be the one asked for.
    if (!c.refused.empty()) {
        EXPECT_EQ(Open_USB_Device_By_Serial_Number(FTDeviceState, "QP000009"), FT_DEVICE_NOT_OPENED);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ftdi, FtdiPermission,
    testing::Values(
        PermissionCase{"AllReadable", {{0x6001, 1, 5, 0, "QUVA USB pH Meter", "QP000001"}}, {"QP000001"}, {}},
        PermissionCase{"OneRefused",
                       {{0x6001, 1, 5, LIBUSB_ERROR_ACCESS, "QUVA USB pH Meter", "QP000001"},
                        {0x6015, 3, 17, 0, "FT230X Basic UART", "DN0001"}},
                       {"DN0001"},
                       {"USB converter 0403:6001 at bus 1 device 5" + kAdvice}},
        PermissionCase{"TwoRefused",
                       {{0x6001, 1, 5, LIBUSB_ERROR_ACCESS, "QUVA USB pH Meter", "QP000001"},
                        {0x6014, 2, 104, LIBUSB_ERROR_ACCESS, "QUVA USB pH Meter", "QP000002"}},
                       {},
                       {"USB converter 0403:6001 at bus 1 device 5" + kAdvice,
                        "USB converter 0403:6014 at bus 2 device 104" + kAdvice}},
        // Held by another program: not a matter of permission.
        PermissionCase{"BusyIsNoPermissionProblem",
                       {{0x6001, 1, 5, LIBUSB_ERROR_BUSY, "QUVA USB pH Meter", "QP000001"}},
                       {},
                       {}}),
    [](const auto& info) { return std::string(info.param.name); });

// Each listing starts afresh: once the rule is in place, nothing is named.
TEST(FtdiPermissionListing, ANewListingForgetsTheLastRefusal)
{
    BindBuiltinFTDriver();
    gConverters = {{0x6001, 1, 5, LIBUSB_ERROR_ACCESS, "QUVA USB pH Meter", "QP000001"}};
    EXPECT_TRUE(ListDevices().empty());
    EXPECT_EQ(RefusedConverters().size(), 1u);
    gConverters[0].openError = 0;
    ASSERT_EQ(ListDevices().size(), 1u);
    EXPECT_TRUE(RefusedConverters().empty());
    gConverters.clear();
    UnbindFTDriver();
}

// The vendor's library has no such entry point, nor has "no driver".
TEST(FtdiPermissionListing, WithoutTheEntryPointNothingIsNamed)
{
    UnbindFTDriver();
    EXPECT_TRUE(ListDevices().empty());
    EXPECT_TRUE(RefusedConverters().empty());
}

}  // namespace
