// The fatal-error box: an exception that escapes program start before the message loop.
#pragma once

#include <exception>
#include <string>

namespace qm {

class PlayerWindow;

// "Exception <class> in Modul <module> bei <address>." and, on the next line, the message.
std::string FatalErrorText(const std::exception& e, const std::string& module, const void* address);

// Shows the box titled "Anwendungsfehler" with the error icon and waits for it to be closed.
void ShowFatalErrorBox(PlayerWindow& window, const std::exception& e);

}  // namespace qm
