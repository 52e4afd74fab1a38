#include "browser_pipe.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <vector>

namespace qm::test {

namespace {

using Clock = std::chrono::steady_clock;

// The browser with its DevTools pipe: it reads commands on its descriptor 3 and writes answers
// and events on 4, each a JSON text ended by a NUL byte.
class Browser {
 public:
  Browser(const std::string& profile, int width, int height, double seconds) {
    int to[2], from[2];
    if (pipe2(to, O_CLOEXEC) != 0) return;
    if (pipe2(from, O_CLOEXEC) != 0) return;
    const std::string limit = std::to_string(static_cast<int>(seconds) + 10);
    const std::string size =
        "--window-size=" + std::to_string(width) + "," + std::to_string(height);
    const std::string dir = "--user-data-dir=" + profile;
    std::vector<const char*> argv = {"timeout",
                                     "-k",
                                     "5",
                                     limit.c_str(),
                                     "chromium",
                                     "--headless",
                                     "--no-sandbox",
                                     "--disable-gpu",
                                     "--disable-quic",
                                     "--no-first-run",
                                     "--disable-background-networking",
                                     "--disable-component-update",
                                     "--disable-sync",
                                     "--autoplay-policy=no-user-gesture-required",
                                     "--hide-scrollbars",
                                     dir.c_str(),
                                     size.c_str(),
                                     "--remote-debugging-pipe",
                                     "about:blank",
                                     nullptr};
    pid_ = fork();
    if (pid_ == 0) {
      // Out of the way of 3 and 4 first, then onto them (dup2 leaves the copies inheritable).
      const int in = fcntl(to[0], F_DUPFD_CLOEXEC, 10), out = fcntl(from[1], F_DUPFD_CLOEXEC, 10);
      dup2(in, 3);
      dup2(out, 4);
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(null, 2);
      execvp(argv[0], const_cast<char* const*>(argv.data()));
      _exit(127);
    }
    close(to[0]);
    close(from[1]);
    to_ = to[1];
    from_ = from[0];
  }

  // `timeout` passes the signal on to the browser, and ends it for good 5 s later.
  ~Browser() {
    if (to_ >= 0) close(to_);
    if (from_ >= 0) close(from_);
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }

  // Sends a command and returns its answer, or "" when none came before `end`.
  std::string Call(const std::string& method, const std::string& params, Clock::time_point end,
                   const std::string& session = "") {
    const std::string id = std::to_string(++last_id_);
    std::string message = "{\"id\":" + id + ",";
    if (!session.empty()) message += "\"sessionId\":\"" + session + "\",";
    message += "\"method\":\"" + method + "\",\"params\":" + params + "}";
    message.push_back('\0');
    if (write(to_, message.data(), message.size()) != static_cast<ssize_t>(message.size()))
      return "";
    return Await("{\"id\":" + id + ",", end);
  }

  // The next message that contains `marker`, or "" when none came before `end`.
  std::string Await(const std::string& marker, Clock::time_point end) {
    for (;;) {
      for (std::size_t nul; (nul = buffer_.find('\0')) != std::string::npos;) {
        std::string message = buffer_.substr(0, nul);
        buffer_.erase(0, nul + 1);
        if (message.find(marker) != std::string::npos) return message;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
      pollfd p{from_, POLLIN, 0};
      if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) return "";
      char chunk[65536];
      const ssize_t n = read(from_, chunk, sizeof chunk);
      if (n <= 0) return "";
      buffer_.append(chunk, static_cast<std::size_t>(n));
    }
  }

 private:
  pid_t pid_ = -1;
  int to_ = -1, from_ = -1;
  int last_id_ = 0;
  std::string buffer_;
};

// The string value of "key":"..." in a JSON text, with its escapes undone (\uXXXX kept as is).
std::string StringField(const std::string& json, const std::string& key) {
  const std::string head = "\"" + key + "\":\"";
  std::size_t at = json.find(head);
  if (at == std::string::npos) return "";
  std::string value;
  for (at += head.size(); at < json.size() && json[at] != '"'; ++at) {
    if (json[at] == '\\' && at + 1 < json.size()) {
      const char c = json[++at];
      value += c == 'n' ? '\n' : c;
    } else {
      value += json[at];
    }
  }
  return value;
}

std::string Base64Decode(const std::string& text) {
  std::string out;
  uint32_t bits = 0;
  int count = 0;
  for (char c : text) {
    const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const char* at = std::strchr(digits, c);
    if (c == '\0' || !at) continue;
    bits = bits << 6 | static_cast<uint32_t>(at - digits);
    if ((count += 6) >= 8) {
      count -= 8;
      out += static_cast<char>((bits >> count) & 0xFF);
    }
  }
  return out;
}

}  // namespace

PageRun RunPage(const std::string& url, const std::string& expression, const std::string& profile,
                int width, int height, double seconds) {
  PageRun run;
  Browser browser(profile, width, height, seconds);
  const auto end = Clock::now() + std::chrono::milliseconds(static_cast<int>(seconds * 1000));
  const std::string target = StringField(
      browser.Call("Target.createTarget", "{\"url\":\"about:blank\"}", end), "targetId");
  const std::string session =
      StringField(browser.Call("Target.attachToTarget",
                               "{\"targetId\":\"" + target + "\",\"flatten\":true}", end),
                  "sessionId");
  if (session.empty()) {
    run.value = "no browser session (is Debian's chromium installed?)";
    return run;
  }
  browser.Call("Page.enable", "{}", end, session);
  browser.Call("Page.navigate", "{\"url\":\"" + url + "\"}", end, session);
  if (browser.Await("\"method\":\"Page.loadEventFired\"", end).empty()) {
    run.value = "the page did not load in time";
    return run;
  }
  std::string quoted;
  for (char c : expression) quoted += c == '"' ? std::string("\\\"") : std::string(1, c);
  const std::string answer = browser.Call(
      "Runtime.evaluate",
      "{\"expression\":\"" + quoted + "\",\"awaitPromise\":true,\"returnByValue\":true}", end,
      session);
  if (answer.empty()) {
    run.value = "no answer in time";
    return run;
  }
  run.value = StringField(answer, "value");
  run.ok = answer.find("\"exceptionDetails\"") == std::string::npos;
  if (!run.ok) run.value = answer.substr(0, 400);
  run.screenshot = Base64Decode(StringField(
      browser.Call("Page.captureScreenshot", "{\"format\":\"png\"}", end, session), "data"));
  browser.Call("Browser.close", "{}", Clock::now() + std::chrono::seconds(5));
  return run;
}

}  // namespace qm::test
