// The files a run of the player creates in the temporary directory, and their removal when the
// show ends: at a normal end through RemoveRunFiles, and on SIGINT, SIGTERM or SIGHUP from a
// signal handler that unlinks the recorded names and then lets the signal end the program.
//
// The list is only ever changed (appended to, an entry blanked, emptied by RemoveRunFiles) on
// the main thread, with the three signals held back on that thread for the moment between
// creating a file and recording it. The player holds the signals back on every other thread
// from the start (RunFilesCleanup, before the framework starts threads of its own), so while
// the list changes no handler can read it. Files are removed by the names recorded, never by a
// pattern: another run's files, or anything else in the directory, stay.
#pragma once

#ifndef _WIN32
#include <signal.h>
#endif

#include <cstddef>
#include <cstdint>
#include <string>

namespace qm {

// The most slides a payload may hold: each slide draws one temporary name, the two copies one
// each, and there are 0xFFFF names ("~tm1.tmp" to "~tmFFFF.tmp").
inline constexpr int64_t kMaxSlidesForTempNames = 0xFFFF - 2;

// Holds SIGINT, SIGTERM and SIGHUP back on the calling thread while it lives; a signal that
// arrives meanwhile is taken when it ends. (Windows has no such signals: nothing to hold.)
class ShowEndSignalsHeld {
 public:
  ShowEndSignalsHeld();
  ~ShowEndSignalsHeld();
  ShowEndSignalsHeld(const ShowEndSignalsHeld&) = delete;
  ShowEndSignalsHeld& operator=(const ShowEndSignalsHeld&) = delete;

 private:
#ifndef _WIN32
  sigset_t previous_;
#endif
};

// Makes room for `count` more entries, so that recording them never moves the list.
void ReserveRunFiles(std::size_t count);
// Records `path`, a file this run has just created. Call within ShowEndSignalsHeld.
void RecordRunFile(const std::string& path);
// Removes a recorded file now and forgets it. Call within ShowEndSignalsHeld.
void RemoveRunFile(const std::string& path);
// How many recorded files are not yet removed.
std::size_t RunFileCount();
// Removes every recorded file that is not yet removed and empties the list. If a signal came
// while it ran, the signal then ends the program.
void RemoveRunFiles();

// Lets the calling thread take SIGINT, SIGTERM and SIGHUP again (start-up extraction calls it
// on the main thread once the framework's threads exist).
void AcceptShowEndSignals();

// The whole run of the player: installs the handlers (leaving a signal the player was started
// with ignored, as under nohup, ignored) and holds the signals back on the calling thread, so
// every thread started from now on has them held; removes the run's files when it goes.
// Create it first thing in main. On Windows only the removal at the end.
class RunFilesCleanup {
 public:
  RunFilesCleanup();
  ~RunFilesCleanup();
  RunFilesCleanup(const RunFilesCleanup&) = delete;
  RunFilesCleanup& operator=(const RunFilesCleanup&) = delete;
};

}  // namespace qm
