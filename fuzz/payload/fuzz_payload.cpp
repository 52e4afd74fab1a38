// Fuzzes start-up extraction and the payload reader of `quenmora info` with hostile
// presentations. The first input byte picks the shape of the rest:
//   even: the rest is an inflated payload; it is deflated and framed correctly, which lets
//         the fuzzer reach the header and record parsing;
//   odd:  the rest is the presentation file itself, trailer and zlib stream included.
// Every run works in a private temporary directory and checks that nothing is written
// outside it and that the end of the show leaves nothing in it.
#include <dirent.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "payload/extraction.h"
#include "payload/payload_format.h"
#include "payload/payload_reader.h"
#include "payload/run_files.h"
#include "platform/byte_order.h"

namespace {

// The run's directories go under TMPDIR as it was at start (a memory file system makes the
// many small files cheap), else under /tmp; they are removed when the run ends.
std::string MakeDir(const char* name) {
  static const std::string base = [] {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp");
  }();
  std::string templ = base + "/" + name + ".XXXXXX";
  if (!mkdtemp(templ.data())) std::abort();
  static std::vector<std::string> made;
  if (made.empty())
    std::atexit([] {
      std::error_code ignored;
      for (const std::string& dir : made) std::filesystem::remove_all(dir, ignored);
    });
  made.push_back(templ);
  return templ;
}

const std::string& WorkDir() {
  static const std::string dir = MakeDir("qmfuzz-work");
  return dir;
}
const std::string& TempDir() {
  static const std::string dir = [] {
    std::string d = MakeDir("qmfuzz-tmp");
    setenv("TMPDIR", d.c_str(), 1);
    return d;
  }();
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (1u << 20)) return 0;
  const std::string tmp = TempDir();
  const std::string exe = WorkDir() + "/show";
  std::vector<uint8_t> file;
  if (data[0] % 2 == 0) {
    uLongf bound = compressBound(size - 1);
    file.assign(16, 0x90);  // a small stand-in for the player
    const std::size_t start = file.size();
    file.resize(start + bound);
    if (compress2(file.data() + start, &bound, data + 1, size - 1, 1) != Z_OK) return 0;
    file.resize(start + bound + 8);
    qm::StoreLittleEndian32(file.data() + start + bound, static_cast<uint32_t>(size - 1));
    qm::StoreLittleEndian32(file.data() + start + bound + 4, static_cast<uint32_t>(start));
  } else {
    file.assign(data + 1, data + size);
  }
  FILE* f = std::fopen(exe.c_str(), "wb");
  if (!f) std::abort();
  std::fwrite(file.data(), 1, file.size(), f);
  std::fclose(f);

  try {
    (void)qm::ReadPayloadSummary(exe);
  } catch (const std::exception&) {
  }
  qm::PlayerState state;
  qm::DiscardingSettingsSink sink;
  (void)qm::RunStartupExtraction(exe, state, sink);

  // Everything start-up wrote is in the temporary directory, and it names only "~tm" files.
  for (const auto& entry : std::filesystem::directory_iterator(WorkDir())) {
    if (entry.path() != exe) std::abort();
  }
  for (const auto& entry : std::filesystem::directory_iterator(tmp)) {
    if (entry.path().filename().string().rfind("~tm", 0) != 0) std::abort();
  }
  // The end of the show removes every one of them: none was left out of the run's list. The
  // list is emptied too, so each run frees what it allocated and the fuzzer's leak check,
  // which scans the whole heap after any run that does not, stays idle.
  qm::RemoveRunFiles();
  if (!std::filesystem::is_empty(tmp)) std::abort();
  return 0;
}
