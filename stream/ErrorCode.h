// ErrorCode: the one number a failing stream, file or conversion call throws. Every throw and
// catch of the program names it, so a reader sees which failure a number stands for:
//
//     if (!block) throw ErrorCode{kOutOfMemory};
//     if (crt::fclose(stream) != 0) throw ErrorCode{errno};   // the runtime's own number
//     try { ... } catch (ErrorCode code) { ... }
//
// Besides the named codes below, a file call that fails throws the runtime's error number
// (ENOENT, EEXIST, EIO, ...). WATCHOUT: the numbers are fixed; kOutOfMemory and ENOENT are both
// 2, so a catch that must tell them apart cannot do it by the number alone (none does).
#pragma once

#include <cstdint>

using ErrorCode = std::int32_t;

// A file could not be opened or created; the runtime's reason is kept beside the file
// (LFile::GetOpenError).
inline constexpr ErrorCode kCannotOpen = 1;
// Memory could not be had, or a block is larger than the buffer kept for it.
inline constexpr ErrorCode kOutOfMemory = 2;
// A file's position or size could not be had or set, or is one the stream cannot express.
inline constexpr ErrorCode kBadPosition = -1;
// A format the WAVE writer cannot write: the characters W, F, m, t.
inline constexpr ErrorCode kUnsupportedFormat = 0x57466D74;
