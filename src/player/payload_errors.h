// A damaged gallery payload. Start-up answers every such case with one fixed message; the
// texts here say which check failed, for `quenmora info` and for diagnostics.
#pragma once

#include "platform/exception.h"

namespace qm {

QM_DECLARE_EXCEPTION(EPayloadDamaged, Exception);

inline constexpr char kDamageNoTrailer[] = "file too short for a payload trailer";
inline constexpr char kDamageTrailerOutside[] =
    "payload trailer points outside the file or leaves no compressed block";
inline constexpr char kDamageBadStream[] = "compressed block is not a valid zlib stream";
inline constexpr char kDamageStreamTruncated[] =
    "compressed block ends before its zlib stream does";
inline constexpr char kDamageInflatedShort[] = "inflated data shorter than its size field";
inline constexpr char kDamageInflatedLong[] = "inflated data longer than its size field";
inline constexpr char kDamageInflatedZero[] = "inflated size is 0";
inline constexpr char kDamageShortHeader[] = "inflated data shorter than the gallery header";
inline constexpr char kDamageRecordPastEnd[] =
    "a slide record runs past the end of the inflated data";
inline constexpr char kDamageTooManySlides[] =
    "the slide count needs more temporary names than there are";
inline constexpr char kDamageBadFileName[] =
    "a slide's file name is empty, \".\", \"..\" or holds a directory part";

}  // namespace qm
