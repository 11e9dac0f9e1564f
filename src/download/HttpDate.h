// HTTP date texts (Date, Last-Modified, Expires) as date-times: days since 30 December 1899.
#pragma once

#include <string>

namespace mw {

using TDateTime = double;

// Unix seconds (UTC) to a date-time and back.
TDateTime UnixToDateTime(double unixSeconds);

// Parses the RFC 1123, RFC 850 and asctime layouts; the result is converted to local time with
// the current offset of the local zone. A text that cannot be read gives 0 before that conversion.
TDateTime ParseHTTPDate(const std::string& text);

} // namespace mw
