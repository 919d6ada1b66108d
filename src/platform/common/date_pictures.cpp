#include "platform/common/date_pictures.h"

namespace kite {

// Not available yet.
bool formatTimePicture(const WideString&, const LocalTime&, WideString&) { return false; }
bool formatDatePicture(const WideString&, const LocalTime&, WideString&) { return false; }

}  // namespace kite
