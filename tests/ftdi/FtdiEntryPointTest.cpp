// The libftdi1 entry points where no converter is needed: handles that were
// never opened, bad arguments, and listing and opening what is not there.
// Whatever converters this machine has, none carries the serial used here.
#include "LibftdiDriver.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>

using namespace tirevo;

namespace {

const FTDriverTable& T() { return FtdiDriverTable(); }

void* IndexArg(uintptr_t i) { return reinterpret_cast<void*>(i); }

constexpr const char* kNoSuchSerial = "NO-SUCH-CONVERTER-7f3a";

struct HandleCall {
    const char* name;
    std::function<FT_STATUS(FT_HANDLE)> call;
};

class UnknownHandle : public testing::TestWithParam<HandleCall> {};

TEST_P(UnknownHandle, IsRejected)
{
    for (FT_HANDLE h : {FT_HANDLE(nullptr), FT_HANDLE(IndexArg(1)), FT_HANDLE(IndexArg(0x7e1000)),
                        FT_HANDLE(&kNoSuchSerial)})
        EXPECT_EQ(GetParam().call(h), FT_INVALID_HANDLE) << GetParam().name << " " << h;
}

INSTANTIATE_TEST_SUITE_P(
    EveryCall, UnknownHandle,
    testing::Values(HandleCall{"Close", [](FT_HANDLE h) { return T().Close(h); }},
                    HandleCall{"Read",
                               [](FT_HANDLE h) {
                                   char b[4];
                                   DWORD n = 99;
                                   const FT_STATUS s = T().Read(h, b, sizeof b, &n);
                                   EXPECT_EQ(n, 0u);
                                   return s;
                               }},
                    HandleCall{"Write",
                               [](FT_HANDLE h) {
                                   char b[4] = "PH\r";
                                   DWORD n = 99;
                                   const FT_STATUS s = T().Write(h, b, 3, &n);
                                   EXPECT_EQ(n, 0u);
                                   return s;
                               }},
                    HandleCall{"SetBaudRate", [](FT_HANDLE h) { return T().SetBaudRate(h, 9600); }},
                    HandleCall{"SetBaudRateZero", [](FT_HANDLE h) { return T().SetBaudRate(h, 0); }},
                    HandleCall{"SetDataCharacteristics",
                               [](FT_HANDLE h) { return T().SetDataCharacteristics(h, 8, 1, 0); }},
                    HandleCall{"SetDataCharacteristicsBadCodes",
                               [](FT_HANDLE h) { return T().SetDataCharacteristics(h, 5, 9, 9); }},
                    HandleCall{"SetFlowControl",
                               [](FT_HANDLE h) { return T().SetFlowControl(h, 0, 0x11, 0x13); }},
                    HandleCall{"SetDtr", [](FT_HANDLE h) { return T().SetDtr(h); }},
                    HandleCall{"SetRts", [](FT_HANDLE h) { return T().SetRts(h); }},
                    HandleCall{"SetTimeouts", [](FT_HANDLE h) { return T().SetTimeouts(h, 1, 100); }},
                    HandleCall{"GetStatus",
                               [](FT_HANDLE h) {
                                   DWORD rx = 7, tx = 7, ev = 7;
                                   const FT_STATUS s = T().GetStatus(h, &rx, &tx, &ev);
                                   EXPECT_EQ(rx, 7u);  // outputs stay as they were
                                   return s;
                               }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FtdiListing, CountIsAlwaysWritten)
{
    DWORD count = 0xDEADBEEF;
    const FT_STATUS s = T().ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY);
    // FT_OTHER_ERROR only where libusb cannot start at all; the count is
    // then 0, never left as it was.
    ASSERT_TRUE(s == FT_OK || s == FT_OTHER_ERROR) << s;
    EXPECT_NE(count, 0xDEADBEEF);
    if (s != FT_OK) {
        EXPECT_EQ(count, 0u);
    }
}

TEST(FtdiListing, IndexPastTheCountIsNotFoundAndLeavesBufferAlone)
{
    DWORD count = 0;
    T().ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY);
    for (DWORD what : {FT_OPEN_BY_DESCRIPTION, FT_OPEN_BY_SERIAL_NUMBER}) {
        char buffer[FT_DESCRIPTION_SIZE];
        std::memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(T().ListDevices(IndexArg(count), buffer, FT_LIST_BY_INDEX | what), FT_DEVICE_NOT_FOUND);
        EXPECT_EQ(T().ListDevices(IndexArg(count + 1000), buffer, FT_LIST_BY_INDEX | what),
                  FT_DEVICE_NOT_FOUND);
        EXPECT_EQ(buffer[0], '#');
        EXPECT_EQ(buffer[FT_DESCRIPTION_SIZE - 1], '#');
    }
}

struct ListArgs {
    const char* name;
    void* arg1;
    bool withBuffer;
    DWORD flags;
    FT_STATUS expected;
};

class FtdiListingArguments : public testing::TestWithParam<ListArgs> {};
TEST_P(FtdiListingArguments, AreChecked)
{
    char buffer[FT_DESCRIPTION_SIZE] = {};
    const auto p = GetParam();
    EXPECT_EQ(T().ListDevices(p.arg1, p.withBuffer ? buffer : nullptr, p.flags), p.expected);
}
INSTANTIATE_TEST_SUITE_P(
    Flags, FtdiListingArguments,
    testing::Values(ListArgs{"CountWithoutTarget", nullptr, false, FT_LIST_NUMBER_ONLY, FT_INVALID_PARAMETER},
                    ListArgs{"DescriptionWithoutBuffer", nullptr, false,
                             FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION, FT_INVALID_PARAMETER},
                    ListArgs{"SerialWithoutBuffer", nullptr, false,
                             FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER, FT_INVALID_PARAMETER},
                    ListArgs{"ByLocation", nullptr, true, FT_LIST_BY_INDEX | 4, FT_NOT_SUPPORTED},
                    ListArgs{"IndexWithoutKind", nullptr, true, FT_LIST_BY_INDEX, FT_NOT_SUPPORTED},
                    ListArgs{"ListAll", nullptr, true, FT_LIST_ALL | FT_OPEN_BY_SERIAL_NUMBER,
                             FT_NOT_SUPPORTED},
                    ListArgs{"NoMode", nullptr, true, 0, FT_NOT_SUPPORTED}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FtdiOpen, UnknownSerialOrDescriptionIsNotFound)
{
    for (DWORD how : {FT_OPEN_BY_SERIAL_NUMBER, FT_OPEN_BY_DESCRIPTION}) {
        FT_HANDLE h = IndexArg(0x1234);
        const FT_STATUS s = T().OpenEx(const_cast<char*>(kNoSuchSerial), how, &h);
        EXPECT_TRUE(s == FT_DEVICE_NOT_FOUND || s == FT_OTHER_ERROR) << s;
        EXPECT_EQ(h, IndexArg(0x1234));
    }
}

TEST(FtdiOpen, ArgumentsAreChecked)
{
    FT_HANDLE h = nullptr;
    char name[] = "QP000001";
    EXPECT_EQ(T().OpenEx(name, FT_OPEN_BY_SERIAL_NUMBER, nullptr), FT_INVALID_PARAMETER);
    EXPECT_EQ(T().OpenEx(nullptr, FT_OPEN_BY_SERIAL_NUMBER, &h), FT_INVALID_PARAMETER);
    EXPECT_EQ(T().OpenEx(name, 4 /* by location */, &h), FT_NOT_SUPPORTED);
    EXPECT_EQ(T().OpenEx(name, 0, &h), FT_NOT_SUPPORTED);
    EXPECT_EQ(h, nullptr);
}

}  // namespace
