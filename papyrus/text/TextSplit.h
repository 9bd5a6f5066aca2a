#pragma once
// Splitting script text at a delimiter character.
#include <string_view>
#include <vector>

namespace qx::papyrus {

// The non-empty pieces of `text` between occurrences of the delimiter's first character;
// an empty delimiter splits nothing.
[[nodiscard]] std::vector<std::string_view> SplitText(std::string_view text, std::string_view delimiter);

}  // namespace qx::papyrus
