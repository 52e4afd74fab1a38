#include "player/error_boxes.h"

#include <cstdint>
#include <cstdio>

#include "platform/exception.h"
#include "player/extraction.h"
#include "player/player_messages.h"
#include "player/player_window.h"

namespace qm {

std::string FatalErrorText(const std::exception& e, const std::string& module,
                           const void* address) {
  const auto* own = dynamic_cast<const Exception*>(&e);
  const std::string className = own ? own->ClassName() : "Exception";
  char where[32];
  std::snprintf(where, sizeof where, "%016llX",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(address)));
  return FillFormat(kFatalErrorFormat, {className, module, where}) + "\n" + e.what();
}

void ShowFatalErrorBox(PlayerWindow& window, const std::exception& e) {
  const std::string module = FileNamePart(OwnExecutablePath());
  const void* address = reinterpret_cast<const void*>(&ShowFatalErrorBox);
  window.MessageBox(kFatalErrorCaption, FatalErrorText(e, module, address));
}

}  // namespace qm
