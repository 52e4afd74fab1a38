// Headless Chromium driven over its DevTools pipe: loads a page, waits for a script's promise
// to settle and takes a screenshot. Every wait is bounded; the browser runs under `timeout`.
#pragma once

#include <string>

namespace qm::test {

struct PageRun {
  bool ok = false;
  std::string value;       // what the promise resolved to, or why the run failed
  std::string screenshot;  // the PNG's bytes, when asked for
};

// Opens `url` in a fresh browser with the empty profile folder `profile`, evaluates
// `expression` (a promise) once the page has loaded, waits up to `seconds` for it, then takes a
// screenshot of `width` x `height`.
PageRun RunPage(const std::string& url, const std::string& expression, const std::string& profile,
                int width, int height, double seconds);

}  // namespace qm::test
