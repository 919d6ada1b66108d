// Reading the environment variables that point the double at its files.
#pragma once

#include <string>

namespace jvm_double {

// The variable's value, empty when it is not set.
std::u16string environmentValue(const char16_t* name);

// A file path from the environment. A Unix path (/tmp/x) is taken to be on
// Wine's drive Z:, which maps the Unix root, so tests may pass either form.
std::u16string pathFromEnvironment(const char16_t* name);

}  // namespace jvm_double
