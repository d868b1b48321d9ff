#include "IniFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <string>
#include <vector>

using namespace tirevo;

using namespace std::string_literals;

namespace {

struct ReadCase {
    const char* name;
    std::string text;
    std::string section;
    std::string key;
    std::optional<std::string> value;
};

class IniRead : public testing::TestWithParam<ReadCase> {};

TEST_P(IniRead, FindsTheValue)
{
    const ReadCase& c = GetParam();
    EXPECT_EQ(IniFile::FromText(c.text).ReadString(c.section, c.key), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, IniRead,
    testing::Values(ReadCase{"plain", "[Window]\nMFTop=280\n", "Window", "MFTop", "280"},
                    ReadCase{"case", "[wINDOW]\nmftop=280\n", "Window", "MFTop", "280"},
                    ReadCase{"blanks", " \t[ Window ]\t\n \tMFTop \t= \t280 \t\n", "Window", "MFTop", "280"},
                    ReadCase{"crlf", "[Window]\r\nMFTop=280\r\n", "Window", "MFTop", "280"},
                    ReadCase{"noFinalLineEnd", "[Window]\nMFTop=280", "Window", "MFTop", "280"},
                    ReadCase{"empty", "[Window]\nMFTop=\n", "Window", "MFTop", ""},
                    ReadCase{"equalsInValue", "[S]\nk==a=b\n", "S", "k", "=a=b"},
                    ReadCase{"quoted", "[S]\nk=\" ; \"\n", "S", "k", " ; "},
                    ReadCase{"singleQuoted", "[S]\nk='x'\n", "S", "k", "x"},
                    ReadCase{"unmatchedQuote", "[S]\nk=\"x\n", "S", "k", "\"x"},
                    ReadCase{"firstKeyWins", "[S]\nk=1\nK=2\n", "S", "k", "1"},
                    ReadCase{"firstSectionWins", "[S]\nk=1\n[s]\nk=2\n", "S", "k", "1"},
                    ReadCase{"onlyFirstSectionRead", "[S]\na=1\n[S]\nk=2\n", "S", "k", std::nullopt},
                    ReadCase{"comment", "[S]\n ;k=1\nk=2\n", "S", "k", "2"},
                    ReadCase{"otherSection", "[S]\nk=1\n[T]\n", "T", "k", std::nullopt},
                    ReadCase{"beforeAnySection", "k=1\n[S]\n", "S", "k", std::nullopt},
                    ReadCase{"headerWithoutBracket", "[S]\n[T\nk=1\n", "S", "k", std::nullopt},
                    ReadCase{"headerWithComment", "[S] ; options\nk=1\n", "S", "k", "1"},
                    ReadCase{"lineWithoutEquals", "[S]\nk\nk=1\n", "S", "k", "1"},
                    ReadCase{"nulBytes", "[S]\n\0x=\0\nk=a\0b\n"s, "S", "k", "a\0b"s},
                    ReadCase{"longValueCut", "[S]\nk=" + std::string(5000, 'v') + "\n", "S", "k",
                             std::string(IniFile::kMaxValueLength, 'v')},
                    ReadCase{"noFile", "", "S", "k", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

struct WriteCase {
    const char* name;
    std::string before;
    std::string section;
    std::string key;
    std::string value;
    std::string after;
};

class IniWrite : public testing::TestWithParam<WriteCase> {};

TEST_P(IniWrite, ChangesOnlyItsLine)
{
    const WriteCase& c = GetParam();
    IniFile ini = IniFile::FromText(c.before);
    ASSERT_TRUE(ini.WriteString(c.section, c.key, c.value));
    EXPECT_EQ(ini.ToText(), c.after);
    EXPECT_EQ(ini.ReadString(c.section, c.key), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Placement, IniWrite,
    testing::Values(
        WriteCase{"inPlace", "; c\n[w]\n a = 1 ; x\nb=2\n", "W", "A", "7", "; c\n[w]\na=7\nb=2\n"},
        WriteCase{"inPlaceCrlf", "[W]\r\nk=1\r\nz=2\r\n", "W", "k", "3", "[W]\r\nk=3\r\nz=2\r\n"},
        WriteCase{"firstOfRepeated", "[W]\nk=1\nk=2\n", "W", "k", "3", "[W]\nk=3\nk=2\n"},
        WriteCase{"unendedLastLine", "[W]\nk=1", "W", "k", "3", "[W]\nk=3"},
        WriteCase{"afterLastKey", "[W]\na=1\n; note\n\n[X]\n", "W", "k", "3",
                  "[W]\na=1\nk=3\n; note\n\n[X]\n"},
        WriteCase{"afterHeader", "[W]\n\n[X]\n", "W", "k", "3", "[W]\nk=3\n\n[X]\n"},
        WriteCase{"firstOfRepeatedSections", "[W]\n[W]\na=1\n", "W", "k", "3", "[W]\nk=3\n[W]\na=1\n"},
        WriteCase{"endOfUnendedFile", "[W]\r\na=1", "W", "k", "3", "[W]\r\na=1\r\nk=3\r\n"},
        // The last "\r" was the unended line's end; the one before it is the
        // value's and must stay there.
        WriteCase{"unendedEndingInTwoCr", "[W]\na=1\r\r", "W", "k", "3", "[W]\na=1\r\r\nk=3\n"},
        WriteCase{"newSection", "[X]\r\na=1\r\n", "W", "k", "3", "[X]\r\na=1\r\n[W]\r\nk=3\r\n"},
        WriteCase{"newSectionUnended", "[X]", "W", "k", "3", "[X]\n[W]\nk=3\n"},
        WriteCase{"emptyFile", "", "Window", "MFTop", "-874", "[Window]\nMFTop=-874\n"},
        WriteCase{"keepsOtherBytes", "\0[S]\xFF\nk=1\n\xC3\xA4=\0\n"s, "S", "k", "2",
                  "\0[S]\xFF\nk=1\n\xC3\xA4=\0\n[S]\nk=2\n"s}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IniWrite, RefusesWhatCannotBeOneLine)
{
    const std::string text = "[S]\nk=1\n";
    IniFile ini = IniFile::FromText(text);
    for (const auto& [section, key, value] :
         {std::tuple{"S", "k", "1\n[T]"}, std::tuple{"S\r", "k", "1"}, std::tuple{"S", "a=b", "1"},
          std::tuple{"S]", "k", "1"}, std::tuple{"S", " ", "1"}, std::tuple{"S", "\nk", "1"}}) {
        EXPECT_FALSE(ini.WriteString(section, key, value)) << section << '/' << key;
    }
    EXPECT_EQ(ini.ToText(), text);
}

// Blanks around the names the program asks for count as little as blanks
// around the names in the file: a key written under such names must read back
// under them, and writing it twice must not add a second section.
struct BlankNameCase {
    const char* name;
    std::string before;
    std::string section;
    std::string key;
    std::string after;
};

class IniBlankNames : public testing::TestWithParam<BlankNameCase> {};

TEST_P(IniBlankNames, WriteThenReadUnderTheSameNames)
{
    const BlankNameCase& c = GetParam();
    IniFile ini = IniFile::FromText(c.before);
    ASSERT_TRUE(ini.WriteString(c.section, c.key, "1"));
    ASSERT_TRUE(ini.WriteString(c.section, c.key, "2"));
    EXPECT_EQ(ini.ToText(), c.after);
    EXPECT_EQ(ini.ReadString(c.section, c.key), "2");
}

INSTANTIATE_TEST_SUITE_P(Lookup, IniBlankNames,
                         testing::Values(BlankNameCase{"keyTrailingBlank", "[S]\n", "S", "k ", "[S]\nk=2\n"},
                                         BlankNameCase{"keyLeadingTab", "[S]\nk=0\n", "S", "\tk",
                                                       "[S]\nk=2\n"},
                                         BlankNameCase{"sectionBlanks", "[S]\n", " S\t", "k", "[S]\nk=2\n"},
                                         BlankNameCase{"newSectionBlanks", "", " T ", "k", "[T]\nk=2\n"},
                                         BlankNameCase{"blankSection", "[]\n", "  ", "k", "[]\nk=2\n"}),
                         [](const auto& info) { return std::string(info.param.name); });

// One read and one write over a large file must stay linear: a quadratic
// pass over 100,000 sections would not finish within the test's time.
// What the window puts in the audit trail at close: each key whose value a
// save changed, as the program reads it, and nothing for the rest.
struct ChangeCase {
    const char* name;
    std::string before;
    std::string after;
    std::vector<std::string> changes;  // "Section Key old -> new"
};

class IniChangesBetween : public testing::TestWithParam<ChangeCase> {};

TEST_P(IniChangesBetween, NamesEachChangedKeyOnce)
{
    const ChangeCase& c = GetParam();
    std::vector<std::string> changes;
    for (const IniChange& change : IniChanges(IniFile::FromText(c.before), IniFile::FromText(c.after)))
        changes.push_back(change.before.section + " " + change.before.key + " " + change.before.value +
                          " -> " + change.now);
    EXPECT_EQ(changes, c.changes);
}

INSTANTIATE_TEST_SUITE_P(
    Audit, IniChangesBetween,
    testing::Values(ChangeCase{"same", "[Window]\r\nMFTop=10\r\n", "[Window]\r\nMFTop=10\r\n", {}},
                    ChangeCase{"changed",
                               "[Window]\nMFTop=10\nMFLeft=5\n",
                               "[Window]\nMFTop=12\nMFLeft=5\n",
                               {"Window MFTop 10 -> 12"}},
                    ChangeCase{"added", "", "[Alarm]\nHigh=7.5\nLow=\n", {"Alarm High  -> 7.5"}},
                    ChangeCase{"quotesAndBlanksReadAlike", "[A]\nK = \"x\"\n", "[A]\nK=x\n", {}},
                    ChangeCase{
                        "caseOfNames", "[alarm]\nhigh=7\n", "[Alarm]\nHigh=8\n", {"Alarm High 7 -> 8"}},
                    ChangeCase{"onlyTheFirstOfRepeats", "[A]\nK=1\nK=2\n", "[A]\nK=1\nK=3\n", {}},
                    ChangeCase{"removed", "[A]\nK=1\nL=2\n", "[A]\nK=1\n", {"A L 2 -> "}},
                    ChangeCase{"keysBeforeAnySectionAreNotRead", "K=1\n", "K=2\n", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IniScale, ManySectionsAndLongLines)
{
    std::string text;
    for (int i = 0; i < 100000; ++i)
        text += "[S" + std::to_string(i) + "]\nk=" + std::to_string(i) + "\n";
    text += "[Long]\nk=" + std::string(10'000'000, '\0') + "\n";
    IniFile ini = IniFile::FromText(text);
    EXPECT_EQ(ini.ReadString("s99999", "K"), "99999");
    EXPECT_EQ(ini.ReadString("Long", "k")->size(), IniFile::kMaxValueLength);
    ASSERT_TRUE(ini.WriteString("S99999", "k", "x"));
    ASSERT_TRUE(ini.WriteString("New", "k", "y"));
    const std::string after = ini.ToText();
    EXPECT_EQ(after.size(), text.size() - 4 + 10);  // "99999" -> "x", "[New]\nk=y\n"
    EXPECT_EQ(ini.ReadString("New", "k"), "y");
}

TEST(IniDisk, SavesAndLoadsEveryByte)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = QDir(dir.path()).filePath("t.INI").toStdString();

    IniFile missing;
    ASSERT_TRUE(missing.Load(path));
    EXPECT_EQ(missing.ToText(), "");

    std::string text = "[S]\r\nk=1\r\n";
    for (int b = 0; b < 256; ++b)
        text += static_cast<char>(b);
    IniFile ini = IniFile::FromText(text);
    ASSERT_TRUE(ini.Save(path));
    IniFile loaded;
    ASSERT_TRUE(loaded.Load(path));
    EXPECT_EQ(loaded.ToText(), text);
    // Only the file itself is left behind, no temporary copy.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST(IniDisk, FailsWithoutHarm)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString root = dir.path();
    ASSERT_TRUE(QDir(root).mkdir("folder"));
    QFile plain(root + "/plain");
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();

    const IniFile ini = IniFile::FromText("[S]\nk=1\n");
    for (const QString& path : {root + "/missing/t.INI", root + "/plain/t.INI", root + "/folder"}) {
        EXPECT_FALSE(ini.Save(path.toStdString())) << path.toStdString();
    }
    IniFile folder;
    EXPECT_FALSE(folder.Load((root + "/folder").toStdString()));
    EXPECT_TRUE(QFileInfo(root + "/folder").isDir());
}

}  // namespace
