#pragma once
// Keyword priorities for the artwork of magic effects: the overrides file is read while the
// settings are read, and its entries become keywords once the game's data is loaded.
//
// File format, one entry per line: a priority (base-10 integer), one or more blanks or tabs,
// then the load-independent form text of a keyword ("000D4E_Skyrim.esm"), taken whole.
#include <cstdint>
#include <string>

#include "skse/GameForms.h"

namespace qx {

class ProjectIni;

// Logs the path, then hands every line of the file to ParsePriorityOverrideLine. A file that
// cannot be opened gives no lines; a read error is logged and ends the reading.
void ReadPriorityOverridesFile(ProjectIni& settings, const std::string& path);

// Appends (form text, priority) to the pending lists, or logs why the line is skipped.
// `number` counts the file's lines from 0.
void ParsePriorityOverrideLine(ProjectIni& settings, const std::string& line, int number);

// Turns load-independent form text into the current form ID; 0 when its file is not loaded.
using FormTextResolver = game::FormID (*)(const std::string& text);
using FormLookup = game::TESForm* (*)(game::FormID formID);

// Resolves every pending entry to a keyword and enters it into KeywordPriorityTable (a
// keyword given twice keeps its last priority), logging each entry it skips; then empties
// the pending lists.
void RegisterPriorityOverrides(ProjectIni& settings, FormTextResolver resolve,
                               FormLookup lookup = &game::LookupFormByID);

}  // namespace qx
