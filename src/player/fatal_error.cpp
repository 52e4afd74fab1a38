#include "player/fatal_error.h"

#include <QMessageBox>
#include <cstdint>
#include <cstdio>

#include "platform/exception.h"
#include "player/extraction.h"
#include "player/player_messages.h"

namespace qm {

std::string FatalErrorText(const std::exception& e, const std::string& module,
                           const void* address) {
  const auto* own = dynamic_cast<const Exception*>(&e);
  const std::string className = own ? own->ClassName() : "Exception";
  char where[32];
  std::snprintf(where, sizeof where, "%016llX",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(address)));
  std::string text;
  // The format's three fields in order: class name, module, address.
  const std::string format = kFatalErrorFormat;
  const std::string fields[3] = {className, module, where};
  int next = 0;
  for (std::size_t k = 0; k < format.size(); ++k) {
    if (format[k] == '%' && k + 1 < format.size() && next < 3 &&
        (format[k + 1] == 's' || format[k + 1] == 'p')) {
      text += fields[next++];
      ++k;
    } else {
      text += format[k];
    }
  }
  return text + "\n" + e.what();
}

void ShowFatalErrorBox(const std::exception& e) {
  std::string module = OwnExecutablePath();
  if (const auto slash = module.find_last_of('/'); slash != std::string::npos)
    module = module.substr(slash + 1);
  const void* address = reinterpret_cast<const void*>(&ShowFatalErrorBox);
  QMessageBox box(QMessageBox::Critical, kFatalErrorCaption,
                  QString::fromStdString(FatalErrorText(e, module, address)));
  box.addButton(QString::fromUtf8(kOkButton), QMessageBox::AcceptRole);
  box.setWindowFlag(Qt::WindowStaysOnTopHint);
  box.exec();
}

}  // namespace qm
