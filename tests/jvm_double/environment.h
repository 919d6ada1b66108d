// Reading the environment variables that point the double at its files.
#pragma once

#include <string>

namespace jvm_double {

// The variable's value, empty when it is not set.
std::u16string environmentValue(const char16_t* name);

// A file path from the environment. A Unix path (/tmp/x) is taken to be on
// Wine's drive Z:, which maps the Unix root, so tests may pass either form.
// When KITE_DOUBLE_SCRIPT and KITE_DOUBLE_RECORD are absent (a service gets
// no environment from its test), the file jvm_double.script beside the
// library is the script, and its "record=<path>" line names the record.
std::u16string pathFromEnvironment(const char16_t* name);

}  // namespace jvm_double
