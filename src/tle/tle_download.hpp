// Fetching the current GNSS element sets from CelesTrak with the curl program.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "core/expected.hpp"

namespace qcn0 {

// The sources, tried in this order: the GP query of the primary host, the static GNSS file of
// the primary host, the static GNSS file of the secondary host.
std::array<std::string_view, 3> tle_source_urls();

// Runs `curl -sL --connect-timeout 10 URL` for each source in turn and returns the first output
// that is valid UTF-8 text holding both "1 " and "2 ". A source fails when curl cannot be
// started, exits with a non-zero status, or prints anything else; then the next is tried. The
// error "Failed to download TLE from all sources" when all fail. No interpreter is involved, so
// callers may run it with the interpreter lock released.
Expected<std::string> download_tle();

}  // namespace qcn0
