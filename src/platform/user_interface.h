// What the launcher shows the user beyond its output lines.
#pragma once

#include "foundation/wide_string.h"

namespace kite {

class UserInterface {
public:
    virtual ~UserInterface() = default;
    // Tells the user that no runtime was found (message) and lets them pick a
    // runtime folder holding a JVM library of the wanted type. 1: accepted,
    // jvmLibrary and folder (with a trailing separator) are set; 2: cancelled;
    // -1: could not be shown.
    virtual int runtimeNotFoundDialog(const WideString& message, int jvmType, WideString& jvmLibrary,
                                      WideString& folder) = 0;
};

}  // namespace kite
