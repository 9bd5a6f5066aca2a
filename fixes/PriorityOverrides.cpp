#include "fixes/PriorityOverrides.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>

#include "common/IDebugLog.h"
#include "platform/Platform.h"
#include "settings/ProjectIni.h"
#include "skse/GameMagic.h"
#include "skse/RttiClassCheck.h"

namespace qx {
namespace {

constexpr char kMessagePrefix[] = "QX Magic Effect Artwork Overrides: ";

// The standard base-10 reading (as strtoll reads it) of the text: leading white space, a
// sign, at least one digit; what follows the digits is ignored. False when no digit comes
// or the number is outside the 32-bit range.
bool ParsePriority(std::string_view text, std::int32_t& priority) {
  std::size_t at = 0;
  while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r'))) ++at;
  bool negative = at < text.size() && text[at] == '-';
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
  if (at == text.size() || text[at] < '0' || text[at] > '9') return false;
  // In 32 bits: a magnitude above 2^31 / 10 takes a further digit past 2^31, out of range
  // for good, and stays at the largest value.
  constexpr std::uint32_t kLowestMagnitude = 0x80000000u;  // of the lowest priority
  constexpr std::uint32_t kOutOfRange = std::numeric_limits<std::uint32_t>::max();
  std::uint32_t magnitude = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    auto digit = static_cast<std::uint32_t>(text[at] - '0');
    magnitude = magnitude <= kLowestMagnitude / 10 ? magnitude * 10 + digit : kOutOfRange;
  }
  if (magnitude > (negative ? kLowestMagnitude : kLowestMagnitude - 1)) return false;
  priority = static_cast<std::int32_t>(negative ? 0u - magnitude : magnitude);
  return true;
}

// The log line of a line that is no entry: a few lines of a file at most, so formatted
// apart from the reading of the others.
[[gnu::noinline]] std::string SkipMessage(std::string_view line, int number, const char* what, const char* after) {
  return std::string(kMessagePrefix) + what + " on line " + std::to_string(number) + ":'" + std::string(line) +
         "'" + after;
}

}  // namespace

void ReadPriorityOverridesFile(ProjectIni& settings, const std::string& path) {
  LogMessage("QX INI: using magic art priority overrides file '%s'", path.c_str());
  OverridesFileRead read = ReadPriorityOverrideLines(
      path, [&](std::string_view line, int number) { ParsePriorityOverrideLine(settings, line, number); });
  if (read == OverridesFileRead::kReadError) {
    LogMessage("QX Magic Effect Artwork Overrides: could not read '%s'", path.c_str());
  }
}

OverridesFileRead ReadPriorityOverrideLines(const std::string& path,
                                            const std::function<void(std::string_view line, int number)>& onLine) {
  std::FILE* file = platform::OpenTextFileForReading(path.c_str());
  if (file == nullptr) return OverridesFileRead::kNotOpened;
  // Read in blocks and split at line feeds (text mode has made every line end one): the
  // same lines as reading character by character, with a last line without a line feed
  // still a line, and a line cut off by a read error not handed on.
  OverridesFileRead result = OverridesFileRead::kRead;
  std::string pending;  // the start of a line whose line feed is still to come
  char block[4096];
  int number = 0;
  for (;;) {
    std::size_t got = std::fread(block, 1, sizeof block, file);
    const char* at = block;
    const char* end = block + got;
    while (const char* feed = static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)))) {
      std::string_view piece(at, static_cast<std::size_t>(feed - at));
      if (pending.empty()) {
        onLine(piece, number++);  // the whole line is in the block
      } else {
        pending.append(piece);
        onLine(pending, number++);
        pending.clear();
      }
      at = feed + 1;
    }
    pending.append(at, static_cast<std::size_t>(end - at));
    if (got == sizeof block) continue;
    if (std::ferror(file)) {
      result = OverridesFileRead::kReadError;
    } else if (!pending.empty()) {
      onLine(pending, number);
    }
    break;
  }
  std::fclose(file);
  return result;
}

PriorityOverrideLine ParsePriorityOverride(std::string_view line, int number) {
  PriorityOverrideLine parsed;
  auto isSeparator = [](char c) { return c == ' ' || c == '\t'; };
  std::size_t separator = 0;
  while (separator < line.size() && !isSeparator(line[separator])) ++separator;
  if (separator == line.size() || separator == 0) {
    parsed.skipMessage = SkipMessage(line, number, "could not parse priority", "; skipping");
    return parsed;
  }
  if (!ParsePriority(line.substr(0, separator), parsed.priority)) {
    parsed.skipMessage = SkipMessage(line, number, "priority", " is not an integer; skipping");
    return parsed;
  }
  std::size_t formText = separator;
  while (formText < line.size() && isSeparator(line[formText])) ++formText;
  if (formText == line.size()) {
    parsed.skipMessage = SkipMessage(line, number, "no form ID given", "; skipping");
    return parsed;
  }
  parsed.isEntry = true;
  parsed.formText = line.substr(formText);
  return parsed;
}

void ParsePriorityOverrideLine(ProjectIni& settings, std::string_view line, int number) {
  PriorityOverrideLine parsed = ParsePriorityOverride(line, number);
  if (!parsed.isEntry) {
    (LogLine() << parsed.skipMessage).Write();  // one per line of the player's file: all written
    return;
  }
  settings.pendingOverrides.Add(parsed.formText, parsed.priority);
}

void RegisterPriorityOverrides(ProjectIni& settings, const FormTextResolver& resolve, FormLookup lookup) {
  const PendingOverrides& pending = settings.pendingOverrides;
  settings.KeywordPriorityTable.reserve(settings.KeywordPriorityTable.size() + pending.size());
  for (std::size_t i = 0; i < pending.size(); ++i) {
    std::string_view text = pending.FormText(i);
    std::int32_t priority = pending.Priority(i);
    auto skip = [&](const char* before, const char* after) {
      (LogLine() << kMessagePrefix << before << text << after).Write();
    };
    game::FormID formID = text.size() < kMinimumFormTextLength ? 0 : resolve(text);
    if (formID == 0) {
      skip("skipping unrecognized form ID '", "'");
      continue;
    }
    game::TESForm* form = lookup(formID);
    if (form == nullptr) {
      skip("skipping unresolvable form ID '", "'");
      continue;
    }
    if (!game::IsKeyword(form)) {
      skip("form ID '", "' is not a keyword; skipping");
      continue;
    }
    settings.KeywordPriorityTable[static_cast<game::BGSKeyword*>(form)] = static_cast<std::uint32_t>(priority);
    // One line per entry, by the thousand in a large file: built rather than formatted.
    (LogLine() << kMessagePrefix << "registered mgef keyword '" << text << "' with priority " << priority).Write();
  }
  settings.pendingOverrides.clear();
}

}  // namespace qx
