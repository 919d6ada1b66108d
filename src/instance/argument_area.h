// The argument area of the single-instance guard: how a secondary's argument
// list is laid out in kArgumentAreaSize bytes, and how the primary reads it
// back. Both platforms carry the list in this form.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/wide_string.h"
#include "platform/instance_channel.h"

namespace kite {

// True when the list fits: per argument 2 bytes per UTF-16 unit plus 2 for
// its terminating zero unit, plus 2 for the list's final zero unit, at most
// kArgumentAreaSize bytes in all.
bool argumentsFit(const WideStringList& arguments);

// Clears the area, then writes each argument as little-endian UTF-16 units
// followed by one zero unit, and one more zero unit after the last. False,
// with the area untouched, when the list does not fit.
bool writeArgumentArea(const WideStringList& arguments, ArgumentArea& area);

// Reads a list back from bytes, which another process wrote and may hold
// anything: never reads past size. A zero unit ends the current argument
// (even an empty one); a second zero unit right after it ends the list.
// The end of the bytes counts as the end of the list, so an unterminated
// last argument is still delivered; a trailing odd byte is ignored.
WideStringList readArgumentArea(const std::uint8_t* bytes, std::size_t size);

}  // namespace kite
