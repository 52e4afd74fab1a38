// Start-up extraction in a temporary directory that everybody may write and that has no sticky
// bit, while another party swaps every new name there for a link to a file of its choice.
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "payload/extraction.h"
#include "tests/payload/show_builder.h"

namespace qm {
namespace {

// Watches `directory` and replaces each new "~tm" name, as soon as it appears, by a link to
// `target` (renamed over it, as another user of the directory could).
class LinkSwapper {
 public:
  LinkSwapper(const std::string& directory, const std::string& target)
      : directory_(directory), target_(target), fd_(inotify_init1(IN_CLOEXEC)) {
    if (fd_ < 0 || inotify_add_watch(fd_, directory.c_str(), IN_CREATE) < 0)
      throw std::runtime_error("inotify unavailable");
    thread_ = std::thread([this] { Run(); });
  }
  ~LinkSwapper() {
    test::WriteFile(directory_ + "/" + kStop, {});  // wakes the watcher, which then ends
    thread_.join();
    close(fd_);
  }
  int Swaps() const { return swaps_; }

 private:
  static constexpr char kStop[] = ".stop";

  void Run() {
    alignas(inotify_event) char buffer[4096];
    int links = 0;
    for (;;) {
      const ssize_t n = read(fd_, buffer, sizeof buffer);
      if (n <= 0) return;
      for (ssize_t at = 0; at < n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        const std::string name = event->len ? event->name : "";
        if (name == kStop) return;
        if (name.rfind("~tm", 0) != 0) continue;
        const std::string link = directory_ + "/.link" + std::to_string(links++);
        if (symlink(target_.c_str(), link.c_str()) == 0 &&
            rename(link.c_str(), (directory_ + "/" + name).c_str()) == 0)
          ++swaps_;
      }
    }
  }

  std::string directory_, target_;
  int fd_;
  std::atomic<int> swaps_{0};
  std::thread thread_;
};

TEST(ExtractionUnderLinkSwaps, WritesOnlyThroughItsOwnDescriptors) {
  test::PrivateTempDir outside;  // the show and the other user's target
  const std::string exe = outside.Path() + "/show.bin";
  const std::string victim = outside.Path() + "/victim";
  const test::Bytes kept = {'k', 'e', 'p', 't'};
  test::WriteFile(victim, kept);
  std::vector<test::TestSlide> slides;
  for (int k = 0; k < 4; ++k) {
    // Appended piece by piece: "p" + to_string(k) makes GCC 12 warn about an overlapping copy
    // at -O3.
    std::string name = "p";
    name += std::to_string(k);
    name += ".jpg";
    slides.push_back({name, "", test::Pattern(400000, k)});
  }
  test::WriteFile(exe, test::SimplePresentation({}, slides));

  test::PrivateTempDir shared;
  ASSERT_EQ(chmod(shared.Path().c_str(), 0777), 0);  // world-writable, no sticky bit
  int swaps = 0;
  {
    LinkSwapper swapper(shared.Path(), victim);
    for (int run = 0; run < 10; ++run) {
      PlayerState state;
      DiscardingSettingsSink sink;
      std::string error;
      EXPECT_TRUE(RunStartupExtraction(exe, state, sink, &error)) << error;
      EXPECT_EQ(state.slides.size(), slides.size());
    }
    swaps = swapper.Swaps();
  }
  EXPECT_GT(swaps, 0);
  EXPECT_EQ(test::ReadFile(victim), kept);
}

}  // namespace
}  // namespace qm
