#include "platform/file_version.h"

#include <windows.h>

#include <cstdio>
#include <vector>

namespace {

// The text `name` of the version resource's string table for one language
// and code page; empty when there is none.
std::string VersionText(const std::vector<char>& resource, unsigned language, unsigned codePage, const char* name) {
    char query[64];
    std::snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\%s", language, codePage, name);
    void* text = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(resource.data(), query, &text, &length) || text == nullptr || length == 0) return std::string();
    const char* characters = static_cast<const char*>(text);
    std::string value(characters, length);
    return value.substr(0, value.find('\0'));
}

}  // namespace

std::string FileCompanyName(const std::string& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return std::string();
    std::vector<char> resource(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, resource.data())) return std::string();
    struct Translation {
        WORD language;
        WORD codePage;
    };
    void* table = nullptr;
    UINT length = 0;
    if (VerQueryValueA(resource.data(), "\\VarFileInfo\\Translation", &table, &length) && table != nullptr &&
        length >= sizeof(Translation)) {
        const auto* first = static_cast<const Translation*>(table);
        return VersionText(resource, first->language, first->codePage, "CompanyName");
    }
    // Without a translation table, the string tables tools most often write.
    for (unsigned codePage : {1200u, 1252u}) {
        std::string company = VersionText(resource, 0x0409, codePage, "CompanyName");
        if (!company.empty()) return company;
    }
    return std::string();
}
