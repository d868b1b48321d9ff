// The driver bound at run time from a DLL, on Windows: no <windows.h> here,
// whose DWORD differs from the driver header's.
#include "DriverBinding.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace tirevo;

// ---- the driver ------------------------------------------------------------------

TEST(DriverBindingWin, BindsTheSimulatedMeterDll)
{
    ASSERT_TRUE(BindFTDriverLibrary(TIREVO_SIM_LIBRARY));
    EXPECT_EQ(BoundFTDriverKind(), FTDriverKind::Library);
    DWORD count = 99;
    EXPECT_EQ(FTDriver().ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
}

TEST(DriverBindingWin, AMissingOrForeignDllLeavesTheBindingAlone)
{
    ASSERT_TRUE(BindFTDriverLibrary(TIREVO_SIM_LIBRARY));
    EXPECT_FALSE(BindFTDriverLibrary("no-such-driver.dll"));
    // A DLL without the driver's entry points.
    EXPECT_FALSE(BindFTDriverLibrary("kernel32.dll"));
    EXPECT_EQ(BoundFTDriverKind(), FTDriverKind::Library);
}

TEST(DriverBindingWin, NoBuiltinDriverMeansNoDriver)
{
    BindBuiltinFTDriver();
    EXPECT_EQ(BoundFTDriverKind(), FTDriverKind::None);
    DWORD count = 99;
    FTDriver().ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY);
    EXPECT_EQ(count, 0u);
    EXPECT_NE(NoDriverText().find("FTD2XX.DLL"), std::string::npos);
}

}  // namespace
