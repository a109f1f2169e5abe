#pragma once

#include <string>

// The form under which the registry and the file system tell names apart:
// case is not significant. Two names are the same name when their keys are
// equal.
std::wstring NameKey(const std::string& name);

bool SameName(const std::string& first, const std::string& second);
