// The fixed style and script of the -html page. Both stand inline in every page, and the page's
// Content-Security-Policy admits them by their SHA-256 digests, so they must be written exactly.
#pragma once

#include <string_view>

namespace runtrail {

extern const std::string_view k_page_style;
extern const std::string_view k_page_script;

}  // namespace runtrail
