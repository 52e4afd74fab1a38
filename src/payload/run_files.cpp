#include "payload/run_files.h"

#ifndef _WIN32
#include <pthread.h>
#include <unistd.h>
#endif

#include <atomic>
#include <cerrno>
#include <vector>

#include "platform/native_files.h"

namespace qm {

namespace {

// The recorded names. Never freed, so a signal during the program's own end still finds them.
std::vector<std::string>* const g_files = new std::vector<std::string>();
// Entries [0, g_recorded) are valid; entries [0, g_removed) are removed already.
std::atomic<std::size_t> g_recorded{0};
std::atomic<std::size_t> g_removed{0};
// Set while one thread (a handler or RemoveRunFiles) unlinks the entries.
std::atomic<bool> g_removing{false};
#ifndef _WIN32
// The show-end signal that came, 0 while none did.
std::atomic<int> g_pending_signal{0};
#endif
static_assert(std::atomic<std::size_t>::is_always_lock_free &&
              std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

// Removes one recorded name. Async-signal-safe on Linux, where it is unlink alone.
void RemoveName(const std::string& path) {
#ifdef _WIN32
  int ignored = 0;
  RemoveFile(path, ignored);
#else
  ::unlink(path.c_str());
#endif
}

// Async-signal-safe: reads the list and removes names only.
void UnlinkRecorded() {
  const std::size_t recorded = g_recorded.load();
  for (std::size_t i = g_removed.load(); i < recorded; ++i)
    if (!(*g_files)[i].empty()) RemoveName((*g_files)[i]);
  g_removed.store(recorded);
}

#ifndef _WIN32
constexpr int kShowEndSignals[] = {SIGINT, SIGTERM, SIGHUP};

sigset_t ShowEndSignalSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : kShowEndSignals) sigaddset(&set, sig);
  return set;
}

// Async-signal-safe: the signal's own default action ends the program. The signal is held back
// while its handler runs, so it takes effect as the handler returns.
void EndBySignal(int sig) {
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

extern "C" void OnShowEndSignal(int sig) {
  const int saved_errno = errno;
  g_pending_signal.store(sig);
  // When another thread is removing the files, it ends the program once they are gone.
  if (!g_removing.exchange(true)) {
    UnlinkRecorded();
    EndBySignal(sig);
  }
  errno = saved_errno;
}
#endif

}  // namespace

#ifdef _WIN32
ShowEndSignalsHeld::ShowEndSignalsHeld() = default;
ShowEndSignalsHeld::~ShowEndSignalsHeld() = default;
#else
ShowEndSignalsHeld::ShowEndSignalsHeld() {
  const sigset_t set = ShowEndSignalSet();
  pthread_sigmask(SIG_BLOCK, &set, &previous_);
}

ShowEndSignalsHeld::~ShowEndSignalsHeld() {
  pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}
#endif

void ReserveRunFiles(std::size_t count) {
  ShowEndSignalsHeld held;
  g_files->reserve(g_files->size() + count);
}

void RecordRunFile(const std::string& path) {
  g_files->push_back(path);
  g_recorded.store(g_files->size());
}

void RemoveRunFile(const std::string& path) {
  for (std::size_t i = g_files->size(); i-- > g_removed.load();) {
    if ((*g_files)[i] != path) continue;
    RemoveName(path);
    (*g_files)[i].clear();  // an empty name unlinks nothing
    return;
  }
}

std::size_t RunFileCount() {
  std::size_t count = 0;
  for (std::size_t i = g_removed.load(); i < g_recorded.load(); ++i)
    count += !(*g_files)[i].empty();
  return count;
}

void RemoveRunFiles() {
  {
    ShowEndSignalsHeld held;
    // A handler on another thread is removing them: it ends the program when done.
    if (g_removing.exchange(true)) return;
    UnlinkRecorded();
    // The removed names are forgotten, so that runs one after the other in one process (the
    // tests, the fuzzer) do not keep every name of the earlier ones. No handler reads the list
    // while g_removing is set.
    g_files->clear();
    g_recorded.store(0);
    g_removed.store(0);
    g_removing.store(false);
  }
#ifndef _WIN32
  if (const int sig = g_pending_signal.load()) EndBySignal(sig);
#endif
}

void AcceptShowEndSignals() {
#ifndef _WIN32
  const sigset_t set = ShowEndSignalSet();
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
#endif
}

RunFilesCleanup::RunFilesCleanup() {
#ifndef _WIN32
  struct sigaction action {};
  action.sa_handler = OnShowEndSignal;
  action.sa_mask = ShowEndSignalSet();
  action.sa_flags = SA_RESTART;
  for (int sig : kShowEndSignals) {
    struct sigaction previous {};
    if (sigaction(sig, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    sigaction(sig, &action, nullptr);
  }
  const sigset_t set = ShowEndSignalSet();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
#endif
}

RunFilesCleanup::~RunFilesCleanup() {
  RemoveRunFiles();
}

}  // namespace qm
