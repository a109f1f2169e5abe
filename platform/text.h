#pragma once

#include <string>

// The form under which the registry and the file system tell names apart:
// case is not significant. Two names are the same name when their keys are
// equal.
std::wstring NameKey(const std::string& name);

bool SameName(const std::string& first, const std::string& second);

// Text in the program's 8-bit code page, widened for the wide calls.
std::wstring WideText(const std::string& text);

// Wide text in the program's 8-bit code page. False, with `text` holding what
// could be converted, when a character has no form there (it reads as "?").
bool NarrowText(const std::wstring& wide, std::string& text);
