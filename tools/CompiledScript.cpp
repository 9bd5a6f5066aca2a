// Compiled scripts (.pex, format 3.2): every multi-byte field big-endian, names in a string
// table deduplicated without regard to case, one hidden object with one empty state.
#include <set>
#include <unordered_map>

#include "tools/CompiledScriptFormat.h"
#include "tools/PapyrusScript.h"

namespace qxtools {
namespace {

using namespace pex;

class StringTable {
 public:
  std::uint16_t Index(const std::string& text) {
    auto [it, inserted] = index_.try_emplace(Lower(text), static_cast<std::uint16_t>(strings_.size()));
    if (inserted) strings_.push_back(text);
    return it->second;
  }
  [[nodiscard]] const std::vector<std::string>& Strings() const { return strings_; }

 private:
  std::vector<std::string> strings_;
  std::unordered_map<std::string, std::uint16_t> index_;
};

class Writer {
 public:
  void U8(std::uint8_t v) { bytes.push_back(v); }
  void U16(std::uint16_t v) { U8(static_cast<std::uint8_t>(v >> 8)), U8(static_cast<std::uint8_t>(v)); }
  void U32(std::uint32_t v) { U16(static_cast<std::uint16_t>(v >> 16)), U16(static_cast<std::uint16_t>(v)); }
  void U64(std::uint64_t v) { U32(static_cast<std::uint32_t>(v >> 32)), U32(static_cast<std::uint32_t>(v)); }
  // Counts and string lengths are u16: anything larger would be written cut short.
  void Count(std::size_t n, const char* what) {
    if (n > kMaxCount && error.empty()) error = std::string("more than 65535 ") + what;
    U16(static_cast<std::uint16_t>(n));
  }
  void Str(const std::string& s) {
    if (s.size() > kMaxCount && error.empty()) error = "longer than 65535 bytes: " + s.substr(0, 40) + "...";
    U16(static_cast<std::uint16_t>(s.size()));
    bytes.insert(bytes.end(), s.begin(), s.end());
  }
  void PatchU32(std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
  }
  std::vector<std::uint8_t> bytes;
  std::string error;
};

CompiledValue Identifier(std::string name) { return {CompiledValue::kIdentifier, std::move(name), 0}; }
CompiledValue Integer(std::int32_t value) { return {CompiledValue::kInteger, {}, static_cast<std::uint32_t>(value)}; }

void WriteValue(Writer& w, StringTable& table, const CompiledValue& v) {
  w.U8(v.type);
  switch (v.type) {
    case CompiledValue::kIdentifier:
    case CompiledValue::kString: w.U16(table.Index(v.text)); break;
    case CompiledValue::kInteger:
    case CompiledValue::kFloat: w.U32(v.bits); break;
    case CompiledValue::kBool: w.U8(static_cast<std::uint8_t>(v.bits != 0)); break;
    default: break;
  }
}

void WriteVariables(Writer& w, StringTable& table, const std::vector<ScriptParameter>& variables) {
  w.Count(variables.size(), "parameters or locals");
  for (const ScriptParameter& v : variables) {
    w.U16(table.Index(v.name));
    w.U16(table.Index(CompiledTypeName(v.type)));
  }
}

// Names enter the string table in the order they are first written, as the compiler's do.
void WriteFunction(Writer& w, StringTable& table, const ScriptFunction& f) {
  w.U16(table.Index(f.name));
  w.U16(table.Index(CompiledTypeName(f.returnType)));
  w.U16(table.Index(f.documentation));
  w.U32(0);  // no user flags on functions
  w.U8(f.flags);
  WriteVariables(w, table, f.parameters);
  WriteVariables(w, table, f.locals);
  w.Count(f.code.size(), "instructions");
  for (const Instruction& instruction : f.code) {
    w.U8(instruction.opcode);
    for (const CompiledValue& v : instruction.values) WriteValue(w, table, v);
  }
}

// The VM finds functions and variables by name without regard to case.
bool NamesAreDistinct(const std::vector<const ScriptFunction*>& functions, std::string& error) {
  std::set<std::string> names;
  for (const ScriptFunction* f : functions) {
    if (!names.insert(Lower(f->name)).second) {
      error = "two functions named " + f->name;
      return false;
    }
    std::set<std::string> variables;
    for (const auto* list : {&f->parameters, &f->locals}) {
      for (const ScriptParameter& v : *list) {
        if (!variables.insert(Lower(v.name)).second) {
          error = f->name + ": two parameters named " + v.name;
          return false;
        }
      }
    }
  }
  return true;
}

}  // namespace

std::string CompiledTypeName(std::string_view type) {
  bool array = type.size() > 2 && type.substr(type.size() - 2) == "[]";
  std::string_view element = array ? type.substr(0, type.size() - 2) : type;
  for (std::string_view builtIn : {"None", "Int", "Float", "Bool", "String"}) {
    if (Lower(element) == Lower(builtIn)) return std::string(builtIn) + (array ? "[]" : "");
  }
  return Lower(element) + (array ? "[]" : "");
}

// A script's state is the VM's own hidden variable ::State, declared in no variable table.
// GotoState tells the state being left that it ends and the new one that it begins; the
// nothing those calls return goes to ::NoneVar.
const std::vector<ScriptFunction>& StateFunctions() {
  static const std::vector<ScriptFunction> functions = [] {
    auto call = [](const char* method) {
      return Instruction{kOpCallMethod, {Identifier(method), Identifier("self"), Identifier("::NoneVar"), Integer(0)}};
    };
    const Instruction returnState{kOpReturn, {Identifier("::State")}};
    const Instruction assignState{kOpAssign, {Identifier("::State"), Identifier("newState")}};
    return std::vector<ScriptFunction>{
        {"GetState", "String", {}, "", 0, {}, {returnState}},
        {"GotoState", "None", {{"newState", "String"}}, "", 0, {{"::NoneVar", "None"}},
         {call("onEndState"), assignState, call("onBeginState")}},
        {"onEndState", "None", {}, "", 0, {}, {}},
        {"onBeginState", "None", {}, "", 0, {}, {}},
    };
  }();
  return functions;
}

std::optional<std::vector<std::uint8_t>> WriteCompiledScript(const ScriptClass& script, std::string& error) {
  std::vector<const ScriptFunction*> functions;
  for (const ScriptFunction& f : script.functions) functions.push_back(&f);
  for (const ScriptFunction& f : StateFunctions()) functions.push_back(&f);
  if (!NamesAreDistinct(functions, error)) return std::nullopt;

  // The object first, so that every name is in the table before the table is written.
  StringTable table;
  table.Index(script.name);
  const std::uint16_t empty = table.Index("");
  Writer object;
  object.U16(0);  // its name, the script's
  const std::size_t sizeAt = object.bytes.size();
  object.U32(0);
  object.U16(empty);  // no parent
  object.U16(empty);  // no documentation
  object.U32(kHiddenObject);
  object.U16(empty);  // starts in the empty state
  object.U16(0);      // variables
  object.U16(0);      // properties
  object.U16(1);      // states
  object.U16(empty);
  object.Count(functions.size(), "functions");
  for (const ScriptFunction* f : functions) WriteFunction(object, table, *f);
  // The size counts its own four bytes and everything after them in the object.
  object.PatchU32(sizeAt, static_cast<std::uint32_t>(object.bytes.size() - sizeAt));
  const std::uint16_t hidden = table.Index("hidden");
  const std::uint16_t conditional = table.Index("conditional");

  Writer w;
  w.U32(kMagic);
  w.U8(kMajorVersion);
  w.U8(kMinorVersion);
  w.U16(kGameId);
  w.U64(0);  // compile time fixed, so builds are reproducible
  w.Str(script.name + ".psc");
  w.Str("");
  w.Str("");
  w.Count(table.Strings().size(), "names");
  for (const std::string& s : table.Strings()) w.Str(s);

  w.U8(1);  // debug info: one entry per function, line 0 for each instruction
  w.U64(0);
  w.Count(functions.size(), "functions");
  for (const ScriptFunction* f : functions) {
    w.U16(0);
    w.U16(empty);
    w.U16(table.Index(f->name));
    w.U8(0);  // an ordinary function, not a property's
    w.Count(f->code.size(), "instructions");
    for (std::size_t line = 0; line < f->code.size(); ++line) w.U16(0);
  }

  w.U16(2);
  w.U16(hidden);
  w.U8(0);
  w.U16(conditional);
  w.U8(1);

  w.U16(1);  // one object
  w.bytes.insert(w.bytes.end(), object.bytes.begin(), object.bytes.end());
  if (!object.error.empty() || !w.error.empty()) {
    error = script.name + ": " + (w.error.empty() ? object.error : w.error);
    return std::nullopt;
  }
  return w.bytes;
}

}  // namespace qxtools
