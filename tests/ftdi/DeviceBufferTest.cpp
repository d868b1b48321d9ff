// The buffer rules between the device layer and any bound driver, seen
// through the simulated meter: full-length descriptions and serial numbers
// without a NUL, and the open name cut to 49 characters.
#include "D2XXUnit.h"
#include "DriverBinding.h"
#include "SimControl.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace tirevo;

namespace {

// The device layer's state for these checks, as a session keeps its own.
TFTDeviceState FTDeviceState;

class DeviceBuffers : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(BindFTDriverLibrary(TIREVO_SIM_LIBRARY));
        sim::Reset();
        sim::ClearDevices();
    }
    void TearDown() override
    {
        if (sim::IsOpen())
            CloseFTDevice(FTDeviceState);
        UnbindFTDriver();
    }
};

std::string Letters(size_t n, char first = 'A')
{
    std::string s;
    for (size_t i = 0; i < n; ++i)
        s.push_back(static_cast<char>(first + i % 26));
    return s;
}

struct Strings {
    size_t descriptionLength;
    size_t serialLength;
};

class ListedStrings : public DeviceBuffers, public testing::WithParamInterface<Strings> {};

TEST_P(ListedStrings, ComeBackWholeUpToTheBufferSize)
{
    const auto [dl, sl] = GetParam();
    const std::string description = Letters(dl);
    const std::string serial = Letters(sl, 'a');
    sim::AddDevice(description, serial);
    // A previous, longer text must not shine through a shorter one.
    FTDeviceState.resultText = Letters(80, 'K');
    std::memset(FTDeviceState.descriptionBuffer, 'Z', sizeof FTDeviceState.descriptionBuffer);
    std::memset(FTDeviceState.serialBuffer, 'Z', sizeof FTDeviceState.serialBuffer);

    ASSERT_EQ(GetFTDeviceCount(FTDeviceState), FT_OK);
    ASSERT_EQ(FTDeviceState.deviceCount, 1u);
    ASSERT_EQ(GetFTDeviceDescription(FTDeviceState, 0), FT_OK);
    EXPECT_EQ(FTDeviceState.resultText, description.substr(0, FT_DESCRIPTION_SIZE));
    ASSERT_EQ(GetFTDeviceSerialNo(FTDeviceState, 0), FT_OK);
    EXPECT_EQ(FTDeviceState.resultText, serial.substr(0, FT_SERIAL_SIZE));
}

INSTANTIATE_TEST_SUITE_P(Lengths, ListedStrings,
                         testing::Values(Strings{17, 8}, Strings{63, 15}, Strings{64, 16}, Strings{70, 20},
                                         Strings{1, 1}));

class OpenName : public DeviceBuffers, public testing::WithParamInterface<size_t> {};

TEST_P(OpenName, IsCutTo49Characters)
{
    const std::string serial = Letters(GetParam(), '0');
    Open_USB_Device_By_Serial_Number(FTDeviceState, serial);
    const auto opens = sim::CallsNamed("FT_OpenEx");
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0].data, serial.substr(0, FT_OPEN_NAME_SIZE - 1));
    EXPECT_EQ(opens[0].args.at(0), FT_OPEN_BY_SERIAL_NUMBER);
}

INSTANTIATE_TEST_SUITE_P(Lengths, OpenName, testing::Values(0, 1, 16, 48, 49, 50, 64, 200));

TEST_F(DeviceBuffers, FortyNineCharacterSerialOpensItsDevice)
{
    const std::string serial = Letters(49, '0');
    sim::AddDevice("QUVA USB pH Meter", serial);
    EXPECT_EQ(Open_USB_Device_By_Serial_Number(FTDeviceState, serial + "tail"), FT_OK);
    EXPECT_TRUE(sim::IsOpen());
}

}  // namespace
