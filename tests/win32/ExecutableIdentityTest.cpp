#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// The host .exe as built (HOST_EXE_PATH, a Unix path that Wine finds on drive Z:).
std::vector<char> ReadHost() {
    std::ifstream file(HOST_EXE_PATH, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TEST(ExecutableIdentity, ImageHeaderIsTerminalServerAwareAndNeedsVista) {
    const std::vector<char> image = ReadHost();
    ASSERT_GT(image.size(), sizeof(IMAGE_DOS_HEADER));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    ASSERT_EQ(dos->e_magic, IMAGE_DOS_SIGNATURE);
    ASSERT_LT(static_cast<size_t>(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS32), image.size());
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(image.data() + dos->e_lfanew);
    ASSERT_EQ(nt->Signature, IMAGE_NT_SIGNATURE);
    const IMAGE_OPTIONAL_HEADER32& header = nt->OptionalHeader;
    EXPECT_EQ(header.DllCharacteristics & IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE, 0x8000);
    EXPECT_EQ(header.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_CUI);
    EXPECT_EQ(header.MajorOperatingSystemVersion, 6);
    EXPECT_EQ(header.MinorOperatingSystemVersion, 0);
    EXPECT_EQ(header.MajorSubsystemVersion, 6);
    EXPECT_EQ(header.MinorSubsystemVersion, 0);
}

TEST(ExecutableIdentity, VersionResourceCarriesTheProjectVersionAndNames) {
    const DWORD size = GetFileVersionInfoSizeA(HOST_EXE_PATH, nullptr);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(HOST_EXE_PATH, 0, size, info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    const std::string version = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                                std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                                std::to_string(HIWORD(fixed->dwFileVersionLS));
    EXPECT_EQ(version, HOST_VERSION);
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    for (const char* name : {"CompanyName", "ProductName", "FileDescription", "FileVersion",
                             "ProductVersion", "OriginalFilename"}) {
        SCOPED_TRACE(name);
        char* text = nullptr;
        const std::string key = std::string("\\StringFileInfo\\040904B0\\") + name;
        ASSERT_TRUE(
            VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&text), &length));
        EXPECT_GT(length, 1u);
    }
}

TEST(ExecutableIdentity, ManifestRunsAsInvokerOnVistaAndLater) {
    const HMODULE module = LoadLibraryExA(HOST_EXE_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    const HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(resource, nullptr);
    const std::string manifest(
        static_cast<const char*>(LockResource(LoadResource(module, resource))),
        SizeofResource(module, resource));
    FreeLibrary(module);
    for (const char* text : {"level=\"asInvoker\"", "{e2011457-1546-43c5-a5fe-008deee3d3f0}",
                             "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) {
        EXPECT_NE(manifest.find(text), std::string::npos) << text;
    }
}

}  // namespace
