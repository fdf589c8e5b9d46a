#include "navigation/navigation_input.hpp"

#include "compression/decode_input.hpp"
#include "core/file_io.hpp"
#include "navigation/navigation_reader.hpp"

namespace qcn0 {

Expected<NavigationData> read_navigation_bytes(std::string_view bytes) {
    // Navigation files arrive gzipped or compressed as often as plain.
    auto input = decode_input(bytes);
    if (!input) return input.failure();
    return parse_navigation(input->text());
}

Expected<NavigationData> read_navigation_file(const std::string& path) {
    auto bytes = read_file(path);
    if (!bytes) return bytes.failure();
    return read_navigation_bytes(*bytes);
}

namespace {

template <typename Record>
void append_records(EphemerisMap<Record>& into, const EphemerisMap<Record>& from) {
    for (const auto& entry : from) {
        for (const Record& r : entry.records) into.add(entry.id, r);
    }
}

}  // namespace

void merge_navigation(NavigationData& into, const NavigationData& from) {
    append_records(into.gps_ephemerides, from.gps_ephemerides);
    append_records(into.galileo_ephemerides, from.galileo_ephemerides);
    append_records(into.beidou_ephemerides, from.beidou_ephemerides);
    append_records(into.glonass_ephemerides, from.glonass_ephemerides);
    for (const auto& [slot, channel] : from.glonass_channels) into.set_glonass_channel(slot, channel);
}

Expected<NavigationData> read_navigation_files(const std::vector<std::string>& paths, bool name_files) {
    NavigationData merged;
    bool first = true;
    for (const std::string& path : paths) {
        auto nav = read_navigation_file(path);
        if (!nav) {
            if (!name_files) return nav.failure();
            return Error{path + ": " + nav.error(), nav.error_kind()};
        }
        if (first) {
            merged = std::move(*nav);
            first = false;
        } else {
            merge_navigation(merged, *nav);
        }
    }
    return merged;
}

}  // namespace qcn0
