#include "startup/package_manifest.h"

#include "platform/files.h"
#include "platform/handles.h"
#include "platform/system.h"

#include <windows.h>
#include <xmllite.h>

#include <utility>

namespace {

const wchar_t kUap5Namespace[] = L"http://schemas.microsoft.com/appx/manifest/uap/windows10/5";
const wchar_t kDesktopNamespace[] = L"http://schemas.microsoft.com/appx/manifest/desktop/windows10";
const wchar_t kStartupCategory[] = L"windows.startupTask";

// XmlLite has no import library in every tool chain, and a system without it
// (or without the memory stream, before Vista) must still start the program:
// both are looked up when a manifest is read.
using CreateXmlReaderFunction = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);
using CreateMemoryStreamFunction = IStream*(WINAPI*)(const BYTE*, UINT);

// Manifests are a few kilobytes; anything far larger is none.
constexpr size_t kLargestManifest = 8 * 1024 * 1024;

bool CreateReader(ComPtr<IXmlReader>& reader) {
    static const auto create = LoadSystemFunction<CreateXmlReaderFunction>("xmllite.dll", "CreateXmlReader");
    return create != nullptr && SUCCEEDED(create(__uuidof(IXmlReader), reader.receiveVoid(), nullptr)) && reader &&
           SUCCEEDED(reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit));
}

bool OpenMemoryStream(const std::string& bytes, ComPtr<IStream>& stream) {
    static const auto open = LoadSystemFunction<CreateMemoryStreamFunction>("shlwapi.dll", "SHCreateMemStream");
    if (open == nullptr) return false;
    *stream.receive() = open(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<UINT>(bytes.size()));
    return static_cast<bool>(stream);
}

// Most packages declare no startup task, and a file without the element's
// name declares none, well-formed or not: it need not be parsed. A UTF-16
// file (manifests are UTF-8) is always parsed.
bool MayDeclareTasks(const std::string& bytes) {
    const bool wide = bytes.size() >= 2 && (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0);
    return wide || bytes.find("StartupTask") != std::string::npos;
}

std::wstring LocalName(IXmlReader& reader) {
    const wchar_t* name = nullptr;
    UINT length = 0;
    if (FAILED(reader.GetLocalName(&name, &length)) || name == nullptr) return std::wstring();
    return std::wstring(name, length);
}

bool InTaskNamespace(IXmlReader& reader) {
    const wchar_t* uri = nullptr;
    UINT length = 0;
    if (FAILED(reader.GetNamespaceUri(&uri, &length)) || uri == nullptr) return false;
    const std::wstring text(uri, length);
    return text == kUap5Namespace || text == kDesktopNamespace;
}

// The attribute (of no namespace) of the current element; false when it has none.
bool Attribute(IXmlReader& reader, const wchar_t* name, std::wstring& value) {
    value.clear();
    const wchar_t* text = nullptr;
    UINT length = 0;
    const bool found = reader.MoveToAttributeByName(name, nullptr) == S_OK &&
                       SUCCEEDED(reader.GetValue(&text, &length)) && text != nullptr;
    if (found) value.assign(text, length);
    reader.MoveToElement();
    return found;
}

// An XML boolean: "true" or "1", white space around it allowed.
bool IsTrue(const std::wstring& value) {
    const size_t first = value.find_first_not_of(L" \t\r\n");
    if (first == std::wstring::npos) return false;
    const std::wstring word = value.substr(first, value.find_last_not_of(L" \t\r\n") - first + 1);
    return word == L"true" || word == L"1";
}

ManifestTask ReadTask(IXmlReader& reader) {
    ManifestTask task;
    std::wstring enabled;
    Attribute(reader, L"TaskId", task.taskId);
    Attribute(reader, L"DisplayName", task.displayName);
    task.enabled = Attribute(reader, L"Enabled", enabled) && IsTrue(enabled);
    return task;
}

}  // namespace

struct ManifestReader::Parser {
    ComPtr<IXmlReader> reader;
    bool Parse(IStream* stream, size_t length, std::vector<ManifestTask>& tasks);
};

ManifestReader::ManifestReader() = default;

ManifestReader::~ManifestReader() = default;

bool ManifestReader::ReadTasks(const std::string& path, std::vector<ManifestTask>& tasks) {
    tasks.clear();
    std::string bytes;
    if (!ReadWholeFile(path, kLargestManifest, bytes)) return false;
    if (!MayDeclareTasks(bytes)) return true;
    if (!parser) {
        parser = std::make_unique<Parser>();
        if (!CreateReader(parser->reader)) parser->reader.reset();
    }
    ComPtr<IStream> stream;
    return parser->reader && OpenMemoryStream(bytes, stream) && parser->Parse(stream.get(), bytes.size(), tasks);
}

bool ManifestReader::Parser::Parse(IStream* stream, size_t length, std::vector<ManifestTask>& tasks) {
    IXmlReader& xml = *reader.get();
    // The reader lets go of the stream when it is given the next one.
    if (FAILED(xml.SetInput(stream))) return false;
    // One entry per open element: whether it is an extension of startup tasks.
    std::vector<bool> open;
    std::vector<ManifestTask> found;
    XmlNodeType node = XmlNodeType_None;
    HRESULT read = S_OK;
    for (size_t nodes = 0; (read = xml.Read(&node)) == S_OK; ++nodes) {
        // Every node takes at least one byte. Wine's reader answers the end
        // of a document cut off inside an element with no node, endlessly.
        if (node == XmlNodeType_None || nodes > length) {
            read = E_FAIL;
            break;
        }
        if (node == XmlNodeType_EndElement) {
            if (!open.empty()) open.pop_back();
            continue;
        }
        if (node != XmlNodeType_Element) continue;
        const bool empty = xml.IsEmptyElement() != FALSE;
        const std::wstring name = LocalName(xml);
        std::wstring category;
        const bool extension = name == L"Extension" && Attribute(xml, L"Category", category) &&
                               category == kStartupCategory;
        if (name == L"StartupTask" && !open.empty() && open.back() && InTaskNamespace(xml)) {
            found.push_back(ReadTask(xml));
        }
        if (!empty) open.push_back(extension);
    }
    xml.SetInput(nullptr);
    // Only a manifest read to its end counts: a broken one declares nothing.
    if (read != S_FALSE) return false;
    tasks = std::move(found);
    return true;
}
