#include "startup/shell_link_file.h"

#include "platform/text.h"

#include <objidl.h>

#include <cstring>
#include <limits>

namespace {

std::string Narrow(const wchar_t* text) {
    std::string narrow;
    NarrowText(text, narrow);
    return narrow;
}

bool Widen(const std::string& text, std::wstring& wide) {
    wide = WideText(text);
    return text.empty() || !wide.empty();
}

// Copies `text` into `buffer` of `size` bytes, cut to fit, zero-terminated.
void CopyCut(const std::string& text, char* buffer, size_t size) {
    const size_t length = text.size() < size ? text.size() : size - 1;
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
}

// Room for far more than the shell's own dialogs let anyone type; a longer
// text is cut here, and only read, never written back.
constexpr int kLongestLinkText = 32768;

// One text of the link read through `read(buffer, size)` into `buffer` (of
// kLongestLinkText characters); empty when the shell has none.
template <class Read>
std::string LinkText(std::wstring& buffer, Read&& read) {
    buffer[0] = L'\0';
    if (FAILED(read(&buffer[0], kLongestLinkText))) return std::string();
    buffer[kLongestLinkText - 1] = L'\0';
    return Narrow(buffer.c_str());
}

void NarrowFindData(const WIN32_FIND_DATAW& wide, WIN32_FIND_DATAA& narrow) {
    narrow = WIN32_FIND_DATAA{};
    narrow.dwFileAttributes = wide.dwFileAttributes;
    narrow.ftCreationTime = wide.ftCreationTime;
    narrow.ftLastAccessTime = wide.ftLastAccessTime;
    narrow.ftLastWriteTime = wide.ftLastWriteTime;
    narrow.nFileSizeHigh = wide.nFileSizeHigh;
    narrow.nFileSizeLow = wide.nFileSizeLow;
    CopyCut(Narrow(wide.cFileName), narrow.cFileName, sizeof narrow.cFileName);
    CopyCut(Narrow(wide.cAlternateFileName), narrow.cAlternateFileName, sizeof narrow.cAlternateFileName);
}

}  // namespace

ShellLinkFile::ShellLinkFile() {
    CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.receiveVoid());
}

ShellLinkFile::~ShellLinkFile() = default;

template <class Action>
bool ShellLinkFile::WithPersistFile(const std::string& path, Action&& action) {
    if (!link) return false;
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.receiveVoid())) || !file) return false;
    wchar_t widePath[MAX_PATH];
    // A path that does not fit fails here and leaves the buffer without its
    // terminating zero, so it must never be passed on.
    if (MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath, MAX_PATH) == 0) return false;
    return SUCCEEDED(action(file.get(), widePath));
}

bool ShellLinkFile::LoadFrom(const std::string& path) {
    return WithPersistFile(path, [](IPersistFile* file, const wchar_t* widePath) {
        return file->Load(widePath, STGM_READ);
    });
}

bool ShellLinkFile::SaveTo(const std::string& path) {
    return WithPersistFile(path, [](IPersistFile* file, const wchar_t* widePath) {
        return file->Save(widePath, TRUE);
    });
}

bool ShellLinkFile::OpenMemoryStream(ComPtr<IPersistStream>& persist, ComPtr<IStream>& stream) {
    if (!link) return false;
    if (FAILED(link->QueryInterface(IID_IPersistStream, persist.receiveVoid())) || !persist) return false;
    return SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, stream.receive())) && stream;
}

bool ShellLinkFile::LoadFromBytes(const std::string& bytes) {
    ComPtr<IPersistStream> persist;
    ComPtr<IStream> stream;
    if (bytes.size() > std::numeric_limits<ULONG>::max() || !OpenMemoryStream(persist, stream)) return false;
    ULONG written = 0;
    if (FAILED(stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written)) || written != bytes.size()) {
        return false;
    }
    const LARGE_INTEGER start = {};
    return SUCCEEDED(stream->Seek(start, STREAM_SEEK_SET, nullptr)) && SUCCEEDED(persist->Load(stream.get()));
}

bool ShellLinkFile::SaveToBytes(std::string& bytes) {
    ComPtr<IPersistStream> persist;
    ComPtr<IStream> stream;
    if (!OpenMemoryStream(persist, stream) || FAILED(persist->Save(stream.get(), TRUE))) return false;
    const LARGE_INTEGER start = {};
    ULARGE_INTEGER size = {};
    if (FAILED(stream->Seek(start, STREAM_SEEK_CUR, &size)) || size.QuadPart > std::numeric_limits<ULONG>::max()) {
        return false;
    }
    bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
    ULONG read = 0;
    return SUCCEEDED(stream->Seek(start, STREAM_SEEK_SET, nullptr)) &&
           (bytes.empty() || SUCCEEDED(stream->Read(&bytes[0], static_cast<ULONG>(bytes.size()), &read))) &&
           read == bytes.size();
}

bool ShellLinkFile::ReadWideTarget(std::string& target, WIN32_FIND_DATAW* findData, DWORD flags) {
    if (!link) return false;
    wchar_t wide[MAX_PATH] = {};
    const bool read = SUCCEEDED(link->GetPath(wide, MAX_PATH, findData, flags));
    wide[MAX_PATH - 1] = L'\0';
    target = Narrow(wide);
    return read;
}

bool ShellLinkFile::GetTarget(char* buffer, int size, WIN32_FIND_DATAA* findData, DWORD flags) {
    if (!link || size <= 0) return false;
    std::string target;
    WIN32_FIND_DATAW wideData = {};
    const bool read = ReadWideTarget(target, findData != nullptr ? &wideData : nullptr, flags);
    CopyCut(target, buffer, static_cast<size_t>(size));
    if (findData != nullptr) NarrowFindData(wideData, *findData);
    return read;
}

bool ShellLinkFile::ReadTarget(std::string& target) {
    WIN32_FIND_DATAW targetData;
    return ReadWideTarget(target, &targetData, 0);
}

bool ShellLinkFile::SetTarget(const std::string& text) {
    std::wstring wide;
    return link && Widen(text, wide) && SUCCEEDED(link->SetPath(wide.c_str()));
}

bool ShellLinkFile::ReadProperties(ShortcutProperties& properties) {
    if (!link) return false;
    properties = ShortcutProperties();
    std::wstring buffer(kLongestLinkText, L'\0');
    properties.arguments =
        LinkText(buffer, [&](wchar_t* text, int size) { return link->GetArguments(text, size); });
    properties.workingFolder =
        LinkText(buffer, [&](wchar_t* text, int size) { return link->GetWorkingDirectory(text, size); });
    properties.iconPath = LinkText(
        buffer, [&](wchar_t* text, int size) { return link->GetIconLocation(text, size, &properties.iconIndex); });
    properties.description =
        LinkText(buffer, [&](wchar_t* text, int size) { return link->GetDescription(text, size); });
    if (FAILED(link->GetHotkey(&properties.hotKey))) properties.hotKey = 0;
    if (FAILED(link->GetShowCmd(&properties.showCommand))) properties.showCommand = SW_SHOWNORMAL;
    ComPtr<IShellLinkDataList> data;
    DWORD flags = 0;
    if (SUCCEEDED(link->QueryInterface(IID_IShellLinkDataList, data.receiveVoid())) && data &&
        SUCCEEDED(data->GetFlags(&flags))) {
        properties.runAsAdministrator = (flags & SLDF_RUNAS_USER) != 0;
    }
    return true;
}
