#include "platform/system.h"

#include "platform/handles.h"

#include <windows.h>
#include <shlobj.h>

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
    // Looked up, and loaded where no one has yet: systems before XP lack it.
    using Load = HRESULT(WINAPI*)(LPCWSTR, LPWSTR, UINT, void**);
    HMODULE shell = GetModuleHandleA("shlwapi.dll");
    if (shell == nullptr) shell = LoadLibraryA("shlwapi.dll");
    auto load = shell == nullptr
                    ? nullptr
                    : reinterpret_cast<Load>(reinterpret_cast<void*>(GetProcAddress(shell, "SHLoadIndirectString")));
    const int length = static_cast<int>(source.size());
    if (load == nullptr || length == 0) return std::string();
    std::wstring wide(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, source.data(), length, nullptr, 0)), L'\0');
    if (wide.empty()) return std::string();
    MultiByteToWideChar(CP_ACP, 0, source.data(), length, &wide[0], static_cast<int>(wide.size()));
    wchar_t loaded[1024] = {};
    if (FAILED(load(wide.c_str(), loaded, 1024, nullptr))) return std::string();
    loaded[1023] = L'\0';
    const int size = WideCharToMultiByte(CP_ACP, 0, loaded, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return std::string();
    std::string text(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, loaded, -1, &text[0], size, nullptr, nullptr);
    text.resize(static_cast<size_t>(size - 1));
    return text;
}

int WindowsVersionQueries() { return versionQueries; }
