// Comma text: the list form in which the port list arrives.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tempolog {

// Splits comma text into its items. Items are separated by commas and by runs of
// bytes of code 1 to 32 (which are dropped); an item in double quotes may hold
// commas and blanks, a doubled quote inside it standing for one quote (an
// unterminated quote runs to the end of the text); a comma at the very end adds
// one empty item. Any other byte, NUL included, belongs to its item.
std::vector<std::string> SplitCommaText(std::string_view text);

}  // namespace tempolog
