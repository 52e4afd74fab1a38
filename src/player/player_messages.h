// The player's texts, byte-exact as the user sees them (UTF-8). Stream error texts are those
// of the runtime framework.
#pragma once

#include <initializer_list>
#include <string>

namespace qm {

inline constexpr char kApplicationTitle[] = "Quenmora Player";
inline constexpr char kMainWindowCaption[] = "Quenmora";
inline constexpr char kStartupErrorCaption[] = "Fehler";
inline constexpr char kStartupErrorText[] =
    "Dateiinhalt konnte nicht ausgelesen werden. Die Anwendung wird beendet.";
inline constexpr char kFatalErrorCaption[] = "Anwendungsfehler";
inline constexpr char kFatalErrorFormat[] = "Exception %s in Modul %s bei %p.";
inline constexpr char kOkButton[] = "OK";

inline constexpr char kMsgReadError[] = "Stream-Lesefehler";
inline constexpr char kMsgWriteError[] = "Stream-Schreibfehler";
inline constexpr char kMsgFileOpenError[] = "Datei %s kann nicht geöffnet werden. %s";
inline constexpr char kMsgFileCreateError[] = "Datei %s kann nicht erstellt werden. %s";

// Fills the "%s" and "%p" fields of a message format with `fields`, in order.
std::string FillFormat(const char* format, std::initializer_list<std::string> fields);

// Fills a file error text: the file name and the C library's text for the error number.
std::string FormatFileError(const char* format, const std::string& path, int error);

}  // namespace qm
