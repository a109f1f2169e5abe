#include "startup/shell_link_file.h"

#include <objidl.h>

#include <limits>

ShellLinkFile::ShellLinkFile() {
    CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.receiveVoid());
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

bool ShellLinkFile::GetTarget(char* buffer, int size, WIN32_FIND_DATAA* findData, DWORD flags) {
    if (!link || size <= 0) return false;
    buffer[0] = '\0';
    const bool read = SUCCEEDED(link->GetPath(buffer, size, findData, flags));
    buffer[size - 1] = '\0';
    return read;
}

bool ShellLinkFile::ReadTarget(std::string& target) {
    char buffer[MAX_PATH];
    WIN32_FIND_DATAA targetData;
    if (!GetTarget(buffer, MAX_PATH, &targetData, 0)) return false;
    target = buffer;
    return true;
}

bool ShellLinkFile::SetTarget(const std::string& text) {
    return link && SUCCEEDED(link->SetPath(text.c_str()));
}
