// The bench view's place in the settings file: read as written, and only the
// keys the view changed written back, into the file as it is then.
#include "BenchSettings.h"
#include "FileBytes.h"
#include "TempIni.h"

#include <gtest/gtest.h>

using namespace tirevo;

namespace {

TEST(BenchSettings, ReadsItsOwnSectionAndIgnoresWhatItCannotUse)
{
    TempIni ini;
    const std::string path =
        ini.Write("[Window]\nMFTop=10\n[Bench View]\nLeft=-20\nTop=$20\nWidth=abc\nHeight=700\nColumns=3\n");
    const BenchPlace place = LoadBenchPlace(path);
    EXPECT_EQ(place.left, -20);
    EXPECT_EQ(place.top, 32);
    EXPECT_FALSE(place.width);
    EXPECT_EQ(place.height, 700);
    EXPECT_EQ(place.columns, 3);
    EXPECT_EQ(LoadBenchPlace(ini.Write("[Bench View]\nColumns=99\n")).columns, 0);
    EXPECT_EQ(LoadBenchPlace("/nonexistent/tirevo.INI"), BenchPlace());
}

TEST(BenchSettings, WritesOnlyTheKeysItChangedKeepingWhatAnotherCopyWrote)
{
    TempIni ini;
    const std::string path =
        ini.Write("[Window]\nMFTop=10\nMFLeft=20\n[Bench View]\nLeft=5\nTop=6\nColumns=2\n");
    const BenchPlace loaded = LoadBenchPlace(path);
    // Meanwhile another copy moved its main window and its bench view.
    ASSERT_TRUE(
        WriteFile(path, "[Window]\nMFTop=99\nMFLeft=98\n[Bench View]\nLeft=500\nTop=600\nColumns=2\n"));
    BenchPlace now = loaded;
    now.width = 800;
    now.columns = 4;
    EXPECT_FALSE(SaveBenchPlace(path, loaded, now));
    EXPECT_EQ(ReadFile(path),
              "[Window]\nMFTop=99\nMFLeft=98\n[Bench View]\nLeft=500\nTop=600\nColumns=4\nWidth=800\n");
}

TEST(BenchSettings, NothingChangedWritesNothing)
{
    TempIni ini;
    const std::string text = "[Bench View]\r\nLeft=5\r\n";
    const std::string path = ini.Write(text);
    const BenchPlace loaded = LoadBenchPlace(path);
    EXPECT_FALSE(SaveBenchPlace(path, loaded, loaded));
    EXPECT_EQ(ReadFile(path), text);
}

TEST(BenchSettings, AFileThatCannotBeWrittenIsSaid)
{
    BenchPlace now;
    now.left = 1;
    const std::optional<std::string> error = SaveBenchPlace("/nonexistent/folder/tirevo.INI", {}, now);
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, "Unable to write to /nonexistent/folder/tirevo.INI");
}

}  // namespace
