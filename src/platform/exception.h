// Exceptions of the system: every error travels as an exception of a named class that carries
// a message text. The class name is shown by the fatal-error box, the message by every box.
#pragma once

#include <stdexcept>
#include <string>

namespace qm {

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  // The class name as the user sees it in the fatal-error box ("EJPEG", "EPngError", ...).
  virtual const char* ClassName() const noexcept { return "Exception"; }
  std::string Message() const { return what(); }
};

// Declares an exception class `Name` derived from `Base` whose ClassName() is "Name".
#define QM_DECLARE_EXCEPTION(Name, Base)                              \
  class Name : public Base {                                          \
   public:                                                            \
    using Base::Base;                                                 \
    const char* ClassName() const noexcept override { return #Name; } \
  }

// Framework errors shared by several modules.
QM_DECLARE_EXCEPTION(EStreamError, Exception);
QM_DECLARE_EXCEPTION(EReadError, EStreamError);  // "Stream-Lesefehler"
QM_DECLARE_EXCEPTION(EWriteError, EStreamError);
QM_DECLARE_EXCEPTION(EFOpenError, EStreamError);  // "Datei %s kann nicht geöffnet werden. %s"
QM_DECLARE_EXCEPTION(EFCreateError, EStreamError);
QM_DECLARE_EXCEPTION(EInvalidGraphic, Exception);  // "Bitmap ist ungültig"
QM_DECLARE_EXCEPTION(EOutOfMemory, Exception);

}  // namespace qm
