#include "photos/batch.h"

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "photos/picture_files.h"
#include "platform/exception.h"

namespace qm::photos {

namespace {

// Enough of a file to find the size and the EXIF orientation of a JPEG, PNG or BMP.
constexpr uint64_t kHeadBytes = 1 << 20;

bool EndsInBmp(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos) return false;
  std::string ext = path.substr(dot);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".bmp";
}

Outcome PrepareOne(const std::string& path, const PrepareOptions& options) {
  Outcome out;
  try {
    uint64_t size = 0;
    std::vector<uint8_t> file = ReadPictureFile(path, kHeadBytes, size);
    if (auto kept = KeptAsIs(ByteSpan(file.data(), file.size()), options)) {
      out.prepared = std::move(*kept);
      out.ok = true;
      return out;
    }
    // The player shows an empty bitmap file as an empty picture.
    if (size == 0 && EndsInBmp(path)) {
      out.prepared.format = Format::kBmp;
      out.prepared.kept_as_is = true;
      out.ok = true;
      return out;
    }
    if (size > options.memory_limit)
      throw PictureError("the file is " + std::to_string(size >> 20) +
                         " MiB, more than the limit of " +
                         std::to_string(options.memory_limit >> 20) + " MiB for one picture");
    if (size > file.size()) file = ReadPictureFile(path, size, size);
    out.prepared = PreparePicture(ByteSpan(file.data(), file.size()), options);
    out.ok = true;
  } catch (const std::bad_alloc&) {
    out.error = "not enough memory to prepare it";
  } catch (const std::exception& e) {
    out.error = e.what();
  }
  return out;
}

}  // namespace

void PrepareInOrder(const std::vector<std::string>& paths, const PrepareOptions& options, int jobs,
                    const std::function<bool(std::size_t, Outcome&&)>& take) {
  const std::size_t count = paths.size();
  const std::size_t window = 2 * static_cast<std::size_t>(std::max(jobs, 1));
  std::vector<std::optional<Outcome>> ready(count);
  std::mutex mutex;
  std::condition_variable changed;
  std::size_t started = 0, taken = 0;
  bool stop = false;

  const auto work = [&] {
    for (;;) {
      std::size_t k;
      {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return stop || started >= count || started < taken + window; });
        if (stop || started >= count) return;
        k = started++;
      }
      Outcome outcome = PrepareOne(paths[k], options);
      std::lock_guard lock(mutex);
      ready[k] = std::move(outcome);
      changed.notify_all();
    }
  };
  std::vector<std::thread> workers;
  const std::size_t threads =
      std::min<std::size_t>(static_cast<std::size_t>(std::max(jobs, 1)), count);
  for (std::size_t t = 0; t < threads; ++t) workers.emplace_back(work);

  for (std::size_t k = 0; k < count; ++k) {
    Outcome outcome;
    {
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return ready[k].has_value(); });
      outcome = std::move(*ready[k]);
      ready[k].reset();
      ++taken;
      changed.notify_all();
    }
    if (!take(k, std::move(outcome))) break;
  }
  {
    std::lock_guard lock(mutex);
    stop = true;
    changed.notify_all();
  }
  for (std::thread& t : workers) t.join();
}

}  // namespace qm::photos
