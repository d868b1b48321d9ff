// The device layer over the simulated driver: buffers, result text and the
// statuses and counts it hands back.
#include "D2XXUnit.h"
#include "DriverBinding.h"
#include "SimFixture.h"

#include <gtest/gtest.h>

using namespace tirevo;

namespace {

// The device layer's state for these checks, as a session keeps its own.
TFTDeviceState FTDeviceState;
TFTPortSettings FTPortSettings;

class D2XXUnitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        BindSimulatedMeter();
        sim::ClearDevices();
    }
    void TearDown() override { CloseFTDevice(FTDeviceState); }
};

TEST_F(D2XXUnitTest, NoDeviceCountsZero)
{
    FTDeviceState.deviceCount = 7;
    EXPECT_EQ(GetFTDeviceCount(FTDeviceState), FT_OK);
    EXPECT_EQ(FTDeviceState.deviceCount, 0u);
}

struct ListCase {
    std::string raw;     // as the driver holds it
    std::string expect;  // the result text
};

class DescriptionText : public D2XXUnitTest, public ::testing::WithParamInterface<ListCase> {};

TEST_P(DescriptionText, TakenUpToNulOrBufferEnd)
{
    sim::AddDevice(GetParam().raw, GetParam().raw.substr(0, 20));
    ASSERT_EQ(GetFTDeviceDescription(FTDeviceState, 0), FT_OK);
    EXPECT_EQ(FTDeviceState.resultText, GetParam().expect);
}

INSTANTIATE_TEST_SUITE_P(Buffers, DescriptionText,
                         ::testing::Values(ListCase{"QUVA USB pH Meter", "QUVA USB pH Meter"},
                                           ListCase{std::string(63, 'd'), std::string(63, 'd')},
                                           ListCase{std::string(64, 'd'), std::string(64, 'd')},
                                           ListCase{std::string(80, 'd'), std::string(64, 'd')},
                                           ListCase{std::string("ab\0cd", 5), "ab"}, ListCase{"", ""}));

TEST_F(D2XXUnitTest, SerialOfSixteenBytesWithoutNul)
{
    sim::AddDevice("QUVA USB pH Meter", "0123456789ABCDEF");
    ASSERT_EQ(GetFTDeviceSerialNo(FTDeviceState, 0), FT_OK);
    EXPECT_EQ(FTDeviceState.resultText, "0123456789ABCDEF");
}

TEST_F(D2XXUnitTest, FailedCallKeepsThePreviousText)
{
    const int a = sim::AddDevice("QUVA USB pH Meter", "A");
    const int b = sim::AddDevice("Other", "B");
    sim::SetDescriptionFails(b, true);
    sim::SetSerialFails(a, true);
    ASSERT_EQ(GetFTDeviceDescription(FTDeviceState, 0), FT_OK);
    EXPECT_NE(GetFTDeviceDescription(FTDeviceState, 1), FT_OK);
    EXPECT_EQ(FTDeviceState.resultText, "QUVA USB pH Meter");
    EXPECT_NE(GetFTDeviceSerialNo(FTDeviceState, 0), FT_OK);
    EXPECT_EQ(FTDeviceState.resultText, "QUVA USB pH Meter");
}

TEST_F(D2XXUnitTest, OpenNameIsCutToFortyNineCharacters)
{
    const std::string longSerial(60, 'S');
    sim::AddDevice("QUVA USB pH Meter", longSerial.substr(0, 49));
    EXPECT_EQ(Open_USB_Device_By_Serial_Number(FTDeviceState, longSerial), FT_OK);
    EXPECT_EQ(sim::CallsNamed("FT_OpenEx").back().data, longSerial.substr(0, 49));
    EXPECT_EQ(CloseFTDevice(FTDeviceState), FT_OK);
    EXPECT_EQ(Open_USB_Device_By_Serial_Number(FTDeviceState, ""), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(sim::CallsNamed("FT_OpenEx").back().data, "");
}

TEST_F(D2XXUnitTest, ReadIsLimitedToTheInputBuffer)
{
    sim::AddDevice("QUVA USB pH Meter", "A");
    ASSERT_EQ(Open_USB_Device_By_Serial_Number(FTDeviceState, "A"), FT_OK);
    std::string data(70000, 'x');
    data[65535] = 'y';
    data[65536] = 'z';
    sim::InjectRx(data);
    ASSERT_EQ(GetFTQueueStatus(FTDeviceState), FT_OK);
    EXPECT_EQ(FTDeviceState.RxBytes, 70000u);
    EXPECT_EQ(ReadFTBuffer(FTDeviceState, 70000), 65536u);
    EXPECT_EQ(FTDeviceState.inputBuffer[65535], 'y');
    EXPECT_EQ(sim::QueuedRx(), 70000u - 65536u);
    EXPECT_EQ(ReadFTBuffer(FTDeviceState, 70000), 70000u - 65536u);
    EXPECT_EQ(FTDeviceState.inputBuffer[0], 'z');
}

TEST_F(D2XXUnitTest, ReadAndWriteReportBytesNotStatus)
{
    sim::AddDevice("QUVA USB pH Meter", "A");
    ASSERT_EQ(Open_USB_Device_By_Serial_Number(FTDeviceState, "A"), FT_OK);
    FTDeviceState.outputBuffer[0] = 'V';
    EXPECT_EQ(WriteFTBuffer(FTDeviceState, 1), 1u);
    EXPECT_EQ(FTDeviceState.lastIoStatus, FT_OK);
    sim::FailCalls("FT_Write", FT_IO_ERROR);
    EXPECT_EQ(WriteFTBuffer(FTDeviceState, 1), 0u);
    EXPECT_EQ(FTDeviceState.lastIoStatus, FT_IO_ERROR);
    sim::FailCalls("FT_Read", FT_IO_ERROR);
    sim::InjectRx("abc");
    EXPECT_EQ(ReadFTBuffer(FTDeviceState, 3), 0u);
    EXPECT_EQ(FTDeviceState.lastIoStatus, FT_IO_ERROR);
}

TEST_F(D2XXUnitTest, CallsAfterAFailedOpenFailInTheDriver)
{
    sim::AddDevice("QUVA USB pH Meter", "A");
    ASSERT_EQ(Open_USB_Device_By_Serial_Number(FTDeviceState, "A"), FT_OK);
    ASSERT_EQ(CloseFTDevice(FTDeviceState), FT_OK);
    EXPECT_EQ(Open_USB_Device_By_Serial_Number(FTDeviceState, "missing"), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(SetFTBaudRate(FTDeviceState, FTPortSettings), FT_INVALID_HANDLE);
    EXPECT_EQ(GetFTQueueStatus(FTDeviceState), FT_INVALID_HANDLE);
    EXPECT_EQ(ReadFTBuffer(FTDeviceState, 10), 0u);
}

TEST(FTDriverBinding, WithoutAnyDriverNothingIsListed)
{
    EXPECT_FALSE(BindFTDriverLibrary("/nonexistent/libftd2xx.so"));
    UnbindFTDriver();
    FTDeviceState.deviceCount = 3;
    GetFTDeviceCount(FTDeviceState);
    EXPECT_EQ(FTDeviceState.deviceCount, 0u);
    EXPECT_NE(Open_USB_Device_By_Serial_Number(FTDeviceState, "QP000001"), FT_OK);
    ASSERT_TRUE(BindFTDriverLibrary(TIREVO_SIM_LIBRARY));
    EXPECT_EQ(BoundFTDriverKind(), FTDriverKind::Library);
}

}  // namespace
