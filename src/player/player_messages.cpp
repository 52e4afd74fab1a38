#include "player/player_messages.h"

#include <cstring>

namespace qm {

std::string FillFormat(const char* format, std::initializer_list<std::string> fields) {
  std::string out;
  auto next = fields.begin();
  for (const char* p = format; *p; ++p) {
    if (p[0] == '%' && (p[1] == 's' || p[1] == 'p') && next != fields.end()) {
      out += *next++;
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

std::string FormatFileError(const char* format, const std::string& path, int error) {
  return FillFormat(format, {path, std::strerror(error)});
}

}  // namespace qm
