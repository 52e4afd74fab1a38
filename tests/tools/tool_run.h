// Running the `quenmora` tool from tests, and reading back what it writes.
#pragma once

#include <string>
#include <vector>

#include "platform/bitmap.h"

namespace qm::test {

struct RunResult {
  int status;       // exit code, -1 when the command did not end normally
  std::string out;  // standard output and error together
};

// Runs a shell command line.
RunResult Shell(const std::string& command);

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

// A PNG file decoded by the player's decoder, as 24 bits per pixel.
TBitmap DecodePng(const std::string& path);

}  // namespace qm::test
