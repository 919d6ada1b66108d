// %NAME% environment references expanded by the Windows rule, for platforms
// that have no ExpandEnvironmentStrings (and for the unit-test fake).
#pragma once

#include <functional>

#include "foundation/wide_string.h"

namespace kite {

// Every %NAME% whose lookup succeeds is replaced by its value; an undefined
// reference (or "%%") stays as written, and scanning goes on after its
// closing '%', so "%UNDEF%NAME% x" comes back unchanged.
WideString expandPercentReferences(const WideString& text,
                                   const std::function<bool(const WideString&, WideString&)>& lookup);

}  // namespace kite
