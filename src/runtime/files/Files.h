#pragma once
#include <stdint.h>

#include "../text/Text.h"

// Files addressed by small channel numbers, as the loader's procedures use
// them, plus the whole-file operations. Every failure raises Err with the
// system's code and the file's name, and returns false.
namespace Files {

constexpr int kChannelCount = 8;

// Creates the file, or empties an existing one, for writing.
bool OpenForOutput(int channel, const Text& path);
// Opens an existing file for reading raw bytes.
bool OpenForBinaryRead(int channel, const Text& path);

bool WriteFieldLine(int channel, const Text& value);
bool Length(int channel, unsigned long& length);
// Reads count bytes from the start of the file.
bool ReadFromStart(int channel, unsigned long count, Text& bytes);

// Closing a channel that is not open does nothing.
void Close(int channel);
void CloseAll();

// The attribute bits of a path; false, with nothing raised, when the query fails.
bool Attributes(const Text& path, unsigned long& attributes);
// The last-write time of an existing file that is not a folder; false, with
// nothing raised, otherwise.
bool FileWriteTime(const Text& path, uint64_t& time);
bool Delete(const Text& path);

}  // namespace Files
