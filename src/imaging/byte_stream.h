// Reading of picture files: the whole file into memory, then a read position over those bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qm {

// Reads the whole file. Throws EFOpenError ("Datei %s kann nicht geöffnet werden. %s", with the
// C library's text for the error) when it cannot be opened or is a directory, and EReadError
// when reading fails part-way.
std::vector<uint8_t> ReadFileBytes(const std::string& path);

// The file's full path, as file error messages name it ("a.png" in /tmp: "/tmp/a.png").
std::string FullFileName(const std::string& path);

// A read position over bytes in memory. Reads never pass the end: they return what is left.
class TByteReader {
 public:
  explicit TByteReader(std::span<const uint8_t> bytes) : data_(bytes) {}

  std::size_t Size() const { return data_.size(); }
  std::size_t Position() const { return pos_; }
  std::size_t Remaining() const { return data_.size() - pos_; }

  // Copies up to `count` bytes and returns how many there were.
  std::size_t Read(void* dest, std::size_t count);
  // Copies exactly `count` bytes or throws EReadError ("Stream-Lesefehler").
  void ReadBuffer(void* dest, std::size_t count);
  // Moves the position on by `count` bytes, at most to the end.
  void Skip(uint64_t count);
  // Moves to an absolute position, at most to the end.
  void Seek(uint64_t position);
  // The bytes from the position on, without moving.
  const uint8_t* Current() const { return data_.data() + pos_; }

 private:
  std::span<const uint8_t> data_;
  std::size_t pos_ = 0;
};

}  // namespace qm
