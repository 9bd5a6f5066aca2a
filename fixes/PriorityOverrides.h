#pragma once
// Keyword priorities for the artwork of magic effects: the overrides file is read while the
// settings are read, and its entries become keywords once the game's data is loaded.
//
// File format, one entry per line: a priority (base-10 integer), one or more blanks or tabs,
// then the load-independent form text of a keyword ("000D4E_Skyrim.esm"), taken whole.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "skse/GameForms.h"

namespace qx {

class ProjectIni;

// Load-independent form text: six digits of local ID, one separator, then the file name.
// Shorter text names no file and is skipped as unrecognized.
inline constexpr std::size_t kMinimumFormTextLength = 7;

// Logs the path, then hands every line of the file to ParsePriorityOverrideLine. A file that
// cannot be opened gives no lines; a read error is logged and ends the reading.
void ReadPriorityOverridesFile(ProjectIni& settings, const std::string& path);

enum class OverridesFileRead { kRead, kNotOpened, kReadError };
// The file's lines as the plugin reads them (text mode, without their line feeds; a last
// line without one counts), each with its number from 0. A read error ends the lines.
OverridesFileRead ReadPriorityOverrideLines(const std::string& path,
                                            const std::function<void(std::string_view line, int number)>& onLine);

// What one line of the file gives: an entry, or the log line that says why it is skipped.
struct PriorityOverrideLine {
  bool isEntry = false;
  std::int32_t priority = 0;
  std::string_view formText;  // in the line, taken whole, trailing blanks included
  std::string skipMessage;  // the log line, when it is no entry
};
[[nodiscard]] PriorityOverrideLine ParsePriorityOverride(std::string_view line, int number);

// Appends (form text, priority) to the pending lists, or logs why the line is skipped.
// `number` counts the file's lines from 0.
void ParsePriorityOverrideLine(ProjectIni& settings, std::string_view line, int number);

// Turns load-independent form text into the current form ID; 0 when its file is not loaded.
using FormTextResolver = std::function<game::FormID(std::string_view text)>;
using FormLookup = game::TESForm* (*)(game::FormID formID);

// Resolves every pending entry to a keyword and enters it into KeywordPriorityTable (a
// keyword given twice keeps its last priority), logging each entry it skips; then empties
// the pending lists.
void RegisterPriorityOverrides(ProjectIni& settings, const FormTextResolver& resolve,
                               FormLookup lookup = &game::LookupFormByID);

}  // namespace qx
