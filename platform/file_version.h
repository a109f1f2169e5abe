#pragma once
// What a file's version resource says of it.

#include <string>

// The CompanyName of the file's version resource, in the first language the
// resource lists; empty when the file is missing or has no such text.
std::string FileCompanyName(const std::string& path);
