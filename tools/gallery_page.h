// The gallery's page, index.html: the styles grouped by family, each as its looping preview,
// with a search box, and a large view of one that gives its 'quenmora pack --style' option. The
// page is self-contained: a browser opens it from disk and fetches nothing.
#pragma once

#include <string>

namespace qm::tool {

// The page for previews of w x h made at `step`.
std::string BuildPage(int w, int h, int step);

}  // namespace qm::tool
