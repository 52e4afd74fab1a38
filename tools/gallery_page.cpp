#include "tools/gallery_page.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <string_view>
#include <vector>

#include "picshow/style_catalogue.h"
#include "tools/gallery_folder.h"

namespace qm::tool {

// The page with its %NAME% places to fill, from gallery_page.html, compiled in.
extern const char kGalleryPageTemplate[];

namespace {

// Names the program that made the page.
constexpr const char kGeneratorMark[] = "<meta name=\"generator\" content=\"quenmora gallery\">";

std::string Html(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

void ReplaceAll(std::string& text, const std::string& what, const std::string& with) {
  for (std::size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += with.size())
    text.replace(at, what.size(), with);
}

}  // namespace

// The styles grouped by family, the families in the order of their first style.
std::string BuildPage(int w, int h, int step) {
  std::vector<std::string> families;
  std::map<std::string, std::vector<int>> members;
  for (int style = 1; style <= kMaxStyle; ++style) {
    const TEffectFamily* family = kEffectTable[style - 1].Recipe.Family;
    const std::string name = family ? std::string(family->Name) : "plain cut";
    if (!members.count(name)) families.push_back(name);
    members[name].push_back(style);
  }
  std::string sections;
  for (const std::string& family : families) {
    sections += "<section>\n<h2>" + Html(family) + "</h2>\n<div class=\"styles\">\n";
    for (int style : members[family]) {
      std::string lower = StyleName(style);
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      const std::string number = std::to_string(style), name = Html(StyleName(style));
      sections += "<figure data-style=\"" + number + "\" data-name=\"" + Html(lower) +
                  "\" tabindex=\"0\"><img src=\"styles/" + StyleFileName(style) + "\" width=\"" +
                  std::to_string(w) + "\" height=\"" + std::to_string(h) + "\" alt=\"" + number +
                  " " + name + "\"><figcaption><b>" + number + "</b> " + name +
                  "</figcaption></figure>\n";
    }
    sections += "</div>\n</section>\n";
  }
  std::string page = kGalleryPageTemplate;
  ReplaceAll(page, "%GENERATOR%", kGeneratorMark);
  ReplaceAll(page, "%WIDTH%", std::to_string(std::clamp(w, 160, 256)));
  ReplaceAll(page, "%LARGE%", std::to_string(std::max(w, 960)));
  ReplaceAll(page, "%STEP%", std::to_string(step));
  ReplaceAll(page, "%SECTIONS%", sections);  // last: the styles' names are not looked into
  return page;
}

}  // namespace qm::tool
