// `quenmora gallery`: the page in a real browser (headless Chromium), the files it shows, and
// the refusals that must leave nothing behind.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "picshow/style_catalogue.h"
#include "tests/imaging/test_pictures.h"
#include "tool_run.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

// Runs in a copy of index.html in the gallery's folder once everything has loaded, and writes
// what it finds as "key=value" lines into <pre id="qm-check">.
constexpr const char kCheckScript[] = R"js(
<script>
window.addEventListener("load", () => {
  const out = [];
  const folder = location.href.slice(0, location.href.lastIndexOf("/") + 1);
  const previews = Array.from(document.images).filter(
      (i) => (i.getAttribute("src") || "").startsWith("styles/"));
  out.push("previews=" + previews.length);
  out.push("decoded=" + previews.filter((i) => i.complete && i.naturalWidth > 0).length);
  out.push("sizes=" + Array.from(new Set(previews.map(
      (i) => i.naturalWidth + "x" + i.naturalHeight))).join(","));

  // Every address the page refers to, in elements and in its style sheets, lies in its folder;
  // the browser lists every network fetch of the page in its resource timing.
  const refs = [];
  for (const e of document.querySelectorAll("[src],[href]")) {
    refs.push(new URL(e.getAttribute("src") || e.getAttribute("href"), location.href).href);
  }
  for (const sheet of document.styleSheets) {
    for (const rule of sheet.cssRules) {
      for (const m of rule.cssText.matchAll(/url\(["']?([^"')]*)/g)) {
        refs.push(new URL(m[1], location.href).href);
      }
    }
  }
  out.push("outside=" + refs.filter((u) => !u.startsWith(folder)).join(" "));
  out.push("fetched=" + performance.getEntriesByType("resource").map((e) => e.name).join(" "));

  const figures = Array.from(document.querySelectorAll("figure[data-style]"));
  out.push("families=" + figures.map((f) =>
      f.dataset.style + ":" + f.closest("section").querySelector("h2").textContent).join("|"));
  const search = document.getElementById("search");
  for (const q of QUERIES) {
    search.value = q;
    search.dispatchEvent(new Event("input", {bubbles: true}));
    const shown = figures.filter((f) => f.getClientRects().length > 0);
    const sections = Array.from(document.querySelectorAll("section"))
        .filter((s) => s.getClientRects().length > 0);
    out.push("query " + q + "=" + shown.map((f) => Number(f.dataset.style)).sort((a, b) => a - b)
             .join(",") +
             " sections " + sections.length);
  }
  search.value = "";
  search.dispatchEvent(new Event("input", {bubbles: true}));
  document.querySelector('figure[data-style="84"]').click();
  out.push("dialog=" + document.getElementById("large").open + " " +
           document.getElementById("option").textContent + " " +
           document.getElementById("large-image").getAttribute("src"));

  const pre = document.createElement("pre");
  pre.id = "qm-check";
  pre.textContent = "\n" + out.join("\n") + "\n";
  document.body.appendChild(pre);
});
</script>
)js";

const char* const kQueries[] = {"fade", "12", "Pivot", "SWEEP", "zzz", ""};

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// What the search box must show for `query`: styles whose number starts with it or whose name
// holds it, letter case ignored.
std::string ExpectedMatches(const std::string& query, int* families) {
  std::string list;
  std::set<const TEffectFamily*> seen;
  for (int style = 1; style <= kMaxStyle; ++style) {
    const std::string number = std::to_string(style);
    if (number.rfind(Lower(query), 0) != 0 &&
        Lower(StyleName(style)).find(Lower(query)) == std::string::npos)
      continue;
    if (!list.empty()) list += ',';
    list += number;
    seen.insert(kEffectTable[style - 1].Recipe.Family);
  }
  *families = static_cast<int>(seen.size());
  return list;
}

// The value of "key=value" in the checker's output.
std::string Value(const std::string& report, const std::string& key) {
  const std::size_t at = report.find("\n" + key + "=");
  if (at == std::string::npos) return "<missing " + key + ">";
  const std::size_t start = at + key.size() + 2;
  return report.substr(start, report.find('\n', start) - start);
}

std::string Chromium(const std::string& profile, const std::string& args) {
  return "timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic "
         "--no-first-run --disable-background-networking --disable-component-update "
         "--disable-sync --user-data-dir=" +
         profile + " " + args;
}

class Gallery : public ::testing::Test {
 protected:
  static constexpr int kW = 48, kH = 27;

  static void SetUpTestSuite() {
    folder_ = new test::TempFolder;
    made_ = test::Quenmora("gallery -o " + Dir() + " --size 48x27 --step 50");
  }
  static void TearDownTestSuite() {
    delete folder_;
    folder_ = nullptr;
  }
  static std::string Dir() { return folder_->Path() + "/gallery"; }

  void SetUp() override {
    ASSERT_EQ(made_.status, 0) << made_.out;
    ASSERT_EQ(test::Shell("command -v chromium").status, 0)
        << "the browser test needs Debian's chromium (scripts/install-deps.sh installs it)";
  }

  static test::TempFolder* folder_;
  static test::RunResult made_;
};
test::TempFolder* Gallery::folder_ = nullptr;
test::RunResult Gallery::made_;

// Loads the page with the checker appended, plus `extra` markup in its header, in headless
// Chromium and returns the checker's report.
std::string CheckPage(const std::string& dir, const std::string& profile,
                      const std::string& extra) {
  std::string page;
  {
    const std::vector<uint8_t> bytes = test::ReadBytes(dir + "/index.html");
    page.assign(bytes.begin(), bytes.end());
  }
  std::string queries = "const QUERIES = [";
  for (const char* q : kQueries) queries += std::string("\"") + q + "\",";
  std::string script = kCheckScript;
  script.replace(script.find("<script>") + 8, 0, "\n" + queries + "];");
  page.replace(page.rfind("</body>"), 0, script);
  page.replace(page.find("</header>"), 0, extra);
  // The checker runs in a copy of the page beside it, so that the page keeps its folder.
  test::WriteFile(dir + "/check.html", test::Bytes(page.begin(), page.end()));
  const test::RunResult r =
      test::Shell(Chromium(profile, "--dump-dom file://" + dir + "/check.html") + " 2>/dev/null");
  fs::remove(dir + "/check.html");
  const std::size_t pre = r.out.find("<pre id=\"qm-check\">");
  return pre == std::string::npos ? "no report: " + r.out.substr(0, 2000) : r.out.substr(pre);
}

TEST_F(Gallery, PageInChromiumShowsEveryPreviewSearchesAndFetchesNothingElse) {
  const std::string report = CheckPage(Dir(), folder_->Path() + "/profile", "");
  ASSERT_EQ(report.rfind("<pre", 0), 0u) << report;
  EXPECT_EQ(Value(report, "previews"), "150");
  EXPECT_EQ(Value(report, "decoded"), "150");
  EXPECT_EQ(Value(report, "sizes"), "48x27");
  EXPECT_EQ(Value(report, "outside"), "");
  EXPECT_EQ(Value(report, "fetched"), "");
  std::string families;
  for (int style = 1; style <= kMaxStyle; ++style) {
    if (style > 1) families += '|';
    families += std::to_string(style) + ":";
    families += kEffectTable[style - 1].Recipe.Family->Name;
  }
  // The page lists the styles family by family; compare them in style order.
  std::map<int, std::string> shown;
  std::string list = Value(report, "families");
  for (std::size_t at = 0; at < list.size();) {
    const std::size_t end = std::min(list.find('|', at), list.size());
    const std::string item = list.substr(at, end - at);
    shown[std::stoi(item)] = item;
    at = end + 1;
  }
  std::string in_order;
  for (const auto& [style, item] : shown) {
    if (!in_order.empty()) in_order += '|';
    in_order += item;
  }
  EXPECT_EQ(in_order, families);

  for (const char* q : kQueries) {
    int sections = 0;
    const std::string want = ExpectedMatches(q, &sections);
    EXPECT_EQ(Value(report, std::string("query ") + q),
              want + " sections " + std::to_string(sections))
        << q;
  }
  EXPECT_EQ(Value(report, "dialog"), "true quenmora pack --style 84 styles/084.png");

  // The checker sees a reference out of the folder and a fetch from the network.
  const std::string spoiled =
      CheckPage(Dir(), folder_->Path() + "/profile",
                "<img src=\"../outside.png\"><img src=\"http://127.0.0.1:9/x.png\">");
  EXPECT_NE(Value(spoiled, "outside").find("/outside.png"), std::string::npos) << spoiled;
  EXPECT_NE(Value(spoiled, "fetched").find("127.0.0.1"), std::string::npos) << spoiled;
}

TEST_F(Gallery, ScreenshotOfThePageIsKeptAsATestArtefact) {
  fs::create_directories(QM_ARTIFACT_DIR);
  const std::string shot = std::string(QM_ARTIFACT_DIR) + "/gallery-page.png";
  fs::remove(shot);
  const test::RunResult r = test::Shell(
      Chromium(folder_->Path() + "/profile-shot", "--window-size=1280,1600 --screenshot=" + shot +
                                                      " file://" + Dir() + "/index.html") +
      " 2>/dev/null");
  ASSERT_TRUE(fs::exists(shot)) << r.out;
  const TBitmap b = test::DecodePng(shot);
  EXPECT_EQ(b.Width(), 1280);
  EXPECT_EQ(b.Height(), 1600);
}

TEST_F(Gallery, FilesAndARunOverAnEarlierGallery) {
  for (int style = 1; style <= kMaxStyle; ++style) {
    char name[32];
    std::snprintf(name, sizeof name, "/styles/%03d.png", style);
    const TBitmap preview = test::DecodePng(Dir() + name);  // the default image: progress 0
    EXPECT_EQ(preview.Width(), kW) << name;
  }
  const TBitmap sheet = test::DecodePng(Dir() + "/sheet.png");
  EXPECT_GT(sheet.Width(), 10 * kW);
  EXPECT_GT(sheet.Height(), 15 * kH);
  // Every place in the page template is filled in.
  const std::vector<uint8_t> bytes = test::ReadBytes(Dir() + "/index.html");
  const std::string page(bytes.begin(), bytes.end());
  EXPECT_FALSE(std::regex_search(page, std::regex("%[A-Z]+%"))) << page.substr(0, 2000);
  EXPECT_NE(page.find("at step 50, as the player shows it"), std::string::npos);
  EXPECT_NE(page.find("<meta name=\"generator\" content=\"quenmora gallery\">"), std::string::npos);

  const test::RunResult again =
      test::Quenmora("gallery -o " + Dir() + " --size 40x30 --step 100 --jobs 3");
  ASSERT_EQ(again.status, 0) << again.out;
  EXPECT_EQ(test::DecodePng(Dir() + "/styles/150.png").Width(), 40);
  for (const auto& e : fs::directory_iterator(folder_->Path()))  // nothing left aside
    EXPECT_NE(e.path().filename().string()[0], '.') << e.path();
}

TEST(GalleryInterrupted, StopsItsWorkersAndLeavesNothingBehind) {
  test::TempFolder tmp;
  const std::string dir = tmp.Path();
  const std::string tool = std::string(QM_BIN_DIR) + "/quenmora";
  const std::string out = dir + "/g";
  char* const argv[] = {
      const_cast<char*>(tool.c_str()), const_cast<char*>("gallery"), const_cast<char*>("-o"),
      const_cast<char*>(out.c_str()),  const_cast<char*>("--size"),  const_cast<char*>("640x360"),
      const_cast<char*>("--jobs"),     const_cast<char*>("1"),       nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, tool.c_str(), nullptr, nullptr, argv, environ), 0);
  // Interrupt it once the first preview is written, while the others are being rendered.
  const auto give_up =
      std::chrono::steady_clock::now() + std::chrono::duration<double>(60 * test::TimeoutScale());
  bool rendering = false;
  while (!rendering && std::chrono::steady_clock::now() < give_up) {
    for (const auto& e : fs::directory_iterator(dir))
      rendering |= fs::exists(e.path() / "styles" / "001.png");
    if (!rendering) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (!rendering) test::WaitForExit(pid, 0);  // ends and reaps it
  ASSERT_TRUE(rendering);
  // To the tool alone, as a service manager or kill sends it: it ends within a second (the
  // limit allows for a loaded machine; without the mend it renders on for half a minute).
  ASSERT_EQ(kill(pid, SIGINT), 0);
  const std::optional<int> status = test::WaitForExit(pid, 3);
  ASSERT_TRUE(status.has_value()) << "still running seconds after the signal";
  EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGINT) << *status;
  EXPECT_TRUE(fs::is_empty(dir));
}

// Runs the gallery into `out`, whose folder `dir` gets `meanwhile` done to it once rendering
// has begun; returns what the tool said.
test::RunResult GalleryWhile(const std::string& dir, const std::string& out,
                             const std::function<void()>& meanwhile) {
  const std::string tool = std::string(QM_BIN_DIR) + "/quenmora";
  const std::vector<std::string> args = {tool,     "gallery", "-o",     out,
                                         "--size", "160x90",  "--jobs", "1"};
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return {-1, "pipe"};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDERR_FILENO);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[1]);
  if (spawned != 0) return {-1, "spawn"};
  const auto give_up =
      std::chrono::steady_clock::now() + std::chrono::duration<double>(60 * test::TimeoutScale());
  for (bool rendering = false; !rendering && std::chrono::steady_clock::now() < give_up;) {
    for (const auto& e : fs::directory_iterator(dir))
      rendering |= fs::exists(e.path() / "styles" / "001.png");
    if (!rendering) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  meanwhile();
  test::RunResult r{-1, ""};
  const std::optional<int> status = test::WaitForExit(pid, 60);
  if (status && WIFEXITED(*status)) r.status = WEXITSTATUS(*status);
  // What it said fits the pipe, which is read once it has ended.
  fcntl(pipe_fds[0], F_SETFL, O_NONBLOCK);
  char buffer[4096];
  for (ssize_t n; (n = read(pipe_fds[0], buffer, sizeof buffer)) > 0;) r.out.append(buffer, n);
  close(pipe_fds[0]);
  return r;
}

// A folder is replaced only when it holds nothing but the files an earlier run made, checked
// again at the moment of replacing: a user's file added to a gallery, or a folder that appears
// with a user's file while the gallery renders, is never deleted.
TEST(GalleryReplaces, OnlyAFolderHoldingNothingButItsOwnFiles) {
  test::TempFolder tmp;
  const std::string dir = tmp.Path(), out = dir + "/g";
  ASSERT_EQ(test::Quenmora("gallery -o " + out + " --size 16x9 --step 100").status, 0);
  test::WriteFile(out + "/styles/notes.txt", {'x'});
  test::RunResult r = test::Quenmora("gallery -o " + out + " --size 16x9 --step 100");
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find(out + "/styles/notes.txt, which is not a file of a gallery"),
            std::string::npos)
      << r.out;
  fs::remove(out + "/styles/notes.txt");
  r = test::Quenmora("gallery -o " + out + " --size 16x9 --step 100");
  EXPECT_EQ(r.status, 0) << r.out;

  const std::string later = dir + "/later";
  r = GalleryWhile(dir, later, [&] {
    fs::create_directory(later);
    test::WriteFile(later + "/letter.txt", {'x'});
  });
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find(later + "/letter.txt, which is not a file of a gallery"), std::string::npos)
      << r.out;
  std::set<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(later)) names.insert(e.path().string());
  EXPECT_EQ(names, std::set<std::string>{later + "/letter.txt"});
  for (const auto& e : fs::directory_iterator(dir))  // nothing left aside
    EXPECT_NE(e.path().filename().string()[0], '.') << e.path();
}

class GalleryRefuses : public ::testing::TestWithParam<test::RefusalRow> {};

TEST_P(GalleryRefuses, WithAClearMessageAndLeavesNothingBehind) {
  test::TempFolder tmp;
  const std::string dir = tmp.Path();
  test::WriteRefusalInputs(dir);
  test::WriteFile(dir + "/file", {'x'});
  fs::create_directory(dir + "/notes");
  fs::create_directory(dir + "/folder.png");
  test::WriteFile(dir + "/notes/todo.txt", {'x'});
  // Folders an earlier version took for galleries: a page with the generator's tag beside a
  // document, a link named index.html, a pipe named index.html (which would never open).
  for (const char* name : {"tagged", "linked", "piped"}) fs::create_directory(dir + "/" + name);
  const std::string tag = "<meta name=\"generator\" content=\"quenmora gallery\">";
  test::WriteFile(dir + "/tagged/index.html", test::Bytes(tag.begin(), tag.end()));
  test::WriteFile(dir + "/tagged/letter.txt", {'x'});
  test::WriteFile(dir + "/page.html", test::Bytes(tag.begin(), tag.end()));
  fs::create_symlink("../page.html", dir + "/linked/index.html");
  ASSERT_EQ(mkfifo((dir + "/piped/index.html").c_str(), 0600), 0);
  const auto listing = [&] {
    std::set<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(dir)) names.insert(e.path().string());
    return names;
  };
  const std::set<std::string> before = listing();
  const test::RunResult r =
      test::Shell("timeout 20 " + std::string(QM_BIN_DIR) + "/quenmora gallery --size 16x9 " +
                  test::InFolder(GetParam().args, dir));
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find(test::InFolder(GetParam().message, dir)), std::string::npos) << r.out;
  EXPECT_EQ(listing(), before);
}

INSTANTIATE_TEST_SUITE_P(
    BadInput, GalleryRefuses,
    ::testing::Values(test::RefusalRow{"-o @/g @/a.png @/b.png", "differ in size: 32x18 and 32x20"},
                      test::RefusalRow{"-o @/g @/a.png @/broken.png", "Portable Network Graphics"},
                      test::RefusalRow{"-o @/g @/a.png @/missing.png", "missing.png"},
                      test::RefusalRow{"-o @/g @/a.png @/folder.png", "not a regular file"},
                      test::RefusalRow{"-o @/file/g", "cannot create the gallery in"},
                      test::RefusalRow{"-o @/file", "exists and is not a folder"},
                      test::RefusalRow{"-o @/notes", "holds @/notes/todo.txt, which is not"},
                      test::RefusalRow{"-o @/tagged", "which is not a file of a gallery"},
                      test::RefusalRow{"-o @/linked", "holds @/linked/index.html, which is not"},
                      test::RefusalRow{"-o @/piped", "holds @/piped/index.html, which is not"},
                      test::RefusalRow{"-o .", "needs a folder of its own, not ."},
                      test::RefusalRow{"-o ..", "needs a folder of its own, not .."},
                      test::RefusalRow{"-o @/notes/..", "needs a folder of its own"}));

}  // namespace
}  // namespace qm
