#pragma once
// SHA-256 of a byte string, as sha256sum prints it (64 lowercase hexadecimal digits).
#include <string>
#include <string_view>

namespace qxtools {

[[nodiscard]] std::string Sha256Hex(std::string_view bytes);

}  // namespace qxtools
