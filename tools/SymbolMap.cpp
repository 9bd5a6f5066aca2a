#include "tools/SymbolMap.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <system_error>

#include "platform/Platform.h"
#include "tools/Sha256.h"

namespace qxtools {
namespace {

constexpr std::string_view kMapFileName = "QXKit.map";
constexpr std::string_view kModule = "QXKit.dll";

bool IsHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

bool IsDecimal(std::string_view digits) {
  return !digits.empty() && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// 1 to 8 hexadecimal digits and nothing else.
std::optional<std::uint32_t> HexNumber(std::string_view digits) {
  if (digits.empty() || digits.size() > 8 || !std::all_of(digits.begin(), digits.end(), IsHex)) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(std::strtoul(std::string(digits).c_str(), nullptr, 16));
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t start = 0;;) {
    std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string_view WithoutHexPrefix(std::string_view text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.remove_prefix(2);
  return text;
}

std::string ReadAll(std::FILE* file) {
  std::string text;
  char chunk[65536];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, n);
  return text;
}

// The folder of the running executable, where the tools archive puts the map beside it.
std::string DefaultMapPath() {
  std::string folder = qx::platform::MainExecutablePath();
  qx::platform::RemoveFileSpec(folder);
  if (folder.empty()) return std::string(kMapFileName);
  return folder + (folder.find('\\') != std::string::npos ? "\\" : "/") + std::string(kMapFileName);
}

// A crash log saved as "cafe" or "20240101" is a file, not an offset.
bool IsExistingPath(const std::string& argument) {
  std::error_code error;
  return std::filesystem::exists(argument, error);
}

int WhereUsage() {
  std::fputs(
      "usage: qxkit where [--map QXKit.map] [--dll QXKit.dll] [ADDRESS|CRASHLOG|-]...\n"
      "  ADDRESS is QXKit.dll+0001A2B3 or a bare offset (1A2B3, 0x1A2B3) that names no file;\n"
      "  a CRASHLOG file, or standard input when no ADDRESS or file is given (or for -), is\n"
      "  searched for every QXKit.dll+ address. --dll checks that the map was made from that DLL.\n",
      stderr);
  return 2;
}

}  // namespace

std::optional<SymbolMap> ParseSymbolMap(std::string_view text, std::string& error) {
  SymbolMap map;
  bool haveCode = false;
  std::optional<std::size_t> counted;  // the end line's count of functions
  int number = 0;
  auto fail = [&](const std::string& why) {
    error = "line " + std::to_string(number) + ": " + why;
    return std::nullopt;
  };
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    if (counted) return fail("a line after the end line");
    if (line.front() == '#') continue;
    std::vector<std::string_view> fields = Fields(line);
    std::string_view key = fields[0];
    if (auto offset = key.size() == 8 ? HexNumber(key) : std::nullopt) {
      if (fields.size() < 2 || fields.size() > 3 || fields[1].empty()) return fail("a function needs a name");
      if (!map.functions.empty() && *offset < map.functions.back().offset) return fail("functions out of order");
      map.functions.push_back({*offset, std::string(fields[1]), fields.size() == 3 ? std::string(fields[2]) : ""});
    } else if (fields.size() == 2 && key == "version") {
      map.version = fields[1];
    } else if (fields.size() == 2 && key == "module") {
      map.module = fields[1];
    } else if (fields.size() == 2 && key == "size") {
      if (!IsDecimal(fields[1])) return fail("bad size");
      map.dllSize = std::strtoull(std::string(fields[1]).c_str(), nullptr, 10);
    } else if (fields.size() == 2 && key == "sha256") {
      map.dllSha256 = fields[1];
    } else if (fields.size() == 3 && key == "code") {
      auto begin = HexNumber(fields[1]), codeEnd = HexNumber(fields[2]);
      if (!begin || !codeEnd || *codeEnd < *begin) return fail("bad code range");
      map.codeBegin = *begin;
      map.codeEnd = *codeEnd;
      haveCode = true;
    } else if (fields.size() == 2 && key == "end" && IsDecimal(fields[1])) {
      counted = std::strtoull(std::string(fields[1]).c_str(), nullptr, 10);
    } else {
      return fail("not a line of a symbol map");
    }
  }
  if (map.module.empty() || !haveCode || map.dllSha256.size() != 64 || map.functions.empty()) {
    error = "not a whole symbol map (module, code range, fingerprint or functions missing)";
    return std::nullopt;
  }
  // A map cut after any line would otherwise read as whole, and name every offset past its
  // last function after that function.
  if (!counted) {
    error = "the map is cut short: its last line, which counts its functions, is missing";
    return std::nullopt;
  }
  if (*counted != map.functions.size()) {
    error = "the map counts " + std::to_string(*counted) + " functions but lists " +
            std::to_string(map.functions.size());
    return std::nullopt;
  }
  return map;
}

const MapFunction* FunctionAt(const SymbolMap& map, std::uint32_t offset) {
  if (offset < map.codeBegin || offset >= map.codeEnd) return nullptr;
  auto after = std::upper_bound(map.functions.begin(), map.functions.end(), offset,
                                [](std::uint32_t at, const MapFunction& f) { return at < f.offset; });
  if (after == map.functions.begin()) return nullptr;
  return &*std::prev(after);
}

std::string DescribeOffset(const SymbolMap& map, std::uint32_t offset) {
  char address[64];
  std::snprintf(address, sizeof address, "%s+%08X  ", map.module.c_str(), static_cast<unsigned>(offset));
  const MapFunction* function = FunctionAt(map, offset);
  if (function == nullptr) {
    char where[96];
    std::snprintf(where, sizeof where, "not in the DLL's code (%08X..%08X)",
                  static_cast<unsigned>(map.codeBegin), static_cast<unsigned>(map.codeEnd));
    return address + std::string(where);
  }
  char into[16];
  std::snprintf(into, sizeof into, "+0x%X", static_cast<unsigned>(offset - function->offset));
  std::string line = address + function->name + into;
  if (!function->source.empty()) line += "  " + function->source;
  return line;
}

std::optional<std::uint32_t> ParseOffset(std::string_view argument, std::string_view module) {
  std::size_t plus = argument.find('+');
  if (plus != std::string_view::npos) {
    if (!SameIgnoringCase(argument.substr(0, plus), module)) return std::nullopt;
    argument.remove_prefix(plus + 1);
  }
  return HexNumber(WithoutHexPrefix(argument));
}

std::vector<std::uint32_t> FindModuleOffsets(std::string_view log, std::string_view module) {
  std::vector<std::uint32_t> offsets;
  const std::size_t span = module.size() + 1;
  for (std::size_t at = 0; at + span <= log.size(); ++at) {
    if (log[at + module.size()] != '+' || !SameIgnoringCase(log.substr(at, module.size()), module)) continue;
    if (at > 0) {
      char before = log[at - 1];
      if (std::isalnum(static_cast<unsigned char>(before)) || before == '_' || before == '.' || before == '-') continue;
    }
    std::string_view rest = WithoutHexPrefix(log.substr(at + span));
    std::size_t digits = 0;
    while (digits < rest.size() && IsHex(rest[digits])) ++digits;
    bool wordGoesOn = digits < rest.size() && (std::isalnum(static_cast<unsigned char>(rest[digits])) || rest[digits] == '_');
    if (auto offset = wordGoesOn ? std::nullopt : HexNumber(rest.substr(0, digits))) {
      if (std::find(offsets.begin(), offsets.end(), *offset) == offsets.end()) offsets.push_back(*offset);
    }
  }
  return offsets;
}

std::string FingerprintMismatch(const SymbolMap& map, std::string_view dllBytes) {
  if (dllBytes.size() != map.dllSize) {
    return "it has " + std::to_string(dllBytes.size()) + " bytes, the map's DLL " + std::to_string(map.dllSize);
  }
  if (Sha256Hex(dllBytes) != map.dllSha256) return "its SHA-256 differs from the map's DLL";
  return "";
}

int RunWhere(const std::vector<std::string>& args) {
  std::string mapPath, dllPath;
  std::vector<std::uint32_t> offsets;
  std::vector<std::string> logs;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--map" || args[i] == "--dll") {
      if (i + 1 == args.size()) return WhereUsage();
      std::string& path = args[i] == "--map" ? mapPath : dllPath;
      path = args[++i];
    } else if (auto offset = IsExistingPath(args[i]) ? std::nullopt : ParseOffset(args[i], kModule)) {
      offsets.push_back(*offset);
    } else if (!args[i].empty() && (args[i] == "-" || args[i][0] != '-')) {
      logs.push_back(args[i]);
    } else {
      return WhereUsage();
    }
  }
  if (offsets.empty() && logs.empty()) logs.push_back("-");

  if (mapPath.empty()) mapPath = DefaultMapPath();
  std::string text, error;
  if (!qx::platform::ReadWholeFile(mapPath.c_str(), text)) {
    std::fprintf(stderr, "qxkit: cannot read the symbol map %s (name it with --map)\n", mapPath.c_str());
    return 1;
  }
  std::optional<SymbolMap> map = ParseSymbolMap(text, error);
  if (!map) {
    std::fprintf(stderr, "qxkit: %s is not a symbol map: %s\n", mapPath.c_str(), error.c_str());
    return 1;
  }

  for (const std::string& log : logs) {
    std::string content;
    if (log == "-") {
      content = ReadAll(stdin);
    } else if (!qx::platform::ReadWholeFile(log.c_str(), content)) {
      std::fprintf(stderr, "qxkit: cannot read %s (nor is it an address)\n", log.c_str());
      return 1;
    }
    std::vector<std::uint32_t> found = FindModuleOffsets(content, map->module);
    if (found.empty()) std::fprintf(stderr, "qxkit: no %s+ address in %s\n", map->module.c_str(),
                                    log == "-" ? "standard input" : log.c_str());
    for (std::uint32_t offset : found) {
      if (std::find(offsets.begin(), offsets.end(), offset) == offsets.end()) offsets.push_back(offset);
    }
  }

  int status = 0;
  std::printf("%s %s, symbol map %s\n", map->module.c_str(), map->version.c_str(), mapPath.c_str());
  if (!dllPath.empty()) {
    std::string dll;
    if (!qx::platform::ReadWholeFile(dllPath.c_str(), dll)) {
      std::fprintf(stderr, "qxkit: cannot read %s\n", dllPath.c_str());
      return 1;
    }
    std::string mismatch = FingerprintMismatch(*map, dll);
    if (!mismatch.empty()) {
      std::fprintf(stderr,
                   "qxkit: warning: the map is not of %s (%s): it is from another build, so the "
                   "names below are most likely wrong. Use the map of the tools archive of the "
                   "same version as that DLL (this map is of %s %s).\n",
                   dllPath.c_str(), mismatch.c_str(), map->module.c_str(), map->version.c_str());
      status = 1;
    }
  }
  for (std::uint32_t offset : offsets) {
    std::printf("%s\n", DescribeOffset(*map, offset).c_str());
    if (FunctionAt(*map, offset) == nullptr) status = 1;
  }
  return offsets.empty() ? 1 : status;
}

}  // namespace qxtools
