// DecodeWay: whether the decoder's work is done the fastest way this processor allows or the
// plain way, one byte and one sample at a time.
//
//     DecodeBlock(packed, samples, header, DecodeWay::kPlain);
//     Checksum16(samples, length, DecodeWay::kPlain);
//
// Both ways give the same result from the same bytes; the tests run both. The wide way needs a
// processor with 512-bit vectors and byte permutes (HasWideInstructions, decode/WideTarget.h), and
// where there is none kFastest is kPlain.
#pragma once

enum class DecodeWay { kFastest, kPlain };
