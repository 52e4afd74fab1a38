#include "tool_run.h"

#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "imaging/png_writer.h"
#include "imaging/slide_loader.h"
#include "tests/imaging/test_pictures.h"

namespace qm::test {

RunResult Quenmora(const std::string& args) {
  return Shell(std::string(QM_BIN_DIR) + "/quenmora " + args);
}

void WriteTestPicture(const std::string& path, int width, int height, uint32_t seed) {
  const Bytes rgb = PhotoLikeRgb(width, height, seed);
  TBitmap b(width, height, PixelFormat::pf24bit);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = b.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      const uint8_t* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
      row[3 * x] = p[2];
      row[3 * x + 1] = p[1];
      row[3 * x + 2] = p[0];
    }
  }
  WritePng24(b, path);
}

TempFolder::TempFolder() {
  const char* base = std::getenv("TMPDIR");
  std::string templ = std::string(base && *base ? base : "/tmp") + "/qmgallerytest.XXXXXX";
  if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
  path_ = templ;
}

TempFolder::~TempFolder() {
  std::error_code ec;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string InFolder(std::string text, const std::string& dir) {
  for (std::size_t at; (at = text.find('@')) != std::string::npos;) text.replace(at, 1, dir);
  return text;
}

void WriteRefusalInputs(const std::string& dir) {
  WriteTestPicture(dir + "/a.png", 32, 18, 1);
  WriteTestPicture(dir + "/b.png", 32, 20, 2);
  WriteFile(dir + "/broken.png", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A});
}

TBitmap DecodePng(const std::string& path) {
  std::optional<TBitmap> b = LoadSlidePicture(path, TSlideDecoder::sdPNG);
  if (!b) return {};
  b->ConvertTo(PixelFormat::pf24bit);
  return std::move(*b);
}

}  // namespace qm::test
