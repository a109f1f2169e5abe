#pragma once
// Whole-file reads and writes, for files small enough to be held in memory.

#include <cstddef>
#include <string>

// Reads the whole file into `bytes`. False, with `bytes` unspecified, when the
// file cannot be opened or read, or holds more than `largest` bytes. When
// `unreadable` is given, it tells whether the file is there but could not be
// opened for reading (another program holds it without sharing, or the user
// may not read it), as against missing or merely too large.
bool ReadWholeFile(const std::string& path, size_t largest, std::string& bytes, bool* unreadable = nullptr);

// Makes `bytes` the whole content of the file at `path`, which may exist. The
// bytes for an existing file go into a temporary file in the same folder
// first, which then takes the file's place: a failure leaves the old file or
// none, never part of the new one. A new file is written in place and
// deleted again when that fails; only a run ended while it writes can leave
// part of it, where nothing was before.
bool ReplaceWholeFile(const std::string& path, const std::string& bytes);

// True when a file can be made (and is deleted again) in `folder`, which ends
// in a backslash: the folder exists and the user may write into it.
bool MayCreateFilesIn(const std::string& folder);
