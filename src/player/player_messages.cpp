#include "player/player_messages.h"

#include <cstring>

namespace qm {

std::string FormatFileError(const char* format, const std::string& path, int error) {
  // The format holds exactly two "%s": the file name and the system's text for the error.
  std::string out;
  const char* args[2] = {path.c_str(), std::strerror(error)};
  int next = 0;
  for (const char* p = format; *p; ++p) {
    if (p[0] == '%' && p[1] == 's' && next < 2) {
      out += args[next++];
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

}  // namespace qm
