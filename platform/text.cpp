#include "platform/text.h"

#include <windows.h>

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
