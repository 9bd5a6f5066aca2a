#include "tools/SettingsCheck.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <sstream>
#include <variant>
#include <vector>

#include "common/IDebugLog.h"
#include "fixes/PriorityOverrides.h"
#include "papyrus/files/ScriptFolders.h"
#include "platform/Files.h"
#include "platform/Platform.h"
#include "plugin/InstallSteps.h"
#include "plugin/ScriptClasses.h"
#include "settings/IniConverters.h"
#include "settings/IniFile.h"
#include "settings/ProjectIni.h"

namespace qxtools {
namespace {

using qx::ProjectIni;
using qx::SettingDescriptor;

constexpr std::string_view kOverridesSection = "magiceffectartworkoverrides";
constexpr std::string_view kOverridesKey = "priorityoverrides";
constexpr std::string_view kFilesSection = "files";
constexpr std::string_view kWritableFoldersKey = "writablefolders";

const SettingDescriptor* FindSetting(std::string_view section, std::string_view key) {
  for (const SettingDescriptor& setting : ProjectIni::Settings()) {
    if (section == setting.section && key == setting.key) return &setting;
  }
  return nullptr;
}

bool IsKnownSection(std::string_view section) {
  for (const char* name : ProjectIni::Sections()) {
    if (section == name) return true;
  }
  return false;
}

std::string ClosestSection(std::string_view section) {
  std::string best;
  std::size_t bestDistance = SIZE_MAX;
  for (const char* name : ProjectIni::Sections()) {
    std::size_t d = EditDistance(section, name);
    if (d < bestDistance) bestDistance = d, best = name;
  }
  return best;
}

// The closest key of any section, preferring the given section on a tie.
std::string ClosestKey(std::string_view section, std::string_view key) {
  std::string best;
  std::size_t bestDistance = SIZE_MAX;
  auto consider = [&](std::string_view s, std::string_view k) {
    std::size_t d = EditDistance(key, k) * 2 + (s == section ? 0 : 1);
    if (d < bestDistance) bestDistance = d, best = "[" + std::string(s) + "] " + std::string(k);
  };
  for (const SettingDescriptor& setting : ProjectIni::Settings()) consider(setting.section, setting.key);
  consider(kOverridesSection, kOverridesKey);
  consider(kFilesSection, kWritableFoldersKey);
  return best;
}

bool IsWholeInteger(const std::string& text, long long& value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  value = std::strtoll(text.c_str(), &end, 10);
  return errno == 0 && end != text.c_str() && *end == '\0';
}

// Why `text` probably does not give the value its writer meant, or empty.
struct ConversionConcern {
  const std::string& text;
  std::string operator()(bool ProjectIni::*) const {
    std::string lower = qx::LowerCase(text);
    long long number = 0;
    if (lower == "true" || lower == "false" || IsWholeInteger(text, number)) return {};
    return std::string("is read as ") + (qx::ParseBool(text) ? "1 (on)" : "0 (off)") +
           "; write 1 or 0";
  }
  std::string operator()(std::int32_t ProjectIni::*) const { return IntegerConcern(false); }
  std::string operator()(std::uint32_t ProjectIni::*) const { return IntegerConcern(true); }
  std::string operator()(float ProjectIni::*) const {
    errno = 0;
    char* end = nullptr;
    float value = std::strtof(text.c_str(), &end);
    if (end == text.c_str()) return "is not a number; it is read as 0.0";
    if (errno == ERANGE) return "is out of the float range; it is read as 0.0";
    if (*end != '\0') return "has text after the number; it is read as " + Shown(qx::ParseFloat(text));
    if (!std::isfinite(value)) return "is not a finite number";
    return {};
  }

  std::string IntegerConcern(bool isUnsigned) const {
    long long number = 0;
    if (!IsWholeInteger(text, number)) {
      errno = 0;
      char* end = nullptr;
      std::strtoll(text.c_str(), &end, 10);
      if (end == text.c_str()) return "is not a whole number; it is read as 0";
      return "has text after the number; it is read as " + std::to_string(qx::ParseInt(text));
    }
    if (number < INT32_MIN || number > INT32_MAX) return "is out of range; it is read as 0";
    if (isUnsigned && number < 0) {
      return "is negative; it is read as " +
             std::to_string(static_cast<std::uint32_t>(static_cast<std::int32_t>(number)));
    }
    return {};
  }

  static std::string Shown(float value) {
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), "%f", static_cast<double>(value));
    return buffer;
  }
};

struct Snapshot {
  std::vector<std::string> values;  // FormatSettingValue of every setting, in table order
  bool interceptor, tweenMenu;

  static Snapshot Of(const ProjectIni& settings) {
    Snapshot snapshot{{}, settings.camEnableInterceptor, settings.camEnableTweenMenuChanges};
    for (const SettingDescriptor& setting : ProjectIni::Settings()) {
      snapshot.values.push_back(qx::FormatSettingValue(settings, setting));
    }
    return snapshot;
  }
};

// "0x006AC333, 0x006AC33A": the sites a step writes, as the log prints addresses.
std::string SiteList(std::span<const qx::StepSite> sites) {
  std::string list;
  for (const qx::StepSite& site : sites) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(site.span.site));
    list += list.empty() ? text : std::string(", ") + text;
  }
  return list;
}

std::string FolderOf(const std::string& path) {
  std::size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

// The file line by line as the plugin reads and parses it, with the plugin's own message for
// each line it skips, and entries that cannot name a loaded file whatever is loaded.
template <typename Problem>
void ListPriorityOverrides(const std::string& overridesPath, std::ostringstream& out, Problem& problem) {
  out << "  " << overridesPath << "\n";
  int entries = 0;
  qx::OverridesFileRead read = qx::ReadPriorityOverrideLines(overridesPath, [&](std::string_view line, int number) {
    qx::PriorityOverrideLine parsed = qx::ParsePriorityOverride(line, number);
    if (!parsed.isEntry) {
      problem(parsed.skipMessage);
      return;
    }
    std::string entry = "line " + std::to_string(number) + ": priority " + std::to_string(parsed.priority) +
                        " for '" + std::string(parsed.formText) + "'";
    if (parsed.formText.size() < qx::kMinimumFormTextLength) {
      problem(entry + " is too short to name a plugin file (six hex digits, '_', the file name); "
              "the plugin skips it as unrecognized");
    } else if (parsed.formText.find_last_not_of(" \t") != parsed.formText.size() - 1) {
      problem(entry + " ends in blanks, which count as part of the file name; the plugin skips it "
              "as unrecognized");
    } else {
      out << "    " << entry << "\n";
      ++entries;
    }
  });
  if (read == qx::OverridesFileRead::kNotOpened) {
    problem(overridesPath + " cannot be read; the plugin would register no overrides");
  } else if (read == qx::OverridesFileRead::kReadError) {
    problem(overridesPath + " could not be read to its end; the plugin stops at the same line");
  } else {
    out << "    " << entries << " entr" << (entries == 1 ? "y" : "ies")
        << " to resolve once the game's data is loaded\n";
  }
}

using qx::platform::NativePathString;
using qx::platform::NativeUnit;

// The game's folder when the checked file lies in <game>\Data\SKSE\Plugins\, where the
// plugin reads it; empty otherwise.
NativePathString GameFolderOf(const std::string& settingsPath) {
  NativePathString text = qx::platform::FilePath::FromScriptText(settingsPath).Native();
  NativeUnit room[qx::platform::kCurrentFolderRoom];
  NativePathString full;
  qx::io::PathRefusal refusal = qx::io::ResolveScriptPath<NativeUnit>(text, qx::platform::CurrentFolder(room), full);
  if (refusal == qx::io::PathRefusal::kNetwork) {
    full = qx::io::SystemFolder(text);  // a game on a share is the player's own
  } else if (refusal != qx::io::PathRefusal::kNone) {
    return {};
  }
  auto named = [](std::basic_string_view<NativeUnit> name, std::string_view expected) {
    if (name.size() != expected.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
      auto c = static_cast<std::uint32_t>(name[i]);
      if ((c >= 'A' && c <= 'Z' ? c + 0x20 : c) != static_cast<unsigned char>(expected[i])) return false;
    }
    return true;
  };
  std::basic_string_view<NativeUnit> folder(full);
  for (std::string_view expected : {std::string_view(), std::string_view("plugins"), std::string_view("skse"),
                                    std::string_view("data")}) {
    std::size_t cut = folder.rfind(NativeUnit('\\'));
    if (cut == std::basic_string_view<NativeUnit>::npos || cut + 1 == folder.size()) return {};
    if (!expected.empty() && !named(folder.substr(cut + 1), expected)) return {};
    folder = folder.substr(0, cut);
  }
  return qx::io::SystemFolder(folder);
}

// Where scripts may write: the two folders the plugin always allows, then each entry of the
// setting with the folder it opens, resolved as the plugin resolves it. Among the findings:
// an entry that names no usable folder, and one that opens a whole drive or the folders
// above the game's.
template <typename Problem>
void ListWritableFolders(const std::string& list, const std::string& settingsPath, std::ostringstream& out,
                         Problem& problem) {
  std::vector<std::string> entries = qx::io::SplitFolderList(list);
  NativePathString game = GameFolderOf(settingsPath);
  if (!game.empty()) {
    out << "  the game's folder (Data included): " << qx::platform::ShownPath(game) << "\n";
  } else {
    game = qx::io::SystemFolder(qx::platform::FilePath::FromScriptText("C:\\Games\\Skyrim").Native());
    out << "  the game's folder (Data included)\n";
    if (!entries.empty()) {
      out << "  (this file does not lie in <game>\\Data\\SKSE\\Plugins\\: relative entries are resolved "
             "against a stand-in for the game's folder, "
          << qx::platform::ShownPath(game) << ")\n";
    }
  }
  out << "  My Games\\Skyrim in your documents folder\n";
  for (const qx::io::SettingFolder& entry : qx::io::ResolveSettingFolders(entries, game)) {
    if (entry.refusal != qx::io::PathRefusal::kNone) {
      problem("[files] writablefolders: '" + entry.text + "' is not a usable folder path (" +
              qx::io::RefusalReason(entry.refusal) + "); the plugin leaves it out");
      continue;
    }
    std::string shown = qx::platform::ShownPath(entry.folder);
    std::string warning = qx::io::ReachWarning(entry);
    if (warning.empty()) {
      out << "  " << entry.text << " -> " << shown << "\n";
    } else {
      problem("[files] writablefolders: '" + entry.text + "' (" + shown + ") " + warning);
    }
  }
}

}  // namespace

std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0u : 1u)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

SettingsCheck CheckSettings(const std::string& path, std::string_view bytes) {
  SettingsCheck check;
  std::ostringstream out;
  auto problem = [&](const std::string& line) {
    out << "  ! " << line << "\n";
    ++check.problems;
  };

  qx::SettingsDocument document = qx::SettingsDocument::Parse(bytes);
  out << "Settings file: " << path << "\n";

  out << "Sections and keys:\n";
  std::string overridesFile;
  std::string writableFolders;
  for (const qx::SettingsSection& section : document.Sections()) {
    if (!IsKnownSection(section.name)) {
      problem("[" + section.name + "] is not a section of QXKit (the plugin logs its keys as "
              "unrecognized and ignores them); did you mean [" + ClosestSection(section.name) + "]?");
      continue;
    }
    for (const qx::SettingsPair& pair : section.pairs) {
      if (section.name == kOverridesSection && pair.key == kOverridesKey) {
        overridesFile = pair.value;
        continue;
      }
      if (section.name == kFilesSection && pair.key == kWritableFoldersKey) {
        writableFolders = pair.value;
        continue;
      }
      const SettingDescriptor* setting = FindSetting(section.name, pair.key);
      if (setting == nullptr) {
        problem("[" + section.name + "] " + pair.key + " is not a key of QXKit and is silently "
                "ignored; did you mean " + ClosestKey(section.name, pair.key) + "?");
        continue;
      }
      std::string concern = std::visit(ConversionConcern{pair.value}, setting->field);
      if (!concern.empty()) {
        problem("[" + section.name + "] " + pair.key + " = " + pair.value + ": " + concern);
      }
    }
  }

  // The plugin's own reading, then validation rule by rule, so each change has its reason.
  int consoleLevel = IDebugLog::consoleLevel;
  IDebugLog::consoleLevel = -1;  // the plugin's log lines are not this tool's output
  ProjectIni settings;
  settings.ReadWithoutValidating(document);
  std::vector<std::string> changes;
  Snapshot before = Snapshot::Of(settings);
  for (const qx::ValidationRule& rule : ProjectIni::ValidationRules()) {
    rule.apply(settings);
    Snapshot after = Snapshot::Of(settings);
    auto settingsList = ProjectIni::Settings();
    for (std::size_t i = 0; i < settingsList.size(); ++i) {
      if (before.values[i] == after.values[i]) continue;
      std::string line = std::string("[") + settingsList[i].section + "] " + settingsList[i].key +
                         ": " + before.values[i] + " -> " + after.values[i] + " (" + rule.why + ")";
      // A switch the file turned on and validation turned off is a feature that stays off.
      bool switchedOff = before.values[i] == "1" && after.values[i] == "0" &&
                         std::holds_alternative<bool ProjectIni::*>(settingsList[i].field);
      bool askedFor = false;
      for (const auto& section : document.Sections()) {
        if (section.name == settingsList[i].section && section.keyIndex.count(settingsList[i].key)) {
          askedFor = true;
        }
      }
      if (switchedOff && askedFor) {
        changes.push_back("! " + line);
        ++check.problems;
      } else {
        changes.push_back("  " + line);
      }
    }
    before = after;
  }
  IDebugLog::consoleLevel = consoleLevel;

  out << "Changed by validation:\n";
  if (changes.empty()) out << "  (nothing)\n";
  for (const std::string& line : changes) out << "  " << line << "\n";

  out << "Effective settings:\n";
  for (const SettingDescriptor& setting : ProjectIni::Settings()) {
    out << "  [" << setting.section << "] " << setting.key << " = "
        << qx::FormatSettingValue(settings, setting) << "\n";
  }
  out << "  camera interceptor switch = " << (settings.camEnableInterceptor ? 1 : 0) << "\n";
  out << "  tween menu changes switch = " << (settings.camEnableTweenMenuChanges ? 1 : 0) << "\n";

  out << "Patches that would be installed:\n";
  bool anyPatch = false;
  for (const qx::InstallStep& step : qx::InstallSteps()) {
    if (!step.guard(settings)) continue;
    out << "  " << step.feature << " (" << SiteList(step.sites)
        << (step.condition != nullptr ? std::string(", ") + step.condition : std::string())
        << ")\n";
    anyPatch = true;
  }
  if (!anyPatch) out << "  (none)\n";

  out << "Script classes that would be registered:\n";
  for (const qx::ScriptClassRegistration& entry : qx::ScriptClassRegistrations()) {
    if (entry.wanted(settings, true)) out << "  " << entry.functions().className << "\n";
  }

  out << "Priority overrides file:\n";
  if (overridesFile.empty()) {
    out << "  (none named)\n";
  } else {
    ListPriorityOverrides(FolderOf(path) + overridesFile, out, problem);
  }

  out << "Folders scripts may write in (reading reaches any local file):\n";
  ListWritableFolders(writableFolders, path, out, problem);

  out << (check.problems == 0 ? "Nothing needs attention.\n"
                              : std::to_string(check.problems) + " finding(s) need attention.\n");
  check.report = out.str();
  return check;
}

int RunSettingsCheck(const std::string& path) {
  std::string bytes;
  if (!qx::platform::ReadWholeFile(path.c_str(), bytes)) {
    std::fprintf(stderr, "qxkit: cannot read %s (the plugin would install nothing)\n", path.c_str());
    return 1;
  }
  SettingsCheck check = CheckSettings(path, bytes);
  std::fputs(check.report.c_str(), stdout);
  return check.problems == 0 ? 0 : 1;
}

}  // namespace qxtools
