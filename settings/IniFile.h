#pragma once
// The settings reader: finds its file in the game's Data\SKSE\Plugins folder, parses the
// whole INI file and hands each section/key/value, in file order, to the subclass.
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace qx {

// The parsed file: sections and their pairs in first-insertion order, names trimmed and
// lower-cased, values trimmed and otherwise as written.
struct SettingsPair {
  std::string key;
  std::string value;
};

struct SettingsSection {
  std::string name;
  std::vector<SettingsPair> pairs;
  std::unordered_map<std::string, std::size_t> keyIndex;

  void Set(std::string key, std::string value);
};

class SettingsDocument {
 public:
  // Parses the bytes of a whole file (a UTF-8 byte-order mark, CR and NUL are dropped).
  [[nodiscard]] static SettingsDocument Parse(std::string_view bytes);

  [[nodiscard]] const std::vector<SettingsSection>& Sections() const { return sections_; }

 private:
  SettingsSection& Open(std::string name);

  std::vector<SettingsSection> sections_;
  std::unordered_map<std::string, std::size_t> sectionIndex_;
};

class IniFile {
 public:
  // Builds the path, applies the defaults, reads the file, dispatches every pair and
  // validates. False when the file cannot be opened or the object was loaded before.
  bool Load();

  [[nodiscard]] const std::string& Path() const { return path_; }

 protected:
  IniFile() = default;
  ~IniFile() = default;  // never destroyed through this class

  // Hands every pair of the document to HandleKey, sections and pairs in file order.
  void Dispatch(const SettingsDocument& document);

  virtual std::string GetFileName() = 0;
  virtual void SetDefaults() = 0;
  virtual void HandleKey(std::string section, std::string key, std::string value) = 0;
  virtual void Validate() = 0;

 private:
  std::string path_;
};

// Trims " \t\n\r\f\v" from both ends.
[[nodiscard]] std::string TrimBlanks(std::string_view text);
// Lower-cases with C-locale rules, character by character.
[[nodiscard]] std::string LowerCase(std::string_view text);

}  // namespace qx
