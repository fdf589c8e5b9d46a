// Epochs as nanoseconds since 1970-01-01 00:00:00, the integer behind NumPy's datetime64[ns].
// The calendar fields are taken as written (a month of 13 runs into the next year, exactly as
// the day-number arithmetic of epoch_time.hpp treats it) and no time scale is converted: GPS
// time stays GPS time.
#pragma once

#include <cstdint>
#include <limits>
#include <string_view>

#include "core/epoch_time.hpp"

namespace qcn0 {

// NumPy's "not a time": what an epoch outside the 64-bit nanosecond range (about 1678 to 2262),
// or with a second that is not a finite number, becomes.
constexpr std::int64_t kNotATime = std::numeric_limits<std::int64_t>::min();

// Seconds are rounded to the nearest nanosecond.
std::int64_t unix_nanoseconds(const EpochTime& t);

// A timestamp text YYYY-MM-DDTHH:MM:SS.sssZ (as format_epoch_timestamp writes it) back to
// nanoseconds; kNotATime when the text is not of that form.
std::int64_t unix_nanoseconds(std::string_view timestamp);

}  // namespace qcn0
