// Finding the pictures of a collection: folders read in natural name order ("IMG_2" before
// "IMG_10"), optionally with their subfolders, and the files of a picture read whole.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qm::photos {

// Natural order: runs of digits compare by their value, other characters without regard to
// ASCII case; names equal that way compare byte by byte.
bool NaturalLess(std::string_view a, std::string_view b);

// The pictures in `folder` (by extension), in natural order, with those of its subfolders in
// their place among the names when `recursive`. Hidden entries (".name") are passed over;
// other files and special files are reported to `skipped` with a reason, one call each.
// Raises std::runtime_error naming the folder when it cannot be read.
std::vector<std::string> PicturesInFolder(
    const std::string& folder, bool recursive,
    const std::function<void(const std::string& path, const std::string& why)>& skipped);

// The first `upTo` bytes of a regular file (all of a shorter one), and its size in `fileSize`.
// Raises std::runtime_error with the reason ("not a regular file", the system's text) when it
// cannot be read.
std::vector<uint8_t> ReadPictureFile(const std::string& path, uint64_t up_to, uint64_t& file_size);

}  // namespace qm::photos
