// The platform's text line end, which every line of the dialogue and of the results file
// ends with. The build puts one platform's folder on the include path; this is Windows's.
#pragma once

#include <string_view>

namespace lotrix {

inline constexpr std::string_view kLineEnd = "\r\n";

}  // namespace lotrix
