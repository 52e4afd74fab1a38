// Abandoning a decode that is no longer wanted. A thread that decodes on someone else's behalf
// (the player decodes the next slide ahead of its tick) names a stop flag for the time of the
// decode; the JPEG and PNG decoders look at it once per row and, when it is set, leave with
// EDecodeStopped, releasing what they hold as for any other error. Without a named flag the
// check costs one thread-local read.
#pragma once

#include <atomic>

#include "platform/exception.h"

namespace qm {

// The decode was abandoned: its result is not wanted. Never shown to the user.
QM_DECLARE_EXCEPTION(EDecodeStopped, Exception);

// While it lives, decoders on the calling thread stop when `stop` is set.
class DecodeStopScope {
 public:
  explicit DecodeStopScope(const std::atomic<bool>& stop);
  ~DecodeStopScope();
  DecodeStopScope(const DecodeStopScope&) = delete;
  DecodeStopScope& operator=(const DecodeStopScope&) = delete;

 private:
  const std::atomic<bool>* previous_;
};

// Raises EDecodeStopped when the calling thread's stop flag is set.
void ThrowIfDecodeStopped();

}  // namespace qm
