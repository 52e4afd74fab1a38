// Running the `quenmora` tool from tests, and reading back what it writes.
#pragma once

#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "tests/support/shell.h"

namespace qm::test {

// Runs the `quenmora` tool built beside the tests with `args` (shell syntax).
RunResult Quenmora(const std::string& args);

// A picture of width x height with smooth colours and some noise, written as a 24-bit PNG.
void WriteTestPicture(const std::string& path, int width, int height, uint32_t seed);

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it when the object goes.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

std::vector<uint8_t> ReadBytes(const std::string& path);

// A refusal, as a row of data: the command's arguments with "@" for the test's folder, and a
// part of the message the tool must give.
struct RefusalRow {
  const char* args;
  const char* message;
};

// `text` with every "@" replaced by `dir`.
std::string InFolder(std::string text, const std::string& dir);

// The inputs that refusal rows name, in `dir`: a.png (32x18) and b.png (32x20), pictures of
// different sizes, and broken.png, a PNG signature and nothing more.
void WriteRefusalInputs(const std::string& dir);

// A PNG file decoded by the player's decoder, as 24 bits per pixel.
TBitmap DecodePng(const std::string& path);

}  // namespace qm::test
