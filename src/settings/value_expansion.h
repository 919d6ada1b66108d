// Environment (%NAME%) and date/time picture references in setting values.
#pragma once

#include "foundation/wide_string.h"
#include "platform/platform.h"

namespace kite {

// Replaces every %NAME% of a defined environment variable by its value
// (platform rule); on failure the text stays unchanged.
void expandEnvironment(Platform& platform, WideString& text);

// Replaces the picture between the first and the last '%' of text by the
// given local time formatted with it (time pass, then date pass).
void expandDateTime(Platform& platform, WideString& text, const LocalTime& time);

}  // namespace kite
