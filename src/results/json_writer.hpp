// The analysis result as one JSON document.
//
// Every record becomes an object with all its fields in declaration order, every list an array,
// every map an object in its entry order; an absent visibility is null. The compact form has no
// whitespace outside strings. The indented form puts each member and element on its own line,
// two spaces per level, writes empty containers as {} and [] in place, and has no line break
// before the first brace or after the last.
#pragma once

#include <string>
#include <string_view>

#include "results/analysis_result.hpp"

namespace qcn0 {

std::string to_json(const AnalysisResult& result);
std::string to_json_pretty(const AnalysisResult& result);

// What the export hands back in place of a document when writing failed: {"error": "<message>"},
// the message inserted as it is, unescaped.
std::string json_error_text(std::string_view message);

}  // namespace qcn0
