// Navigation files as users hand them over: by path or as bytes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/expected.hpp"
#include "navigation/navigation_data.hpp"

namespace qcn0 {

Expected<NavigationData> read_navigation_bytes(std::string_view bytes);

// Errors of the operating system come back as ErrorKind::InputOutput.
Expected<NavigationData> read_navigation_file(const std::string& path);

// Stations publish one navigation file per constellation, so several files make one data set:
// every file is read and its records appended, satellite by satellite, in the order of the
// paths. With name_files the message of a failure starts with the path of the file that failed
// ("<path>: <reason>"), so a caller handing over a list learns which one it was.
Expected<NavigationData> read_navigation_files(const std::vector<std::string>& paths, bool name_files);

// Appends every record and GLONASS channel of `from` to `into`, keeping the order of both.
void merge_navigation(NavigationData& into, const NavigationData& from);

}  // namespace qcn0
