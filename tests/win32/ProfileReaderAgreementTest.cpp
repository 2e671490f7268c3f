#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "tablet/ProfileReader.h"

namespace {

// The host reads its settings file with a reader of its own on every platform; here it is held
// against the Windows profile functions on the same files.
std::string Utf16LittleEndianWithMark(const std::string& ascii) {
    std::string text = "\xFF\xFE";
    for (const char c : ascii) {
        text += c;
        text += '\0';
    }
    return text;
}

const std::vector<std::string> kFiles = {
    "; comment\r\norphan=1\r\n[tablet]\r\n  SocketPort =  1234  \r\nsocketport=999\r\n[TABLET]\r\n"
    "TextThreshold=7\r\n[Other]\r\nName=\"quoted value\"\r\nSingle='x'\r\nMixed=\"x'\r\n"
    "Hex=0x1F\r\nNeg=-45\r\nTrail=12abc\r\nPlus=+7\r\nBig=4294967295\r\nSpaces=  a b  \r\n"
    "Tab=\tv\t\r\nNoEquals\r\nSemicolon=5;c\r\n",
    "\xEF\xBB\xBF[Tablet]\r\nTabletType=7\r\n[Other]\r\nName=mark\r\n",
    Utf16LittleEndianWithMark("[Tablet]\r\nTabletType=6\r\n[Other]\r\nName=wide\r\n"),
    "[Tablet]\nTabletType=3\n[Other]\nName=lf\n",
    "[ Tablet ]\r\nTabletType=2\r\n[Other ]\r\nName=x\r\n",
};

const std::vector<std::pair<const char*, const char*>> kKeys = {
    {"Tablet", "SocketPort"}, {"Tablet", "TextThreshold"},
    {"Tablet", "orphan"},     {"Tablet", "TabletType"},
    {"Other", "Name"},        {"Other", "Single"},
    {"Other", "Mixed"},       {"Other", "Hex"},
    {"Other", "Neg"},         {"Other", "Trail"},
    {"Other", "Plus"},        {"Other", "Big"},
    {"Other", "Spaces"},      {"Other", "Tab"},
    {"Other", "NoEquals"},    {"Other", "Semicolon"},
    {"Nowhere", "Name"},
};

TEST(ProfileReaderAgreement, ReadsEveryKeyAsTheWindowsProfileFunctionsDo) {
    const char* path = "C:\\temp\\profile-agreement.ini";
    for (size_t file = 0; file < kFiles.size(); ++file) {
        std::ofstream(path, std::ios::binary) << kFiles[file];
        const ProfileReader reader(kFiles[file]);
        for (const auto& [section, key] : kKeys) {
            SCOPED_TRACE(std::to_string(file) + " " + section + "/" + key);
            char text[128];
            GetPrivateProfileStringA(section, key, "default", text, sizeof text, path);
            EXPECT_EQ(reader.GetString(section, key, "default", 127), text);
            EXPECT_EQ(reader.GetInt(section, key, 42),
                      static_cast<int32_t>(GetPrivateProfileIntA(section, key, 42, path)));
        }
    }
    DeleteFileA(path);
}

// The one deliberate difference: an empty text reads as missing (the default), where Windows
// gives the empty text.
TEST(ProfileReaderAgreement, AnEmptyTextReadsTheDefaultUnlikeWindows) {
    const char* path = "C:\\temp\\profile-agreement.ini";
    std::ofstream(path, std::ios::binary) << "[Tablet]\r\nTabletPortPath=\r\n";
    char text[128];
    GetPrivateProfileStringA("Tablet", "TabletPortPath", "default", text, sizeof text, path);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(ProfileReader("[Tablet]\r\nTabletPortPath=\r\n")
                  .GetString("Tablet", "TabletPortPath", "default", 127),
              "default");
    DeleteFileA(path);
}

}  // namespace
