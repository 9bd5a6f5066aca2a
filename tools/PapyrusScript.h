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

// One operand of a compiled instruction: a type byte, then its data.
struct CompiledValue {
  enum Type : std::uint8_t { kNone = 0, kIdentifier = 1, kString = 2, kInteger = 3, kFloat = 4, kBool = 5 };
  Type type = kNone;
  std::string text;        // an identifier's name or a string's text
  std::uint32_t bits = 0;  // an integer, a float's bits, a bool (0 or 1)
};

// The instructions our compiled scripts hold.
constexpr std::uint8_t kOpAssign = 0x0D;      // assign DEST SRC
constexpr std::uint8_t kOpCallMethod = 0x17;  // callmethod NAME OBJ RESULT, argument count, arguments
constexpr std::uint8_t kOpReturn = 0x1A;      // return VALUE

struct Instruction {
  std::uint8_t opcode = 0;
  std::vector<CompiledValue> values;  // as written: a call's argument count is one of them
};

constexpr std::uint8_t kFunctionGlobal = 0x01, kFunctionNative = 0x02;

struct ScriptFunction {
  std::string name;
  std::string returnType;  // "None" when the function returns nothing
  std::vector<ScriptParameter> parameters;
  std::string documentation;  // the { } comment, without braces; the compiled docstring
  std::uint8_t flags = kFunctionGlobal | kFunctionNative;
  std::vector<ScriptParameter> locals = {};
  std::vector<Instruction> code = {};

  [[nodiscard]] bool IsGlobalNative() const { return flags == (kFunctionGlobal | kFunctionNative); }
};

struct ScriptClass {
  std::string name;
  std::vector<ScriptFunction> functions;
};

// Parses a .psc that holds only the script line, `global native` declarations, their
// { } comments and ; comments. Sets `error` and returns nothing on anything else.
[[nodiscard]] std::optional<ScriptClass> ParsePapyrusSource(std::string_view text, std::string& error);
[[nodiscard]] std::string WritePapyrusSource(const ScriptClass& script);

// The four functions every compiler puts in the empty state of every script: GetState,
// GotoState, onEndState, onBeginState. They act only when an instance changes state, and
// our classes have none; the game has just never loaded a script without them.
[[nodiscard]] const std::vector<ScriptFunction>& StateFunctions();

// The compiled form: one hidden object, one empty state holding the script's functions
// and then the state functions. Refuses (sets `error`) what the format cannot hold: a name
// or docstring longer than 65 535 bytes, more than 65 535 names or functions, two
// functions or two parameters of one function whose names differ only by case.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> WriteCompiledScript(const ScriptClass& script,
                                                                           std::string& error);
// A strict reader of what WriteCompiledScript writes: every count, index, size, debug line
// count and instruction checked. Returns every function of the empty state, in file order.
[[nodiscard]] std::optional<ScriptClass> ReadCompiledScript(const std::vector<std::uint8_t>& bytes,
                                                            std::string& error);

// A compiled function as a decompiler lists it: the declaration, its { docstring }, then
// one line per local and per instruction, indented ("  callmethod onEndState self ::NoneVar").
[[nodiscard]] std::string Disassemble(const ScriptFunction& function);

// The compiled spelling of a type: built-ins capitalised, object types in lower case.
[[nodiscard]] std::string CompiledTypeName(std::string_view type);

}  // namespace qxtools
