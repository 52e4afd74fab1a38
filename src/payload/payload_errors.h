// A damaged gallery payload. Its message (one of msg::kDamage...) says which check failed.
#pragma once

#include "platform/exception.h"
#include "platform/messages.h"

namespace qm {

QM_DECLARE_EXCEPTION(EPayloadDamaged, Exception);

}  // namespace qm
