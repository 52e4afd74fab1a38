// Writes bitmaps as 24-bit RGB PNG files (the output of `quenmora decode` and `render`).
#pragma once

#include <cstdio>
#include <string>

#include "imaging/png_encoding.h"
#include "platform/bitmap.h"

namespace qm {

// Writes a non-empty bitmap to `out` as a PNG file: colour type 2, bit depth 8, not
// interlaced. Palette bitmaps are written through their palette (indices beyond it as black),
// 32-bit bitmaps without their fourth byte. The file is encoded row by row as it is written, so
// little memory is needed beyond the bitmap's own.
void WritePng24(const TBitmap& bitmap, ByteSink& out);

// The same into a new file at `path` (one there is replaced).
void WritePng24(const TBitmap& bitmap, const std::string& path);

// A file written from its start, created or truncated. Raises EFCreateError when it cannot be
// created and EWriteError when writing fails, each naming the file and the system's reason.
class FileSink final : public ByteSink {
 public:
  explicit FileSink(const std::string& path);
  ~FileSink() override;
  FileSink(const FileSink&) = delete;
  FileSink& operator=(const FileSink&) = delete;

  void Write(const uint8_t* data, std::size_t size) override;
  // Closes the file; raises when the system reports that writing failed.
  void Close();

 private:
  [[noreturn]] void Failed(int cause) const;

  std::string path_;
  std::FILE* file_;
};

}  // namespace qm
