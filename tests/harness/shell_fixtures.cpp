#include "harness/shell_fixtures.h"

#include <objidl.h>
#include <ole2.h>
#include <shlobj.h>

namespace fixture {
namespace {

std::wstring Widen(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

std::string Narrow(const wchar_t* text) {
    const int length = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) return std::string();
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, &narrow[0], length, nullptr, nullptr);
    narrow.resize(static_cast<size_t>(length - 1));
    return narrow;
}

IShellLinkW* NewLink() {
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link)))) {
        return nullptr;
    }
    return link;
}

void RemoveTreeW(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = folder + L"\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTreeW(path);
            } else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

}  // namespace

OleSession::OleSession() : ok_(SUCCEEDED(OleInitialize(nullptr))) {}

OleSession::~OleSession() {
    if (ok_) OleUninitialize();
}

std::wstring LongPath(const std::string& path) {
    std::wstring wide = Widen(path);
    if (wide.size() >= MAX_PATH - 12 && wide.compare(0, 4, L"\\\\?\\") != 0) wide = L"\\\\?\\" + wide;
    return wide;
}

TempFolder::TempFolder(const std::string& label) {
    static int counter = 0;
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    path_ = std::string(temp) + "vt-" + label + "-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(++counter) + "\\";
    RemoveTree(path_);
    CreateDirectoryA(path_.c_str(), nullptr);
}

TempFolder::~TempFolder() { RemoveTree(path_); }

void RemoveTree(const std::string& folder) {
    std::wstring wide = LongPath(folder);
    while (!wide.empty() && wide.back() == L'\\') wide.pop_back();
    RemoveTreeW(wide);
}

bool operator==(const ShortcutContent& first, const ShortcutContent& second) {
    return first.loaded == second.loaded && first.target == second.target && first.arguments == second.arguments &&
           first.workingFolder == second.workingFolder && first.description == second.description &&
           first.iconPath == second.iconPath && first.iconIndex == second.iconIndex &&
           first.showCommand == second.showCommand && first.hotKey == second.hotKey;
}

namespace {

bool SetContent(IShellLinkW* link, const ShortcutContent& content) {
    return SUCCEEDED(link->SetPath(Widen(content.target).c_str())) &&
           SUCCEEDED(link->SetArguments(Widen(content.arguments).c_str())) &&
           SUCCEEDED(link->SetWorkingDirectory(Widen(content.workingFolder).c_str())) &&
           SUCCEEDED(link->SetDescription(Widen(content.description).c_str())) &&
           SUCCEEDED(link->SetIconLocation(Widen(content.iconPath).c_str(), content.iconIndex)) &&
           SUCCEEDED(link->SetShowCmd(content.showCommand)) && SUCCEEDED(link->SetHotkey(content.hotKey));
}

void GetContent(IShellLinkW* link, ShortcutContent& content) {
    wchar_t text[4096];
    const auto taken = [&text](HRESULT result) { return SUCCEEDED(result) ? Narrow(text) : std::string(); };
    WIN32_FIND_DATAW data;
    content.target = taken(link->GetPath(text, 4096, &data, 0));
    content.arguments = taken(link->GetArguments(text, 4096));
    content.workingFolder = taken(link->GetWorkingDirectory(text, 4096));
    content.description = taken(link->GetDescription(text, 4096));
    content.iconPath = taken(link->GetIconLocation(text, 4096, &content.iconIndex));
    link->GetShowCmd(&content.showCommand);
    link->GetHotkey(&content.hotKey);
}

}  // namespace

bool MakeShortcut(const std::string& path, const ShortcutContent& content) {
    IShellLinkW* link = NewLink();
    if (link == nullptr) return false;
    bool saved = false;
    IPersistFile* file = nullptr;
    if (SetContent(link, content) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        const std::wstring wide = LongPath(path);
        if (wide.size() < MAX_PATH) {
            saved = SUCCEEDED(file->Save(wide.c_str(), TRUE));
        } else {
            // Saved under a short name first, then given its long one.
            wchar_t temp[MAX_PATH] = {};
            wchar_t shortPath[MAX_PATH] = {};
            GetTempPathW(MAX_PATH, temp);
            GetTempFileNameW(temp, L"lnk", 0, shortPath);
            saved = SUCCEEDED(file->Save(shortPath, TRUE)) &&
                    MoveFileExW(shortPath, wide.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
            DeleteFileW(shortPath);
        }
        file->Release();
    }
    link->Release();
    return saved;
}

bool MakeShortcut(const std::string& path, const std::string& target, const std::string& arguments) {
    ShortcutContent content;
    content.target = target;
    content.arguments = arguments;
    return MakeShortcut(path, content);
}

ShortcutContent ReadShortcut(const std::string& path) {
    ShortcutContent content;
    IShellLinkW* link = NewLink();
    if (link == nullptr) return content;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        if (SUCCEEDED(file->Load(Widen(path).c_str(), STGM_READ))) {
            content.loaded = true;
            GetContent(link, content);
        }
        file->Release();
    }
    link->Release();
    return content;
}

bool WriteFileText(const std::string& path, const std::string& text) {
    HANDLE file = CreateFileW(LongPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size();
    CloseHandle(file);
    return ok;
}

std::string ReadFileBytes(const std::string& path) {
    HANDLE file = CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    std::string bytes;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &read, nullptr) && read > 0) bytes.append(chunk, read);
    CloseHandle(file);
    return bytes;
}

unsigned long long FileWriteTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
           data.ftLastWriteTime.dwLowDateTime;
}

bool FileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    std::wstring pattern = LongPath(folder);
    while (!pattern.empty() && pattern.back() == L'\\') pattern.pop_back();
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((pattern + L"\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..") names.push_back(Narrow(entry.cFileName));
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return names;
}

}  // namespace fixture
