#include "fixes/PriorityOverrides.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "common/IDebugLog.h"
#include "platform/Platform.h"
#include "plugin/ProjectIni.h"
#include "skse/GameMagic.h"
#include "skse/RttiClassCheck.h"

namespace qx {
namespace {

constexpr const char* kSeparators = " \t";
// Load-independent form text: six digits of local ID, one separator, then the file name.
constexpr std::size_t kMinimumFormTextLength = 7;

enum class LineRead { kLine, kEnd, kError };

// One line without its line feed; a last line without one still counts.
LineRead ReadLine(std::FILE* file, std::string& line) {
  line.clear();
  for (;;) {
    int c = std::fgetc(file);
    if (c == EOF) {
      if (std::ferror(file)) return LineRead::kError;
      return line.empty() ? LineRead::kEnd : LineRead::kLine;
    }
    if (c == '\n') return LineRead::kLine;
    line.push_back(static_cast<char>(c));
  }
}

// The standard base-10 reading: leading white space, a sign, digits; the rest is ignored.
bool ParsePriority(const std::string& text, std::int32_t& priority) {
  errno = 0;
  char* end = nullptr;
  long long value = std::strtoll(text.c_str(), &end, 10);
  if (end == text.c_str() || errno == ERANGE) return false;
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
  std::FILE* file = platform::OpenTextFileForReading(path.c_str());
  if (file == nullptr) return;
  std::string line;
  for (int number = 0;; ++number) {
    LineRead read = ReadLine(file, line);
    if (read == LineRead::kEnd) break;
    if (read == LineRead::kError) {
      LogMessage("QX Magic Effect Artwork Overrides: could not read '%s'", path.c_str());
      break;
    }
    ParsePriorityOverrideLine(settings, line, number);
  }
  std::fclose(file);
}

void ParsePriorityOverrideLine(ProjectIni& settings, const std::string& line, int number) {
  std::size_t separator = line.find_first_of(kSeparators);
  if (separator == std::string::npos || separator == 0) {
    LogMessage("QX Magic Effect Artwork Overrides: could not parse priority on line %d:'%s'; skipping",
               number, line.c_str());
    return;
  }
  std::int32_t priority = 0;
  if (!ParsePriority(line.substr(0, separator), priority)) {
    LogMessage("QX Magic Effect Artwork Overrides: priority on line %d:'%s' is not an integer; skipping",
               number, line.c_str());
    return;
  }
  std::size_t formText = line.find_first_not_of(kSeparators, separator);
  if (formText == std::string::npos) {
    LogMessage("QX Magic Effect Artwork Overrides: no form ID given on line %d:'%s'; skipping",
               number, line.c_str());
    return;
  }
  settings.pendingOverrideFormTexts.push_back(line.substr(formText));
  settings.pendingOverridePriorities.push_back(priority);
}

void RegisterPriorityOverrides(ProjectIni& settings, FormTextResolver resolve, FormLookup lookup) {
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
    LogMessage("QX Magic Effect Artwork Overrides: registered mgef keyword '%s' with priority %d",
               text.c_str(), priority);
  }
  settings.pendingOverrideFormTexts.clear();
  settings.pendingOverridePriorities.clear();
}

}  // namespace qx
