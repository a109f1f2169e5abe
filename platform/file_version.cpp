#include "platform/file_version.h"

#include "platform/handles.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <vector>

// The version resource is read straight from the program file's headers and
// resource section: a few small reads of one open file, where the system's
// GetFileVersionInfo maps the whole file as a module, twice (its size, then
// its data), which costs fifty times as much and is done for every service.

namespace {

constexpr uint32_t kVersionType = 16;           // RT_VERSION
constexpr uint32_t kResourceDirectory = 2;      // IMAGE_DIRECTORY_ENTRY_RESOURCE
constexpr uint32_t kSubdirectory = 0x80000000;  // an entry's offset names a directory, not data
constexpr size_t kLargestVersion = 64 * 1024;
constexpr size_t kMostSections = 96;
// Far more than any directory or version resource a read is for.
constexpr size_t kLargestRead = 1024 * 1024;

class FileBytes {
public:
    explicit FileBytes(const std::string& path)
        : file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    explicit operator bool() const { return static_cast<bool>(file); }

    // Exactly `size` bytes at `offset`, or false. The headers and the
    // directories lie close together: a small read takes a whole page, which
    // serves the reads after it.
    bool Read(uint32_t offset, size_t size, std::vector<uint8_t>& bytes) const {
        if (size > kLargestRead) return false;
        if (offset < pageOffset || offset - pageOffset > page.size() || size > page.size() - (offset - pageOffset)) {
            if (size > kPageSize) return ReadAt(offset, size, bytes) && bytes.size() == size;
            if (!ReadAt(offset, kPageSize, page)) return false;
            pageOffset = offset;
            if (size > page.size()) return false;
        }
        const auto from = page.begin() + (offset - pageOffset);
        bytes.assign(from, from + static_cast<std::ptrdiff_t>(size));
        return true;
    }

private:
    static constexpr size_t kPageSize = 4096;

    // Up to `size` bytes at `offset` (fewer at the end of the file).
    bool ReadAt(uint32_t offset, size_t size, std::vector<uint8_t>& bytes) const {
        bytes.assign(size, 0);
        // With a high part, the offset counts as unsigned; SetFilePointerEx is newer than some systems.
        LONG high = 0;
        DWORD read = 0;
        if ((SetFilePointer(file.get(), static_cast<LONG>(offset), &high, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
             GetLastError() != NO_ERROR) ||
            (size > 0 && !ReadFile(file.get(), bytes.data(), static_cast<DWORD>(size), &read, nullptr))) {
            return false;
        }
        bytes.resize(read);
        return true;
    }

    UniqueHandle file;
    mutable std::vector<uint8_t> page;
    mutable uint32_t pageOffset = 0;
};

uint16_t Word(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

uint32_t Dword(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<uint32_t>(Word(bytes, at)) | static_cast<uint32_t>(Word(bytes, at + 2)) << 16;
}

struct Section {
    uint32_t address;
    uint32_t size;
    uint32_t fileOffset;
};

// Reads a program file's resources by their addresses in the loaded image.
class ResourceReader {
public:
    explicit ResourceReader(const FileBytes& file) : file(file) {}

    // Finds the resource section through the file's headers.
    bool Open() {
        std::vector<uint8_t> bytes;
        if (!file.Read(0, 64, bytes) || Word(bytes, 0) != 0x5A4D) return false;  // "MZ"
        const uint32_t headers = Dword(bytes, 0x3C);
        if (!file.Read(headers, 24, bytes) || Dword(bytes, 0) != 0x4550) return false;  // "PE\0\0"
        const uint16_t sectionCount = Word(bytes, 6);
        const uint16_t optionalSize = Word(bytes, 20);
        if (sectionCount > kMostSections || !file.Read(headers + 24, optionalSize, bytes) || optionalSize < 2) {
            return false;
        }
        // PE32 and PE32+ place the data directories differently.
        const uint16_t magic = Word(bytes, 0);
        const size_t directories = magic == 0x20B ? 112 : magic == 0x10B ? 96 : 0;
        const size_t countAt = directories - 4;
        if (directories == 0 || optionalSize < directories + (kResourceDirectory + 1) * 8 ||
            Dword(bytes, countAt) <= kResourceDirectory) {
            return false;
        }
        resources = Dword(bytes, directories + kResourceDirectory * 8);
        if (resources == 0 || !file.Read(headers + 24 + optionalSize, sectionCount * size_t{40}, bytes)) return false;
        for (size_t at = 0; at < bytes.size(); at += 40) {
            // What the file holds of the section: its raw data.
            sections.push_back({Dword(bytes, at + 12), Dword(bytes, at + 16), Dword(bytes, at + 20)});
        }
        return true;
    }

    // The data of the first resource of that type (any name, any language).
    bool FirstOfType(uint32_t type, size_t largest, std::vector<uint8_t>& data) const {
        uint32_t entry = 0;
        if (!FindEntry(0, &type, entry) || (entry & kSubdirectory) == 0) return false;
        if (!FindEntry(entry & ~kSubdirectory, nullptr, entry) || (entry & kSubdirectory) == 0) return false;
        if (!FindEntry(entry & ~kSubdirectory, nullptr, entry) || (entry & kSubdirectory) != 0) return false;
        std::vector<uint8_t> record;
        if (!ReadAt(resources + entry, 8, record)) return false;
        const uint32_t size = Dword(record, 4);
        return size <= largest && ReadAt(Dword(record, 0), size, data);
    }

private:
    bool ReadAt(uint32_t address, size_t size, std::vector<uint8_t>& bytes) const {
        for (const Section& section : sections) {
            if (address >= section.address && address - section.address < section.size &&
                size <= section.size - (address - section.address)) {
                return file.Read(section.fileOffset + (address - section.address), size, bytes);
            }
        }
        return false;
    }

    // The offset of the directory entry with ID `id` (the first entry when
    // null) of the directory at `offset` in the resource section.
    bool FindEntry(uint32_t offset, const uint32_t* id, uint32_t& entry) const {
        std::vector<uint8_t> header;
        if (!ReadAt(resources + offset, 16, header)) return false;
        const size_t count = static_cast<size_t>(Word(header, 12)) + Word(header, 14);
        std::vector<uint8_t> entries;
        if (count == 0 || !ReadAt(resources + offset + 16, count * 8, entries)) return false;
        for (size_t at = 0; at < entries.size(); at += 8) {
            if (id == nullptr || Dword(entries, at) == *id) {
                entry = Dword(entries, at + 4);
                return true;
            }
        }
        return false;
    }

    const FileBytes& file;
    uint32_t resources = 0;
    std::vector<Section> sections;
};

// One block of a version resource: a key, a value and child blocks.
struct VersionBlock {
    size_t start = 0;
    size_t end = 0;  // past its last child
    std::wstring key;
    size_t value = 0;  // where its value starts
    uint16_t valueLength = 0;
    size_t children = 0;
};

size_t Aligned(size_t at) { return (at + 3) & ~size_t{3}; }

bool ReadBlock(const std::vector<uint8_t>& data, size_t at, size_t limit, VersionBlock& block) {
    if (at + 6 > limit) return false;
    const size_t length = Word(data, at);
    if (length < 6 || at + length > limit) return false;
    block.start = at;
    block.end = at + length;
    block.valueLength = Word(data, at + 2);
    block.key.clear();
    size_t cursor = at + 6;
    for (; cursor + 2 <= block.end && Word(data, cursor) != 0; cursor += 2) block.key += static_cast<wchar_t>(Word(data, cursor));
    block.value = Aligned(cursor + 2);
    const bool text = Word(data, at + 4) == 1;
    block.children = Aligned(block.value + block.valueLength * (text ? size_t{2} : size_t{1}));
    return block.value <= block.end;
}

// The child of `parent` with that key (any child when `key` is null).
bool FindChild(const std::vector<uint8_t>& data, const VersionBlock& parent, const wchar_t* key, VersionBlock& child) {
    for (size_t at = parent.children; at < parent.end; at = Aligned(child.end)) {
        if (!ReadBlock(data, at, parent.end, child)) return false;
        if (key == nullptr || _wcsicmp(child.key.c_str(), key) == 0) return true;
    }
    return false;
}

std::wstring TextValue(const std::vector<uint8_t>& data, const VersionBlock& block) {
    std::wstring text;
    for (size_t at = block.value; at + 2 <= block.end && at < block.value + block.valueLength * size_t{2}; at += 2) {
        const wchar_t character = static_cast<wchar_t>(Word(data, at));
        if (character == 0) break;
        text += character;
    }
    return text;
}

// The string table of the first language the resource lists, else its first.
bool FindStringTable(const std::vector<uint8_t>& data, const VersionBlock& root, VersionBlock& table) {
    VersionBlock strings;
    if (!FindChild(data, root, L"StringFileInfo", strings)) return false;
    VersionBlock variables;
    VersionBlock translation;
    if (FindChild(data, root, L"VarFileInfo", variables) && FindChild(data, variables, L"Translation", translation) &&
        translation.valueLength >= 4 && translation.value + 4 <= translation.end) {
        wchar_t name[16];
        std::swprintf(name, 16, L"%04x%04x", Word(data, translation.value), Word(data, translation.value + 2));
        if (FindChild(data, strings, name, table)) return true;
    }
    return FindChild(data, strings, nullptr, table);
}

}  // namespace

std::wstring FileCompanyName(const std::string& path) {
    const FileBytes file(path);
    ResourceReader resources(file);
    std::vector<uint8_t> data;
    if (!file || !resources.Open() || !resources.FirstOfType(kVersionType, kLargestVersion, data)) return std::wstring();
    VersionBlock root;
    VersionBlock table;
    VersionBlock company;
    if (!ReadBlock(data, 0, data.size(), root) || root.key != L"VS_VERSION_INFO" ||
        !FindStringTable(data, root, table) || !FindChild(data, table, L"CompanyName", company)) {
        return std::wstring();
    }
    return TextValue(data, company);
}
