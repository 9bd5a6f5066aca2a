#pragma once
// A script class as mod authors compile against it: `Scriptname <class> Hidden`, then one
// `global native` function declaration per native. Read from and written to Papyrus source
// (.psc) and compiled script (.pex, format 3.2, big-endian) files.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qxtools {

struct ScriptParameter {
  std::string name;
  std::string type;  // Papyrus spelling: Int, Float, Bool, String, Actor, Int[], ...
};

struct ScriptFunction {
  std::string name;
  std::string returnType;  // "None" when the function returns nothing
  std::vector<ScriptParameter> parameters;
  std::string documentation;  // the { } comment, without braces
};

struct ScriptClass {
  std::string name;
  std::vector<ScriptFunction> functions;
};

// Parses a .psc that holds only the script line, `global native` declarations, their
// { } comments and ; comments. Sets `error` and returns nothing on anything else.
[[nodiscard]] std::optional<ScriptClass> ParsePapyrusSource(std::string_view text, std::string& error);
[[nodiscard]] std::string WritePapyrusSource(const ScriptClass& script);

// The compiled form: one hidden object, one empty state, every function global native.
[[nodiscard]] std::vector<std::uint8_t> WriteCompiledScript(const ScriptClass& script);
// A strict reader of what WriteCompiledScript writes: every count, index and size checked.
[[nodiscard]] std::optional<ScriptClass> ReadCompiledScript(const std::vector<std::uint8_t>& bytes,
                                                            std::string& error);

// The compiled spelling of a type: built-ins capitalised, object types in lower case.
[[nodiscard]] std::string CompiledTypeName(std::string_view type);

}  // namespace qxtools
