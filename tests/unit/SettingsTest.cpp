#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <vector>

#include "TemporaryRoot.h"
#include "tablet/Ipv4Address.h"
#include "tablet/ProfileReader.h"
#include "tablet/SettingsReport.h"
#include "tablet/Tablet.h"

namespace {

using testsupport::ScopedInkoraRoot;

TEST(ProfileReader, MatchesNamesWithoutCaseAndTakesTheFirstMatch) {
    const ProfileReader file(
        "; a comment\n"
        "orphan=1\n"
        "[tablet]\n"
        "  SocketPort =  1234  \r\n"
        "socketport=999\n"
        ";SocketTimeout=5\n"
        "[TABLET]\n"
        "TextThreshold=7\n"
        "[Other]\n"
        "Name=\"quoted value\"\n"
        "Single='x'\n"
        "Mixed=\"x'\n"
        "Empty=\n");
    EXPECT_EQ(file.GetInt("Tablet", "SOCKETPORT", 0), 1234);
    EXPECT_EQ(file.GetInt("Tablet", "SocketTimeout", 42), 42);
    EXPECT_EQ(file.GetInt("Tablet", "TextThreshold", 42), 42) << "second [Tablet] section read";
    EXPECT_EQ(file.GetInt("Tablet", "orphan", 42), 42);
    EXPECT_EQ(file.GetString("other", "name", "", 127), "quoted value");
    EXPECT_EQ(file.GetString("other", "single", "", 127), "x");
    EXPECT_EQ(file.GetString("other", "mixed", "", 127), "\"x'");
    EXPECT_EQ(file.GetString("other", "empty", "fallback", 127), "fallback");
    EXPECT_EQ(file.GetInt("other", "empty", 42), 42);
    EXPECT_EQ(file.GetString("nowhere", "name", "fallback", 127), "fallback");
}

// Files saved by Windows editors: UTF-8 with its mark, and "Unicode" (UTF-16 little-endian with
// its mark), whose text reads as if written in ASCII.
TEST(ProfileReader, ReadsTheFirstSectionOfFilesWithAByteOrderMark) {
    const ProfileReader utf8("\xEF\xBB\xBF[Tablet]\r\nTabletType=7\r\n");
    EXPECT_EQ(utf8.GetInt("Tablet", "TabletType", 0), 7);

    const std::string text = "[Tablet]\r\nTabletType=6\r\nTabletPortPath=pad\xE9\r\n";
    std::string utf16 = "\xFF\xFE";
    for (const char c : text) {
        utf16 += c;
        utf16 += '\0';
    }
    utf16 += "\x3C\xD8\x89\xDF";  // one character outside the Basic Multilingual Plane
    utf16 += std::string("\x01\x04=\0x\0", 6);  // a key name in Cyrillic
    const ProfileReader unicode(utf16);
    EXPECT_EQ(unicode.GetInt("Tablet", "TabletType", 0), 6);
    EXPECT_EQ(unicode.GetString("Tablet", "TabletPortPath", "", 127), "pad\xE9");
    EXPECT_EQ(unicode.GetString("Tablet", "?\?", "", 127), "x");
    EXPECT_EQ(DecodeProfileText("\xFF"), "\xFF") << "a lone byte is no mark";
}

TEST(ProfileReader, ReadsIntegersWithSignsHexAndTrailingText) {
    EXPECT_EQ(ParseProfileInteger("123"), 123);
    EXPECT_EQ(ParseProfileInteger("-45"), -45);
    EXPECT_EQ(ParseProfileInteger("+7"), 7);
    EXPECT_EQ(ParseProfileInteger("0x1F"), 31);
    EXPECT_EQ(ParseProfileInteger("0XfF"), 255);
    EXPECT_EQ(ParseProfileInteger("12abc"), 12);
    EXPECT_EQ(ParseProfileInteger("abc"), 0);
    EXPECT_EQ(ParseProfileInteger("-"), 0);
    EXPECT_EQ(ParseProfileInteger("4294967295"), -1);
}

TEST(Ipv4Address, ParsesDottedFormsAndRejectsTheRest) {
    const auto bytes = [](uint32_t address) {
        uint8_t b[4];
        std::memcpy(b, &address, 4);
        return std::vector<int>{b[0], b[1], b[2], b[3]};
    };
    EXPECT_EQ(bytes(ParseIpv4Address("127.0.0.1")), (std::vector<int>{127, 0, 0, 1}));
    EXPECT_EQ(bytes(ParseIpv4Address("10.1")), (std::vector<int>{10, 0, 0, 1}));
    EXPECT_EQ(bytes(ParseIpv4Address("0x7f.1")), (std::vector<int>{127, 0, 0, 1}));
    EXPECT_EQ(bytes(ParseIpv4Address("010.0.0.1")), (std::vector<int>{8, 0, 0, 1}));
    for (const char* bad : {"", "1.2.3.4.5", "256.1.1.1", "1.2.3.", "a.b.c.d", "1..2", "1.2.3.256",
                            "localhost", "09.1.1.1"}) {
        EXPECT_EQ(ParseIpv4Address(bad), 0xFFFFFFFFu) << bad;
    }
}

// What --check and the OPEN trace say of a file: nothing the host reads, or the keys it does not.
TEST(SettingsReport, NamesFilesThatGiveOnlyDefaultsAndKeysTheHostDoesNotRead) {
    struct Case {
        std::string text;
        std::string reasonStart;  // empty: the file gives something
        std::vector<std::string> unknown;
    };
    const std::vector<Case> cases = {
        {"", "it has no [Tablet] section", {}},
        {std::string("\x00\xff\x7f[\x01\n\x80=\x02", 9), "it has no [Tablet] section", {}},
        {"TabletType=7\nSocketPort=1\n", "it has no [Tablet] section", {}},
        {"[Tablet]\nTabletType 7\nno equals sign\n", "none of the keys", {}},
        {"[Tablet]\nTabletTyp=7\nPort=1\n", "none of the keys", {"TabletTyp", "Port"}},
        {"[Tablet]\nTabletType=\nSocketPort= \nTabletModel=\nTabletTyp=7\n",
         "every key the host",
         {"TabletTyp"}},
        {"[Tablet]\nTabletType=\nTabletType=7\n", "every key the host", {}},
        {"[TABLET]\ntablettype=7\nTabletModle=Pad2\n", "", {"TabletModle"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const ProfileReader file(c.text);
        EXPECT_EQ(UselessSettingsReason(file).substr(0, c.reasonStart.size()), c.reasonStart);
        EXPECT_EQ(UselessSettingsReason(file).empty(), c.reasonStart.empty());
        EXPECT_EQ(UnknownKeys(file), c.unknown);
    }
}

class TabletSettingsLoading : public ::testing::Test {
protected:
    std::unique_ptr<Tablet> Load(const std::string& ini) {
        root.WriteSettings(ini);
        return std::make_unique<Tablet>();
    }
    ScopedInkoraRoot root;
};

// The sample settings file that ships with the packages writes out the defaults alone.
TEST_F(TabletSettingsLoading, AbsentEmptyOrSampleFileGivesEveryDefault) {
    std::ifstream sample(SAMPLE_SETTINGS_FILE, std::ios::binary);
    const std::string sampleText{std::istreambuf_iterator<char>(sample), {}};
    ASSERT_NE(sampleText.find("TabletLogicalXSize=2150"), std::string::npos);
    const std::vector<std::optional<std::string>> files = {std::nullopt, "", sampleText};
    for (const std::optional<std::string>& file : files) {
        if (file) {
            root.WriteSettings(*file);
        }
        const Tablet tablet;
        const TabletSettings& s = tablet.settings;
        EXPECT_EQ(s.TabletType, 0);
        EXPECT_EQ(tablet.GetTransportKind(), 0);
        EXPECT_EQ(s.TabletComPort, 1);
        EXPECT_EQ(s.TabletBaudRate, 19200);
        EXPECT_EQ(s.TabletXStart, 500);
        EXPECT_EQ(s.TabletYStart, 350);
        EXPECT_EQ(s.TabletXStop, 2650);
        EXPECT_EQ(s.TabletYStop, 2100);
        EXPECT_EQ(s.TabletLogicalXSize, 2150);
        EXPECT_EQ(s.TabletLogicalYSize, 1400);
        EXPECT_EQ(s.TabletResolution, 410);
        EXPECT_EQ(s.SocketPort, 47289);
        EXPECT_EQ(s.SocketTimeout, 10000);
        EXPECT_EQ(s.TabletIpAddress, ParseIpv4Address("127.0.0.1"));
        EXPECT_EQ(s.LCDWriteDelay, 10);
        EXPECT_EQ(s.LCDRetryCount, 2);
        EXPECT_EQ(s.TextThreshold, 128);
        EXPECT_TRUE(s.TranslateBitmapEnable);
        EXPECT_FALSE(s.UseMultiUsb || s.EnableLogging || s.CheckConnectedOnOpen ||
                     s.LCDCompressMode || s.LCDZCompression);
        EXPECT_STREQ(s.TabletPortPath, "");
        EXPECT_STREQ(s.SettingsFileName, "Inkora.ini");
        EXPECT_EQ(tablet.serialTransport->GetComPort(), 1);
    }
}

TEST_F(TabletSettingsLoading, ModelSectionHoldsThePerModelKeysOnly) {
    const auto tablet = Load(
        "[Tablet]\nTabletModel=Pad2\nTabletLogicalXSize=1111\nSocketPort=1\n"
        "[Pad2]\nTabletLogicalXSize=3000\nSocketPort=2\nTabletRotation=90\n");
    EXPECT_EQ(tablet->settings.TabletLogicalXSize, 3000);
    EXPECT_EQ(tablet->settings.TabletLogicalYSize, 1400);
    EXPECT_EQ(tablet->settings.SocketPort, 1);
    EXPECT_EQ(tablet->settings.TabletRotation, 90);

    // --check's account: the effective value, and whether the file gave it, from the model
    // section for a per-model key.
    const ProfileReader file = ProfileReader::FromFile(root.WindowsPath("Inkora.ini"));
    std::vector<std::string> given;
    for (const SettingLine& line : DescribeSettings(file, tablet->settings)) {
        if (line.fromFile) {
            given.push_back(line.key + "=" + line.value);
        }
    }
    EXPECT_EQ(given, (std::vector<std::string>{"SocketPort=1", "TabletLogicalXSize=3000",
                                               "TabletRotation=90", "TabletModel=Pad2"}));
}

TEST_F(TabletSettingsLoading, TruncatesFlagsHoldsLogicalSizesAndMergesTheType) {
    const auto tablet = Load(
        "[Tablet]\nTabletXStart=70000\nUseMultiUsb=2\nLCDZCompression=1\n"
        "TranslateBitmapEnable=0\nTabletType=22\nTabletIpAddress=not.an.address\n"
        "TabletLogicalXSize=5000\nTabletLogicalYSize=-1\n");
    EXPECT_EQ(tablet->settings.TabletXStart, 4464);
    EXPECT_FALSE(tablet->settings.UseMultiUsb);
    EXPECT_TRUE(tablet->settings.LCDZCompression);
    EXPECT_FALSE(tablet->settings.TranslateBitmapEnable);
    EXPECT_EQ(tablet->settings.TabletType, 22);
    EXPECT_EQ(tablet->settings.TabletLogicalXSize, 4095);  // 5000 does not fit a point's 12 bits
    EXPECT_EQ(tablet->settings.TabletLogicalYSize, 0);     // nor does a negative size
    EXPECT_EQ(tablet->GetTransportKind(), 6);
    EXPECT_EQ(tablet->settings.TabletIpAddress, 0xFFFFFFFFu);
    tablet->settings.TabletType = 9;
    EXPECT_EQ(tablet->GetTransportKind(), 0);
}

TEST_F(TabletSettingsLoading, CutsTextsAt127Characters) {
    const auto tablet = Load("[Tablet]\nTabletPortPath=" + std::string(300, 'p') + "\n");
    EXPECT_EQ(std::strlen(tablet->settings.TabletPortPath), 127u);
}

TEST_F(TabletSettingsLoading, SettingsTravelWholeThroughGetAndSet) {
    const auto tablet = Load("[Tablet]\nTabletComPort=7\nLCDXSize=321\n");
    TabletSettings copy;
    tablet->GetTabletSettings(copy);
    EXPECT_EQ(copy.LCDXSize, 321);
    copy.TabletComPort = 12;
    copy.CheckConnectedOnOpen = true;
    tablet->SetTabletSettings(copy);
    EXPECT_TRUE(tablet->settings.CheckConnectedOnOpen);
    EXPECT_EQ(tablet->serialTransport->GetComPort(), 12);
}

}  // namespace
