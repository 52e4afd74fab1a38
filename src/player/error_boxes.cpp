#include "player/error_boxes.h"

#include <QMessageBox>
#include <cstdint>
#include <cstdio>

#include "platform/exception.h"
#include "player/extraction.h"
#include "player/player_messages.h"

namespace qm {

void ShowErrorBox(const std::string& title, const std::string& text, QWidget* parent) {
  QMessageBox box(QMessageBox::Critical, QString::fromStdString(title),
                  QString::fromStdString(text), QMessageBox::NoButton, parent);
  box.addButton(QString::fromUtf8(kOkButton), QMessageBox::AcceptRole);
  box.setWindowFlag(Qt::WindowStaysOnTopHint);
  box.exec();
}

std::string FatalErrorText(const std::exception& e, const std::string& module,
                           const void* address) {
  const auto* own = dynamic_cast<const Exception*>(&e);
  const std::string className = own ? own->ClassName() : "Exception";
  char where[32];
  std::snprintf(where, sizeof where, "%016llX",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(address)));
  return FillFormat(kFatalErrorFormat, {className, module, where}) + "\n" + e.what();
}

void ShowFatalErrorBox(const std::exception& e) {
  const std::string module = FileNamePart(OwnExecutablePath());
  const void* address = reinterpret_cast<const void*>(&ShowFatalErrorBox);
  ShowErrorBox(kFatalErrorCaption, FatalErrorText(e, module, address));
}

}  // namespace qm
