// The player's error boxes: modal, on top, with the error icon and one "OK" button. The
// fatal-error box shows an exception that escapes program start before the message loop.
#pragma once

#include <exception>
#include <string>

class QWidget;

namespace qm {

// Shows an error box with `title` and `text` over `parent` (or none) and waits for it.
void ShowErrorBox(const std::string& title, const std::string& text, QWidget* parent = nullptr);

// "Exception <class> in Modul <module> bei <address>." and, on the next line, the message.
std::string FatalErrorText(const std::exception& e, const std::string& module, const void* address);

// Shows the box titled "Anwendungsfehler" with the error icon and waits for it to be closed.
void ShowFatalErrorBox(const std::exception& e);

}  // namespace qm
