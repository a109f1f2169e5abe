#include "platform/text.h"

#include <windows.h>

#include <limits>

std::wstring NameKey(const std::string& name) {
    if (name.empty()) return std::wstring();
    const int size = static_cast<int>(name.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, name.data(), size, nullptr, 0);
    if (length <= 0) return std::wstring(name.begin(), name.end());
    std::wstring key(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, name.data(), size, &key[0], length);
    CharUpperBuffW(&key[0], static_cast<DWORD>(length));
    return key;
}

bool SameName(const std::string& first, const std::string& second) {
    return first == second || NameKey(first) == NameKey(second);
}

std::wstring WideText(const std::string& text) {
    if (text.empty() || text.size() > static_cast<size_t>(std::numeric_limits<int>::max())) return std::wstring();
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), size, &wide[0], length);
    return wide;
}

bool NarrowText(const std::wstring& wide, std::string& text) {
    text.clear();
    if (wide.empty()) return true;
    if (wide.size() > static_cast<size_t>(std::numeric_limits<int>::max())) return false;
    const int size = static_cast<int>(wide.size());
    const int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return false;
    text.assign(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), size, &text[0], length, nullptr, nullptr);
    // The code page's best fit may stand in for a character without a
    // form; only a conversion that reads back as it was is the same text.
    return WideText(text) == wide;
}
