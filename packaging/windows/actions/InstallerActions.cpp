// Custom actions of the machine-wide MSI, run deferred as the local system account:
// WriteHostManifests names the installed .exe by its absolute path in the two host manifests
// (the MSI installs them, so that uninstalling removes them) and allows the extensions that
// CHROME_EXTENSION_IDS and FIREFOX_EXTENSION_IDS list, refusing a malformed id; WriteSettingsFile
// writes a minimal Inkora.ini from the TABLET_SETTINGS property into the Windows directory, only
// when none is there, and never touches it again.
#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include <string>
#include <tuple>
#include <vector>

#include "InstallerTexts.h"
#include "ManifestTemplates.h"

namespace {

// A deferred action's one input, set by the immediate action of the same name.
std::wstring CustomActionData(MSIHANDLE install) {
    wchar_t empty[1] = L"";
    DWORD size = 0;
    MsiGetPropertyW(install, L"CustomActionData", empty, &size);
    std::wstring data(size + 1, L'\0');
    size = static_cast<DWORD>(data.size());
    MsiGetPropertyW(install, L"CustomActionData", data.data(), &size);
    data.resize(size);
    return data;
}

std::string Utf8(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::string& utf8) {
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), static_cast<int>(utf8.size()), out.data(), size);
    return out;
}

// A line in the installation log (msiexec /l*v).
void Log(MSIHANDLE install, const std::wstring& text) {
    const MSIHANDLE record = MsiCreateRecord(0);
    MsiRecordSetStringW(record, 0, text.c_str());
    MsiProcessMessage(install, INSTALLMESSAGE_INFO, record);
    MsiCloseHandle(record);
}

// Writes BYTES to PATH; DISPOSITION CREATE_NEW fails with ERROR_FILE_EXISTS on an existing file.
DWORD WriteWholeFile(const std::wstring& path, const std::string& bytes, DWORD disposition) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return GetLastError();
    }
    DWORD written = 0;
    const bool ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size();
    const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    CloseHandle(file);
    return error;
}

}  // namespace

extern "C" __declspec(dllexport) UINT __stdcall WriteHostManifests(MSIHANDLE install) {
    const HostManifestInput input = ParseHostManifestInput(Utf8(CustomActionData(install)));
    if (!input.error.empty()) {
        Log(install, L"WriteHostManifests: " + Wide(input.error));
        return ERROR_INSTALL_FAILURE;
    }
    std::wstring folder = Wide(input.folder);
    if (folder.back() != L'\\') {
        folder += L'\\';
    }
    const std::string host = Utf8(folder + Wide(kHostExecutable));
    const std::tuple<const char*, const char*, const std::vector<std::string>&> manifests[] = {
        {"chromium", kChromiumManifest, input.chromeIds},
        {"firefox", kFirefoxManifest, input.firefoxIds}};
    for (const auto& [kind, manifestTemplate, ids] : manifests) {
        const std::wstring path = folder + Wide(kHostName) + L"." + Wide(kind) + L".json";
        const std::string text = ManifestText(manifestTemplate, kHostPathPlaceholder, host,
                                              kAllowedPlaceholder, kind, ids);
        const DWORD error = WriteWholeFile(path, text, CREATE_ALWAYS);
        if (error != ERROR_SUCCESS) {
            Log(install,
                L"WriteHostManifests: cannot write " + path + L", error " + std::to_wstring(error));
            return ERROR_INSTALL_FAILURE;
        }
        Log(install, L"WriteHostManifests: wrote " + path);
    }
    return ERROR_SUCCESS;
}

extern "C" __declspec(dllexport) UINT __stdcall WriteSettingsFile(MSIHANDLE install) {
    const std::wstring items = CustomActionData(install);
    const auto text = SettingsFileText(Utf8(items));
    if (!text) {
        Log(install, L"WriteSettingsFile: TABLET_SETTINGS is not Key=Value;Key=Value: " + items);
        return ERROR_INSTALL_FAILURE;
    }
    // The system's own Windows directory: the one a Terminal-Server-aware host reads, also in a
    // Remote Desktop session.
    wchar_t windows[MAX_PATH];
    const UINT length = GetSystemWindowsDirectoryW(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return ERROR_INSTALL_FAILURE;
    }
    const std::wstring path = std::wstring(windows) + L"\\Inkora.ini";
    const DWORD error = WriteWholeFile(path, *text, CREATE_NEW);
    if (error == ERROR_FILE_EXISTS) {
        Log(install, L"WriteSettingsFile: kept the existing " + path);
        return ERROR_SUCCESS;
    }
    if (error != ERROR_SUCCESS) {
        Log(install,
            L"WriteSettingsFile: cannot write " + path + L", error " + std::to_wstring(error));
        return ERROR_INSTALL_FAILURE;
    }
    Log(install, L"WriteSettingsFile: wrote " + path);
    return ERROR_SUCCESS;
}
