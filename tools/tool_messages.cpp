#include "tools/tool_messages.h"

#include <cstdio>
#include <new>

#include "platform/exception.h"

namespace qm::tool {

namespace {
const char* g_command = "";
}

void SetCommandName(const char* name) {
  g_command = name;
}

const char* CommandName() {
  return g_command;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "quenmora %s: %s\n", g_command, message.c_str());
  return 1;
}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "quenmora %s: %s\nsee 'quenmora %s --help'\n", g_command, message.c_str(),
               g_command);
  return 2;
}

std::string Describe(const std::exception& error) {
  if (dynamic_cast<const std::bad_alloc*>(&error) || dynamic_cast<const EOutOfMemory*>(&error))
    return "not enough memory";
  return error.what();
}

}  // namespace qm::tool
