#include "settings/IniFile.h"

#include "platform/Platform.h"
#include "skse/PluginPath.h"

namespace qx {
namespace {

constexpr std::string_view kBlanks = " \t\n\r\f\v";

std::vector<std::string> SplitLines(std::string_view bytes) {
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  std::vector<std::string> lines;
  if (bytes.empty()) return lines;
  std::string line;
  for (char c : bytes) {
    if (c == '\n') {
      lines.push_back(std::move(line));
      line.clear();
    } else if (c != '\r' && c != '\0') {
      line.push_back(c);
    }
  }
  lines.push_back(std::move(line));
  return lines;
}

// "key\=part = 5": the backslash-equals pair stands for an '=' inside the key. Copied in
// runs between the pairs: most lines hold none.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string replaced;
  replaced.reserve(text.size());
  for (std::size_t at = 0;;) {
    std::size_t found = text.find(from, at);
    if (found == std::string_view::npos) return replaced.append(text.substr(at));
    replaced.append(text.substr(at, found - at)).append(to);
    at = found + from.size();
  }
}

}  // namespace

std::string TrimBlanks(std::string_view text) {
  std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  std::size_t last = text.find_last_not_of(kBlanks);
  return std::string(text.substr(first, last - first + 1));
}

std::string LowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

void SettingsSection::Set(std::string key, std::string value) {
  auto [it, inserted] = keyIndex.try_emplace(key, pairs.size());
  if (inserted) {
    pairs.push_back({std::move(key), std::move(value)});
  } else {
    pairs[it->second].value = std::move(value);  // last value wins, first place stays
  }
}

SettingsSection& SettingsDocument::Open(std::string name) {
  auto [it, inserted] = sectionIndex_.try_emplace(name, sections_.size());
  if (inserted) sections_.push_back({std::move(name), {}, {}});
  return sections_[it->second];
}

SettingsDocument SettingsDocument::Parse(std::string_view bytes) {
  SettingsDocument document;
  SettingsSection* current = nullptr;
  for (const std::string& raw : SplitLines(bytes)) {
    std::string line = TrimBlanks(raw);
    if (line.empty() || line[0] == ';') continue;

    if (line[0] == '[') {
      std::size_t comment = line.find(';');
      if (comment != std::string::npos) line.resize(comment);
      std::size_t close = line.rfind(']');
      if (close != std::string::npos && close > 0) {
        current = &document.Open(LowerCase(TrimBlanks(std::string_view(line).substr(1, close - 1))));
        continue;
      }
    }

    std::string masked = ReplaceAll(line, "\\=", "  ");
    std::size_t equals = masked.find('=');
    if (equals == std::string::npos || current == nullptr) continue;
    std::string key = ReplaceAll(TrimBlanks(std::string_view(line).substr(0, equals)), "\\=", "=");
    current->Set(LowerCase(TrimBlanks(key)), TrimBlanks(std::string_view(line).substr(equals + 1)));
  }
  return document;
}

bool IniFile::Load() {
  if (!path_.empty()) return false;
  path_ = MakePluginPath(GetFileName());
  SetDefaults();

  std::string bytes;
  if (!platform::ReadWholeFile(path_.c_str(), bytes)) return false;

  Dispatch(SettingsDocument::Parse(bytes));
  Validate();
  return true;
}

void IniFile::Dispatch(const SettingsDocument& document) {
  for (const SettingsSection& section : document.Sections()) {
    for (const SettingsPair& pair : section.pairs) {
      HandleKey(LowerCase(section.name), LowerCase(pair.key), pair.value);
    }
  }
}

}  // namespace qx
