#pragma once
// `qxkit where`: turns the offsets crash logs print for QXKit.dll (`QXKit.dll+0001A2B3`) into
// the function, the offset inside it and its source file and line, from the symbol map that
// the build writes beside every QXKit.dll it ships.
//
// The map is text, one item a line, fields separated by tabs:
//   # comment
//   version  <VERSION of the build>
//   module   QXKit.dll
//   size     <bytes of the shipped DLL>
//   sha256   <SHA-256 of the shipped DLL>
//   code     <first offset of the code section>  <one past its last>
//   <offset> <demangled name> [<file>:<line>]      every function, sorted by offset
//   end      <number of functions>                 the last line: a cut map is refused
// Offsets are eight hexadecimal digits, relative to the image base, as crash logs print them.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qxtools {

struct MapFunction {
  std::uint32_t offset = 0;
  std::string name;    // demangled
  std::string source;  // "file:line", empty where the debug information has none
};

struct SymbolMap {
  std::string version;
  std::string module;
  std::uint64_t dllSize = 0;
  std::string dllSha256;
  std::uint32_t codeBegin = 0, codeEnd = 0;
  std::vector<MapFunction> functions;  // sorted by offset
};

// Null and `error` set (with the line number) when `text` is not a whole map.
[[nodiscard]] std::optional<SymbolMap> ParseSymbolMap(std::string_view text, std::string& error);

// The function whose code holds `offset`: the last one starting at or before it, if the offset
// lies in the code section at all. Null for headers, data, and offsets past the image.
[[nodiscard]] const MapFunction* FunctionAt(const SymbolMap& map, std::uint32_t offset);

// One line for `offset`: "QXKit.dll+0001A2B3  name+0x23  file:line".
[[nodiscard]] std::string DescribeOffset(const SymbolMap& map, std::uint32_t offset);

// An argument naming one offset: "QXKit.dll+0001A2B3", "0x1A2B3" or "1A2B3".
[[nodiscard]] std::optional<std::uint32_t> ParseOffset(std::string_view argument, std::string_view module);

// Every "<module>+<hex>" in a crash log, each once, in the order of first appearance. The
// module's name is matched without regard to case; names that only end in it do not count.
[[nodiscard]] std::vector<std::uint32_t> FindModuleOffsets(std::string_view log, std::string_view module);

// Empty when `dllBytes` are the DLL the map was made from; otherwise why they are not.
[[nodiscard]] std::string FingerprintMismatch(const SymbolMap& map, std::string_view dllBytes);

// `qxkit where [--map PATH] [--dll PATH] [ADDRESS|LOGFILE|-]...`: prints one line per address
// (an argument naming an existing file is a log, even when it reads as an offset too)
// and returns the exit code: 0 when every address lies in the DLL's code and the map is the
// DLL's (or no DLL was named), 1 otherwise, 2 for a usage error.
int RunWhere(const std::vector<std::string>& args);

}  // namespace qxtools
