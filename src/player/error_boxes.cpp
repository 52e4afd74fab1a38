#include "player/error_boxes.h"

#include "payload/extraction.h"
#include "platform/exception.h"
#include "platform/messages.h"
#include "player/player_window.h"

namespace qm {

std::string FatalErrorText(const std::exception& e, const std::string& module,
                           const void* address) {
  const auto* own = dynamic_cast<const Exception*>(&e);
  const std::string class_name = own ? own->ClassName() : "Exception";
  return FormatMessage(msg::kFatalErrorFormat, {class_name, module, address}) + "\n" + e.what();
}

void ShowFatalErrorBox(PlayerWindow& window, const std::exception& e) {
  const std::string module = FileNamePart(OwnExecutablePath());
  const void* address = reinterpret_cast<const void*>(&ShowFatalErrorBox);
  window.MessageBox(msg::kFatalErrorCaption, FatalErrorText(e, module, address));
}

}  // namespace qm
