#include "settings/value_expansion.h"

namespace kite {

void expandEnvironment(Platform& platform, WideString& text) {
    WideString expanded = text;
    if (platform.expandEnvironment(expanded)) text = expanded;
}

// Date and time pictures are not available yet: the text stays unchanged.
void expandDateTime(Platform&, WideString&, const LocalTime&) {}

}  // namespace kite
