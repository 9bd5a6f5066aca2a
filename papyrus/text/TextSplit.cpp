#include "papyrus/text/TextSplit.h"

#include <cstring>

namespace qx::papyrus {

std::vector<std::string_view> SplitText(std::string_view text, std::string_view delimiter) {
  std::vector<std::string_view> pieces;
  if (delimiter.empty()) {
    if (!text.empty()) pieces.push_back(text);
    return pieces;
  }
  const char mark = delimiter.front();
  // Pieces are at least one character with a delimiter between two: room for all of them
  // at once, so the list is allocated once and never moved.
  pieces.reserve(text.size() / 2 + 1);
  const char* at = text.data();
  const char* end = at + text.size();
  while (at < end) {
    const auto* found = static_cast<const char*>(std::memchr(at, mark, static_cast<std::size_t>(end - at)));
    if (found == nullptr) found = end;
    if (found > at) pieces.emplace_back(at, static_cast<std::size_t>(found - at));
    at = found + 1;
  }
  return pieces;
}

}  // namespace qx::papyrus
