// What the text box shows for one drop, as text only.
#pragma once

#include <string_view>
#include <vector>

// The pieces of the box's text, in order, each decoded on its own: the report
// up to its first zero byte; then, when the tool wrote errors, the errors as
// the tool wrote them (up to their first zero byte); then the program's own
// notes. Each after the first starts on a line of its own: a line break goes
// before it where the text before does not end in one.
std::vector<std::string_view> BoxTextParts(std::string_view report, std::string_view errors,
                                           std::string_view notes = {});
