// The tests applied to yes/no and choice values of the settings.
#pragma once

#include "foundation/wide_string.h"

namespace kite {

// Letter case ignored for ASCII letters.
bool equalsIgnoringCase(const WideString& a, const WideString& b);
// "Yes" in any letter case.
inline bool isYes(const WideString& value) { return equalsIgnoringCase(value, u"Yes"); }
// Exactly "yes", lower case.
inline bool isExactYes(const WideString& value) { return value == u"yes"; }

}  // namespace kite
