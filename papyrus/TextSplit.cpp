#include "papyrus/TextSplit.h"

namespace qx::papyrus {

std::vector<std::string_view> SplitText(std::string_view text, std::string_view delimiter) {
  std::vector<std::string_view> pieces;
  if (delimiter.empty()) {
    if (!text.empty()) pieces.push_back(text);
    return pieces;
  }
  const char mark = delimiter.front();
  std::size_t from = 0;
  while (from <= text.size()) {
    std::size_t at = text.find(mark, from);
    if (at == std::string_view::npos) at = text.size();
    if (at > from) pieces.push_back(text.substr(from, at - from));
    from = at + 1;
  }
  return pieces;
}

}  // namespace qx::papyrus
