#include "imaging/decode_stop.h"

namespace qm {

namespace {
thread_local const std::atomic<bool>* t_stop = nullptr;
}  // namespace

DecodeStopScope::DecodeStopScope(const std::atomic<bool>& stop) : previous_(t_stop) {
  t_stop = &stop;
}

DecodeStopScope::~DecodeStopScope() {
  t_stop = previous_;
}

void ThrowIfDecodeStopped() {
  if (t_stop != nullptr && t_stop->load(std::memory_order_relaxed))
    throw EDecodeStopped("decode stopped");
}

}  // namespace qm
