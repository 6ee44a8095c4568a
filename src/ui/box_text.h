// What the text box shows for one drop, as text only.
#pragma once

#include <string_view>
#include <vector>

// The pieces of the box's text, in order, each decoded on its own: the report
// up to its first zero byte; then, when the tool wrote errors, a line break
// where the report does not end in one, and the errors as the tool wrote them
// (up to their first zero byte). Without errors, the report alone.
std::vector<std::string_view> BoxTextParts(std::string_view report, std::string_view errors);
