// The tool's checks on the files it is given: it reads only regular files, since a device, a
// pipe or a directory would never end, block, or read as nothing.
#pragma once

#include <optional>
#include <string>

namespace qm::tool {

// Why `path` (following links) cannot be read as the `what` ("picture", "captions file", ...):
// "the picture /dev/zero is a character device, not a regular file". Nothing for a regular
// file, or for a path that cannot be looked up: its reader then names that error itself.
std::optional<std::string> NotARegularFile(const std::string& path, const std::string& what);

// Why `path` cannot be read as the `what`: it is not a regular file (above), or it cannot be
// opened: "cannot read the picture a.jpg: Permission denied". Nothing when it can.
std::optional<std::string> CannotRead(const std::string& path, const std::string& what);

}  // namespace qm::tool
