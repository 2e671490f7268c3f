// Custom actions of the machine-wide MSI. ChooseInstallValues (immediate) takes the values of
// CHROME_EXTENSION_IDS, FIREFOX_EXTENSION_IDS and TABLET_SETTINGS for this run from an
// administrator only. Run deferred as the local system account: WriteHostManifests names the
// installed .exe by its absolute path in the two host manifests (the MSI installs them, so that
// uninstalling removes them) and allows the extensions that CHROME_EXTENSION_IDS and
// FIREFOX_EXTENSION_IDS list, refusing a malformed id; WriteSettingsFile writes a minimal
// Inkora.ini from the TABLET_SETTINGS property into the Windows directory, only when none is there,
// and never touches it again.
#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include <string>
#include <tuple>
#include <vector>

#include "InstallerTexts.h"
#include "ManifestTemplates.h"

namespace {

// A string of Windows Installer's API: asked once for its length, then read. `get(buffer, size)`
// is one such call.
template <typename Get>
std::wstring InstallerString(Get get) {
    wchar_t empty[1] = L"";
    DWORD size = 0;
    get(empty, &size);
    std::wstring value(size + 1, L'\0');
    size = static_cast<DWORD>(value.size());
    get(value.data(), &size);
    value.resize(size);
    return value;
}

std::wstring Property(MSIHANDLE install, const wchar_t* name) {
    return InstallerString(
        [&](wchar_t* buffer, DWORD* size) { MsiGetPropertyW(install, name, buffer, size); });
}

// A deferred action's one input, set by the immediate action of the same name.
std::wstring CustomActionData(MSIHANDLE install) {
    return Property(install, L"CustomActionData");
}

std::wstring RecordString(MSIHANDLE record, UINT field) {
    return InstallerString(
        [&](wchar_t* buffer, DWORD* size) { MsiRecordGetStringW(record, field, buffer, size); });
}

// The package's own row for the property in its Property table, as an administrator's transform
// left it (values given on the command line are not in the table); empty when there is none.
std::wstring PackagedValue(MSIHANDLE install, const std::wstring& name) {
    const MSIHANDLE database = MsiGetActiveDatabase(install);
    if (database == 0) {
        return {};
    }
    const std::wstring query = L"SELECT `Value` FROM `Property` WHERE `Property` = '" + name + L"'";
    std::wstring value;
    MSIHANDLE view = 0;
    if (MsiDatabaseOpenViewW(database, query.c_str(), &view) == ERROR_SUCCESS &&
        MsiViewExecute(view, 0) == ERROR_SUCCESS) {
        MSIHANDLE record = 0;
        if (MsiViewFetch(view, &record) == ERROR_SUCCESS) {
            value = RecordString(record, 1);
            MsiCloseHandle(record);
        }
    }
    if (view != 0) {
        MsiCloseHandle(view);
    }
    MsiCloseHandle(database);
    return value;
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

// Each property a site sets, with where its kept and its fallback values are (null: none).
struct SiteProperty {
    const wchar_t* name;
    const wchar_t* remembered;
    const wchar_t* fallback;
};
constexpr SiteProperty kSiteProperties[] = {
    {L"CHROME_EXTENSION_IDS", L"REMEMBERED_CHROME_IDS", L"SampleChromeIds"},
    {L"FIREFOX_EXTENSION_IDS", L"REMEMBERED_FIREFOX_IDS", L"SampleFirefoxIds"},
    {L"TABLET_SETTINGS", nullptr, nullptr},
};

}  // namespace

// AdminUser is the person's real administrator right (the package sets MSIUSEREALADMINDETECTION);
// Privileged alone is an elevation that policy or an administrator's assignment grants, and
// Windows Installer then passes a person's values of these secure properties to this side.
extern "C" __declspec(dllexport) UINT __stdcall ChooseInstallValues(MSIHANDLE install) {
    const bool adminUser = !Property(install, L"AdminUser").empty();
    Log(install, std::wstring(L"ChooseInstallValues: AdminUser ") + (adminUser ? L"1" : L"0") +
                     L", Privileged " + (Property(install, L"Privileged").empty() ? L"0" : L"1"));
    for (const SiteProperty& site : kSiteProperties) {
        const std::wstring current = Property(install, site.name);
        const PropertySources sources{
            Utf8(current), Utf8(PackagedValue(install, site.name)),
            site.remembered != nullptr ? Utf8(Property(install, site.remembered)) : "",
            site.fallback != nullptr ? Utf8(Property(install, site.fallback)) : ""};
        const TrustedValue chosen = ChooseTrustedValue(sources, adminUser);
        if (chosen.refusedCurrent) {
            Log(install, L"ChooseInstallValues: " + std::wstring(site.name) +
                             L" is an administrator's to give; kept what was installed instead "
                             L"of '" +
                             current + L"'");
        }
        if (MsiSetPropertyW(install, site.name, Wide(chosen.value).c_str()) != ERROR_SUCCESS) {
            return ERROR_INSTALL_FAILURE;
        }
    }
    return ERROR_SUCCESS;
}

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
