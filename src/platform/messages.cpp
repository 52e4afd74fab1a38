#include "platform/messages.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace qm {

MessageField::MessageField(const void* address) {
  char text[32];
  std::snprintf(text, sizeof text, "%016" PRIX64,
                static_cast<uint64_t>(reinterpret_cast<uintptr_t>(address)));
  text_ = text;
}

std::string FormatMessage(const char* format, std::initializer_list<MessageField> fields) {
  std::string out;
  auto next = fields.begin();
  for (const char* p = format; *p; ++p) {
    if (p[0] == '%' && (p[1] == 's' || p[1] == 'd' || p[1] == 'p') && next != fields.end()) {
      out += (next++)->Text();
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

std::string FormatFileError(const char* format, const std::string& path, int error) {
  return FormatMessage(format, {path, std::strerror(error)});
}

std::string ErrorBoxText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
  return message;
}

}  // namespace qm
