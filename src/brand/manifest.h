// The application manifest (RT_MANIFEST, UTF-8 XML): the level attribute of
// its one requestedExecutionLevel element, read and replaced with the rest
// of the text left byte for byte as it was.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "brand/result.h"

namespace kite::brand {

// asInvoker, highestAvailable, requireAdministrator.
bool isExecutionLevel(std::string_view level);

std::optional<std::string> executionLevel(std::string_view manifest);
// Refuses a manifest without exactly one requestedExecutionLevel element
// with one level attribute.
Result<std::string> withExecutionLevel(std::string_view manifest, std::string_view level);

}  // namespace kite::brand
