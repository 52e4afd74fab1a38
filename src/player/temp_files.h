// Temporary files of start-up: the directory ($TMPDIR, else /tmp) and fresh names "~tmXXXX.tmp"
// (up to four hexadecimal digits), each created empty, exclusively and owner-only.
#pragma once

#include <string>

namespace qm {

// The temporary directory with a trailing "/".
std::string GetTempPath();

// Creates a new empty file "~tm<hex>.tmp" in `directory` (which ends in "/") and returns its
// full path. Never reuses or follows an existing name. Raises EFCreateError when all 65,535
// names are taken or the directory cannot be written.
std::string GetTempFileName(const std::string& directory);

// Tests only: makes every following GetTempFileName start its search at `number` (1..0xFFFF),
// so the names it draws are predictable; a negative value restores the varying start.
void SetTempFileNameStartForTesting(int number);

// GetTempFileName in GetTempPath().
std::string GetTempFile();

}  // namespace qm
