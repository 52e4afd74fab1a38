// The gallery's folder: the files it consists of, the manifest that lists them, the checks that
// it may go where the user asks, and its move into place once it is complete. A later run
// replaces a folder only when it holds nothing but the files the manifest lists, so that no file
// of the user's is ever removed with it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace qm::tool {

// The name of style `style`'s preview in the styles folder: "007.png".
std::string StyleFileName(int style);

// Why the gallery cannot go to `dir`, or nothing.
std::optional<std::string> CheckDestination(const std::filesystem::path& dir);

// A fresh folder beside `dir`, hidden, named after it; `kind` ends in the XXXXXX mkdtemp fills.
std::optional<std::filesystem::path> MakeSiblingFolder(const std::filesystem::path& dir,
                                                       const char* kind);

// Writes the manifest of a complete gallery into `dir`.
void WriteManifest(const std::filesystem::path& dir);

// Moves the finished folder `built` to `dir`, replacing an empty folder or an earlier gallery
// there, checked again now: what came meanwhile is never replaced. `built_is_new` says whether
// `built` still names the new gallery, which the caller may then remove.
void Publish(const std::filesystem::path& built, const std::filesystem::path& dir,
             bool& built_is_new);

// The size of the files below `dir`, as "1.2 MB".
std::string Megabytes(const std::filesystem::path& dir);

// Writes `text` to the file `path`; raises ToolError when it cannot.
void WriteText(const std::string& text, const std::filesystem::path& path);

}  // namespace qm::tool
