#pragma once
// What a file's version resource says of it.

#include <string>

// The CompanyName of the program file's version resource, in the first
// language the resource lists; empty when the file is missing, is no program
// file (PE), or has no such text.
std::wstring FileCompanyName(const std::string& path);
