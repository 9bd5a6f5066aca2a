#include "fixes/PriorityOverrides.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
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

constexpr const char* kSeparators = " \t";
constexpr const char* kMessagePrefix = "QX Magic Effect Artwork Overrides: ";

// The standard base-10 reading of the text's first `length` characters: leading white
// space, a sign, digits; the rest is ignored. Short texts are read from a copy on the stack.
bool ParsePriority(const char* text, std::size_t length, std::int32_t& priority) {
  char shortCopy[64];
  std::string longCopy;
  const char* terminated = shortCopy;
  if (length < sizeof shortCopy) {
    std::memcpy(shortCopy, text, length);
    shortCopy[length] = '\0';
  } else {
    longCopy.assign(text, length);
    terminated = longCopy.c_str();
  }
  errno = 0;
  char* end = nullptr;
  long long value = std::strtoll(terminated, &end, 10);
  if (end == terminated || errno == ERANGE) return false;
  if (value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max()) {
    return false;
  }
  priority = static_cast<std::int32_t>(value);
  return true;
}

}  // namespace

void ReadPriorityOverridesFile(ProjectIni& settings, const std::string& path) {
  LogMessage("QX INI: using magic art priority overrides file '%s'", path.c_str());
  OverridesFileRead read = ReadPriorityOverrideLines(
      path, [&](const std::string& line, int number) { ParsePriorityOverrideLine(settings, line, number); });
  if (read == OverridesFileRead::kReadError) {
    LogMessage("QX Magic Effect Artwork Overrides: could not read '%s'", path.c_str());
  }
}

OverridesFileRead ReadPriorityOverrideLines(
    const std::string& path, const std::function<void(const std::string& line, int number)>& onLine) {
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
      pending.append(at, static_cast<std::size_t>(feed - at));
      onLine(pending, number++);
      pending.clear();
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

PriorityOverrideLine ParsePriorityOverride(const std::string& line, int number) {
  PriorityOverrideLine parsed;
  auto skip = [&](const char* why) {
    parsed.skipMessage = std::string(kMessagePrefix) + why + " on line " + std::to_string(number) +
                         ":'" + line + "'; skipping";
    return parsed;
  };
  std::size_t separator = line.find_first_of(kSeparators);
  if (separator == std::string::npos || separator == 0) return skip("could not parse priority");
  if (!ParsePriority(line.data(), separator, parsed.priority)) {
    parsed.skipMessage = std::string(kMessagePrefix) + "priority on line " + std::to_string(number) +
                         ":'" + line + "' is not an integer; skipping";
    return parsed;
  }
  std::size_t formText = line.find_first_not_of(kSeparators, separator);
  if (formText == std::string::npos) return skip("no form ID given");
  parsed.isEntry = true;
  parsed.formText = line.substr(formText);
  return parsed;
}

void ParsePriorityOverrideLine(ProjectIni& settings, const std::string& line, int number) {
  PriorityOverrideLine parsed = ParsePriorityOverride(line, number);
  if (!parsed.isEntry) {
    LogMessage("%s", parsed.skipMessage.c_str());
    return;
  }
  settings.pendingOverrideFormTexts.push_back(std::move(parsed.formText));
  settings.pendingOverridePriorities.push_back(parsed.priority);
}

void RegisterPriorityOverrides(ProjectIni& settings, const FormTextResolver& resolve, FormLookup lookup) {
  std::size_t count = std::min(settings.pendingOverrideFormTexts.size(),
                               settings.pendingOverridePriorities.size());
  for (std::size_t i = 0; i < count; ++i) {
    const std::string& text = settings.pendingOverrideFormTexts[i];
    std::int32_t priority = settings.pendingOverridePriorities[i];
    game::FormID formID = text.size() < kMinimumFormTextLength ? 0 : resolve(text);
    if (formID == 0) {
      LogMessage("QX Magic Effect Artwork Overrides: skipping unrecognized form ID '%s'", text.c_str());
      continue;
    }
    game::TESForm* form = lookup(formID);
    if (form == nullptr) {
      LogMessage("QX Magic Effect Artwork Overrides: skipping unresolvable form ID '%s'", text.c_str());
      continue;
    }
    if (!game::IsKeyword(form)) {
      LogMessage("QX Magic Effect Artwork Overrides: form ID '%s' is not a keyword; skipping", text.c_str());
      continue;
    }
    settings.KeywordPriorityTable[static_cast<game::BGSKeyword*>(form)] =
        static_cast<std::uint32_t>(priority);
    (LogLine() << kMessagePrefix << "registered mgef keyword '" << text << "' with priority " << priority).Write();
  }
  settings.pendingOverrideFormTexts.clear();
  settings.pendingOverridePriorities.clear();
}

}  // namespace qx
