#pragma once
// The whole content of a file opened for reading in binary mode, read with the C library: a
// read error (a folder of that name, a failing disk) is then a result, where a stream's
// buffer throws it past every caller. Closes the file.
#include <cstdio>
#include <exception>
#include <string>
#include <utility>

namespace qx::platform {

[[nodiscard]] inline bool ReadOpenFile(std::FILE* file, std::string& content) {
  std::string bytes;
  bool read = true;
  try {
    char block[4096];
    for (std::size_t n; (n = std::fread(block, 1, sizeof block, file)) > 0;) bytes.append(block, n);
  } catch (const std::exception&) {  // memory exhausted
    read = false;
  }
  read = read && std::ferror(file) == 0;
  std::fclose(file);
  if (read) content = std::move(bytes);
  return read;
}

}  // namespace qx::platform
