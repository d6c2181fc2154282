// Points in time as the engine stores them: RFC 3339 date-times in UTC to the whole second
// ("2024-05-01T09:30:00Z"). Reading accepts any zone offset and a fraction of a second.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace PrintKit {

using Timestamp = std::chrono::system_clock::time_point;

namespace Dates {

Timestamp now();

// Whole seconds, UTC, "Z"; any fraction is dropped (rounded toward the past).
std::string formatRFC3339(Timestamp time);

// "YYYY-MM-DDTHH:MM:SS[.fraction](Z|±HH:MM)"; 't' and 'z' in lower case are accepted as RFC 3339 allows.
std::optional<Timestamp> parseRFC3339(std::string_view text);

} // namespace Dates
} // namespace PrintKit
