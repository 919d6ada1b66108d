// Time and date pictures (h hh H HH m mm s ss t tt; d dd ddd dddd M MM MMM
// MMMM y yy yyyy g gg; text in single quotes copied without its quotes) with
// English names, for platforms without GetTimeFormat/GetDateFormat.
#pragma once

#include "foundation/wide_string.h"
#include "platform/platform.h"

namespace kite {

bool formatTimePicture(const WideString& picture, const LocalTime& time, WideString& out);
bool formatDatePicture(const WideString& picture, const LocalTime& time, WideString& out);

}  // namespace kite
