#include "platform/system.h"

#include "platform/handles.h"
#include "platform/text.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

namespace {

bool versionKnown = false;
bool versionIsNT = false;
int versionQueries = 0;

}  // namespace

bool GetSpecialFolderPath(std::string& path, int folder) {
    LPITEMIDLIST list = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, folder, &list)) || list == nullptr) return false;
    char buffer[MAX_PATH] = {};
    const bool found = SHGetPathFromIDListA(list, buffer) != FALSE;
    ComPtr<IMalloc> allocator;
    if (SUCCEEDED(SHGetMalloc(allocator.receive())) && allocator) {
        allocator->Free(list);
    } else {
        CoTaskMemFree(list);  // the shell's allocator is the task allocator
    }
    if (!found) return false;
    buffer[MAX_PATH - 1] = '\0';
    std::string result(buffer);
    if (!result.empty() && result.back() != '\\') result += '\\';
    path = std::move(result);
    return true;
}

bool IsWindowsNT() {
    if (versionKnown) return versionIsNT;
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    static_assert(sizeof(OSVERSIONINFOA) == 148, "the version record the system expects");
    ++versionQueries;
#if defined(_MSC_VER)
#pragma warning(suppress : 4996)  // GetVersionExA is deprecated but is the question asked here
    const BOOL answered = GetVersionExA(&info);
#else
    const BOOL answered = GetVersionExA(&info);
#endif
    // Every system this runs on today is of the NT family, so that is the
    // answer when the system does not give one.
    versionIsNT = !answered || info.dwPlatformId == VER_PLATFORM_WIN32_NT;
    versionKnown = true;
    return versionIsNT;
}

HMODULE LoadSystemModule(const char* module) {
    if (HMODULE loaded = GetModuleHandleA(module)) return loaded;
    char folder[MAX_PATH];
    const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    // By its full path: a DLL of that name beside the program or in the
    // current folder is never the one loaded.
    return LoadLibraryA((std::string(folder, length) + "\\" + module).c_str());
}

bool IsWindows64() {
#if defined(_WIN64)
    return true;
#else
    // Systems before WOW64 do not have it.
    using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto isWow64Process = FindSystemFunction<IsWow64ProcessFunction>("kernel32.dll", "IsWow64Process");
    BOOL wow64 = FALSE;
    return isWow64Process != nullptr && isWow64Process(GetCurrentProcess(), &wow64) && wow64;
#endif
}

std::string LoadIndirectText(const std::string& source) {
    using Load = HRESULT(WINAPI*)(LPCWSTR, LPWSTR, UINT, void**);
    // Systems before XP lack it.
    static const auto load = LoadSystemFunction<Load>("shlwapi.dll", "SHLoadIndirectString");
    std::vector<wchar_t> loaded(1024, L'\0');
    std::string text;
    if (load == nullptr || source.empty() ||
        FAILED(load(WideText(source).c_str(), loaded.data(), static_cast<UINT>(loaded.size() - 1), nullptr))) {
        return text;
    }
    NarrowText(loaded.data(), text);
    return text;
}

int WindowsVersionQueries() { return versionQueries; }
