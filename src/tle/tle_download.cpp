#include "tle/tle_download.hpp"

#include <vector>

#include "core/file_io.hpp"
#include "tle/process_output.hpp"

#if !defined(QCN0_TLE_PRIMARY_BASE) || !defined(QCN0_TLE_SECONDARY_BASE)
#error "QCN0_TLE_PRIMARY_BASE and QCN0_TLE_SECONDARY_BASE name the TLE hosts; the build sets them"
#endif

namespace qcn0 {

std::array<std::string_view, 3> tle_source_urls() {
    return {QCN0_TLE_PRIMARY_BASE "/NORAD/elements/gp.php?GROUP=gnss&FORMAT=tle",
            QCN0_TLE_PRIMARY_BASE "/NORAD/elements/gnss.txt",
            QCN0_TLE_SECONDARY_BASE "/NORAD/elements/gnss.txt"};
}

Expected<std::string> download_tle() {
    for (std::string_view url : tle_source_urls()) {
        auto run = run_process("curl", {"-sL", "--connect-timeout", "10", std::string(url)});
        if (!run || !run->success) continue;
        std::string& text = run->out;
        // An error page or an empty body carries no element set lines.
        if (!is_valid_utf8(text)) continue;
        if (text.find("1 ") == std::string::npos || text.find("2 ") == std::string::npos) continue;
        return std::move(text);
    }
    return Error{"Failed to download TLE from all sources"};
}

}  // namespace qcn0
