#include "payload/temp_files.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/exception.h"
#include "platform/messages.h"
#include "platform/native_files.h"

namespace qm {

std::string GetTempPath() {
  return TemporaryDirectory();
}

namespace {
std::atomic<int> g_fixed_start{-1};
}

void SetTempFileNameStartForTesting(int number) {
  g_fixed_start = number;
}

std::unique_ptr<FileStream> CreateTempFile(const std::string& directory) {
  // Start from a number that differs between processes and calls, then walk the 16-bit space.
  static std::atomic<unsigned> counter{0};
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  unsigned start =
      static_cast<unsigned>(std::chrono::duration_cast<std::chrono::microseconds>(now).count()) ^
      ProcessId() ^ (counter++ * 7919u);
  if (const int fixed = g_fixed_start; fixed >= 0) start = static_cast<unsigned>(fixed) - 1;
  for (unsigned k = 0; k < 0xFFFF; ++k) {
    const unsigned number = (start + k) % 0xFFFF + 1;  // 1..FFFF, like the platform's names
    char name[16];
    std::snprintf(name, sizeof name, "~tm%X.tmp", number);
    if (auto file = FileStream::TryCreateNew(directory + name)) return file;
  }
  throw EFCreateError(FormatFileError(msg::kFileCreateError, directory + "~tm*.tmp", EEXIST));
}

std::string GetTempFileName(const std::string& directory) {
  return CreateTempFile(directory)->Path();
}

std::string GetTempFile() {
  return GetTempFileName(GetTempPath());
}

}  // namespace qm
