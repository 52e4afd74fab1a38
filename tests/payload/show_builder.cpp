#include "tests/payload/show_builder.h"

#include <dirent.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "platform/byte_order.h"

namespace qm::test {

Bytes InflatedPayload(const GalleryHeader& header, const std::vector<TestSlide>& slides) {
  Bytes out(kGalleryHeaderSize);
  EncodeGalleryHeader(header, *reinterpret_cast<uint8_t(*)[kGalleryHeaderSize]>(out.data()));
  for (const TestSlide& s : slides) {
    uint8_t head[kSlideRecordHeadSize];
    EncodeSlideRecordHead({static_cast<uint32_t>(s.data.size()), s.file_name, s.caption}, head);
    out.insert(out.end(), head, head + sizeof head);
    out.insert(out.end(), s.data.begin(), s.data.end());
  }
  return out;
}

Bytes Deflate(const Bytes& data, int level) {
  uLongf size = compressBound(data.size());
  Bytes out(size);
  if (compress2(out.data(), &size, data.data(), data.size(), level) != Z_OK)
    throw std::runtime_error("compress2 failed");
  out.resize(size);
  return out;
}

Bytes Presentation(const Bytes& player, const Bytes& stream, uint32_t inflated_size) {
  Bytes out = player;
  out.insert(out.end(), stream.begin(), stream.end());
  uint8_t tail[8];
  StoreLittleEndian32(tail, inflated_size);
  StoreLittleEndian32(tail + 4, static_cast<uint32_t>(player.size()));
  out.insert(out.end(), tail, tail + 8);
  return out;
}

Bytes SimplePresentation(GalleryHeader header, const std::vector<TestSlide>& slides,
                         const Bytes& player) {
  header.count = static_cast<int32_t>(slides.size());
  const Bytes inflated = InflatedPayload(header, slides);
  return Presentation(player, Deflate(inflated), static_cast<uint32_t>(inflated.size()));
}

Bytes Pattern(std::size_t size, uint32_t seed) {
  Bytes out(size);
  for (auto& b : out) {
    seed = seed * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(seed >> 24);
  }
  return out;
}

PrivateTempDir::PrivateTempDir() {
  const char* base = std::getenv("TMPDIR");
  had_tmpdir_ = base != nullptr;
  if (base) old_tmpdir_ = base;
  std::string templ = std::string(base && *base ? base : "/tmp") + "/qmtest.XXXXXX";
  if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
  path_ = templ;
  setenv("TMPDIR", path_.c_str(), 1);
}

PrivateTempDir::~PrivateTempDir() {
  if (had_tmpdir_)
    setenv("TMPDIR", old_tmpdir_.c_str(), 1);
  else
    unsetenv("TMPDIR");
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::vector<std::string> PrivateTempDir::Entries() const {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(path_))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace qm::test
