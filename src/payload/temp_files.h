// Temporary files of start-up: the directory (the user's temporary directory) and fresh names
// "~tmXXXX.tmp" (up to four hexadecimal digits), each created empty, exclusively and owner-only.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "payload/file_stream.h"

namespace qm {

// The longest name GetTempFileName draws: "~tmFFFF.tmp".
inline constexpr std::size_t kTempFileNameMaxLength = 11;

// The temporary directory with a trailing separator.
std::string GetTempPath();

// Creates a new empty file "~tm<hex>.tmp" in `directory` (which ends in a separator) and returns it
// open for reading and writing; Path() is its full path. Never reuses or follows an existing
// name. Raises EFCreateError when all 65,535 names are taken or the directory cannot be
// written. The file must be written and read only through the stream returned: in a directory
// that others may write, the name can be swapped for a link as soon as it exists.
std::unique_ptr<FileStream> CreateTempFile(const std::string& directory);

// CreateTempFile, closing the file at once: returns its full path.
std::string GetTempFileName(const std::string& directory);

// Tests only: makes every following GetTempFileName start its search at `number` (1..0xFFFF),
// so the names it draws are predictable; a negative value restores the varying start.
void SetTempFileNameStartForTesting(int number);

// GetTempFileName in GetTempPath().
std::string GetTempFile();

}  // namespace qm
