// The strict reader of compiled scripts: it takes exactly what our writer produces and says
// where anything else goes wrong, so tests can read shipped files back field by field.
#include <bit>
#include <cstdio>
#include <set>

#include "tools/CompiledScriptFormat.h"
#include "tools/PapyrusScript.h"

namespace qxtools {
namespace {

using namespace pex;

// The instructions our scripts hold: the opcode, then a fixed number of values; a call adds
// an integer argument count and then that many values.
struct Opcode {
  std::uint8_t code;
  const char* mnemonic;
  int fixedValues;
  bool call;
};
constexpr Opcode kOpcodes[] = {
    {kOpAssign, "assign", 2, false}, {kOpCallMethod, "callmethod", 3, true}, {kOpReturn, "return", 1, false}};

const Opcode* FindOpcode(std::uint8_t code) {
  for (const Opcode& op : kOpcodes) {
    if (op.code == code) return &op;
  }
  return nullptr;
}

class Bytes {
 public:
  explicit Bytes(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
  bool ok = true;
  std::uint64_t Take(int n) {
    if (pos_ + n > bytes_.size()) {
      ok = false;
      return 0;
    }
    std::uint64_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 8) | bytes_[pos_++];
    return v;
  }
  std::uint8_t U8() { return static_cast<std::uint8_t>(Take(1)); }
  std::uint16_t U16() { return static_cast<std::uint16_t>(Take(2)); }
  std::uint32_t U32() { return static_cast<std::uint32_t>(Take(4)); }
  std::uint64_t U64() { return Take(8); }
  std::string Str() {
    std::uint16_t n = U16();
    if (!ok || pos_ + n > bytes_.size()) {
      ok = false;
      return {};
    }
    std::string s(bytes_.begin() + pos_, bytes_.begin() + pos_ + n);
    pos_ += n;
    return s;
  }
  [[nodiscard]] std::size_t Position() const { return pos_; }
  [[nodiscard]] bool AtEnd() const { return pos_ == bytes_.size(); }

 private:
  const std::vector<std::uint8_t>& bytes_;
  std::size_t pos_ = 0;
};

struct DebugEntry {
  std::string object, state, function;
  std::uint16_t lineCount;
};

class StrictReader {
 public:
  explicit StrictReader(const std::vector<std::uint8_t>& bytes) : in_(bytes) {}

  std::optional<ScriptClass> Read(std::string& error) {
    ScriptClass script;
    if (Header() && DebugInfo() && UserFlags() && Object(script) && DebugInfoAgrees(script) && End(script)) {
      return script;
    }
    error = error_;
    return std::nullopt;
  }

 private:
  bool Fail(const std::string& why) {
    if (error_.empty()) error_ = why + " (at byte " + std::to_string(in_.Position()) + ")";
    return false;
  }
  // Whether all went well up to here; a short file fails here, a bad value where it was read.
  bool Done(const std::string& part) {
    if (!in_.ok) Fail("truncated " + part);
    return error_.empty();
  }
  const std::string& Ref() {
    static const std::string kNothing;
    std::uint16_t i = in_.U16();
    if (!in_.ok) return kNothing;
    if (i >= strings_.size()) {
      Fail("a string index outside the table");
      return kNothing;
    }
    return strings_[i];
  }

  bool Header() {
    if (in_.U32() != kMagic) return Fail("not a big-endian compiled script");
    if (in_.U8() != kMajorVersion || in_.U8() != kMinorVersion) return Fail("not format 3.2");
    if (in_.U16() != kGameId) return Fail("not for this game");
    in_.U64();
    source_ = in_.Str();
    in_.Str();
    in_.Str();
    strings_.resize(in_.U16());
    for (std::string& s : strings_) s = in_.Str();
    return Done("header");
  }

  bool DebugInfo() {
    hasDebugInfo_ = in_.U8() != 0;
    if (!hasDebugInfo_) return Done("debug info");
    in_.U64();
    for (std::uint16_t n = in_.U16(); n > 0 && Done("debug info"); --n) {
      DebugEntry entry{Ref(), Ref(), Ref(), 0};
      if (in_.U8() != 0) return Fail("debug entry of a non-ordinary function");
      entry.lineCount = in_.U16();
      for (std::uint16_t line = 0; line < entry.lineCount && in_.ok; ++line) in_.U16();
      debug_.push_back(std::move(entry));
    }
    return Done("debug info");
  }

  bool UserFlags() {
    for (std::uint16_t n = in_.U16(); n > 0 && Done("user flags"); --n) {
      Ref();
      if (in_.U8() > 31) return Fail("user flag bit above 31");
    }
    return Done("user flags");
  }

  bool Object(ScriptClass& script) {
    if (in_.U16() != 1) return Fail("not exactly one object");
    script.name = Ref();
    std::size_t sizeAt = in_.Position();
    std::uint32_t size = in_.U32();
    if (!Ref().empty()) return Fail("the object has a parent");
    Ref();  // its docstring
    if (in_.U32() != kHiddenObject) return Fail("the object is not hidden");
    if (!Ref().empty()) return Fail("the object has an auto state");
    if (in_.U16() != 0 || in_.U16() != 0) return Fail("the object has variables or properties");
    if (in_.U16() != 1) return Fail("not exactly one state");
    if (!Ref().empty()) return Fail("the state is not the empty state");
    std::set<std::string> names;
    for (std::uint16_t n = in_.U16(); n > 0 && Done("object"); --n) {
      ScriptFunction f;
      if (!Function(f)) return false;
      if (!names.insert(Lower(f.name)).second) return Fail("two functions named " + f.name);
      script.functions.push_back(std::move(f));
    }
    if (!Done("object")) return false;
    if (size != in_.Position() - sizeAt) return Fail("object size does not match");
    return true;
  }

  bool Function(ScriptFunction& f) {
    f.name = Ref();
    f.returnType = Ref();
    f.documentation = Ref();
    if (in_.U32() != 0) return Fail(f.name + ": function user flags");
    f.flags = in_.U8();
    if (f.flags != 0 && !f.IsGlobalNative()) return Fail(f.name + " is neither global native nor ordinary");
    std::set<std::string> names;
    for (auto* list : {&f.parameters, &f.locals}) {
      for (std::uint16_t n = in_.U16(); n > 0 && Done(f.name); --n) {
        ScriptParameter variable;
        variable.name = Ref();
        variable.type = Ref();
        if (!names.insert(Lower(variable.name)).second) return Fail(f.name + ": two variables named " + variable.name);
        list->push_back(std::move(variable));
      }
    }
    std::uint16_t count = in_.U16();
    if (f.IsGlobalNative() && (!f.locals.empty() || count != 0)) {
      return Fail(f.name + " is native but has locals or instructions");
    }
    for (; count > 0 && Done(f.name); --count) {
      Instruction instruction;
      if (!Decode(instruction)) return false;
      f.code.push_back(std::move(instruction));
    }
    return Done(f.name);
  }

  bool Decode(Instruction& instruction) {
    instruction.opcode = in_.U8();
    const Opcode* op = FindOpcode(instruction.opcode);
    if (!Done("instruction")) return false;
    if (!op) return Fail("opcode " + std::to_string(instruction.opcode) + ", which our scripts never hold");
    for (int i = 0; i < op->fixedValues; ++i) instruction.values.push_back(Value());
    if (op->call) {
      CompiledValue count = Value();
      if (count.type != CompiledValue::kInteger || count.bits > 0x7FFFFFFF) {
        return Fail(std::string(op->mnemonic) + " without an argument count");
      }
      instruction.values.push_back(count);
      for (std::uint32_t n = count.bits; n > 0 && Done("instruction"); --n) instruction.values.push_back(Value());
    }
    return Done("instruction");
  }

  CompiledValue Value() {
    CompiledValue v;
    std::uint8_t type = in_.U8();
    switch (type) {
      case CompiledValue::kNone: break;
      case CompiledValue::kIdentifier:
      case CompiledValue::kString: v.text = Ref(); break;
      case CompiledValue::kInteger:
      case CompiledValue::kFloat: v.bits = in_.U32(); break;
      case CompiledValue::kBool:
        v.bits = in_.U8();
        if (v.bits > 1) Fail("a bool value other than 0 or 1");
        break;
      default: Fail("value of unknown type " + std::to_string(type));
    }
    v.type = static_cast<CompiledValue::Type>(type);
    return v;
  }

  // One debug entry per function of the state, each with a line number per instruction.
  bool DebugInfoAgrees(const ScriptClass& script) {
    if (!hasDebugInfo_) return true;
    if (debug_.size() != script.functions.size()) {
      return Fail("debug info lists " + std::to_string(debug_.size()) + " functions, the state holds " +
                  std::to_string(script.functions.size()));
    }
    for (const ScriptFunction& f : script.functions) {
      const DebugEntry* entry = nullptr;
      for (const DebugEntry& e : debug_) {
        if (Lower(e.function) == Lower(f.name)) entry = &e;
      }
      if (!entry) return Fail("no debug entry for " + f.name);
      if (Lower(entry->object) != Lower(script.name) || !entry->state.empty()) {
        return Fail("the debug entry of " + f.name + " names another object or state");
      }
      if (entry->lineCount != f.code.size()) {
        return Fail("the debug entry of " + f.name + " has " + std::to_string(entry->lineCount) +
                    " line numbers for " + std::to_string(f.code.size()) + " instructions");
      }
    }
    return true;
  }

  bool End(const ScriptClass& script) {
    if (!in_.AtEnd()) return Fail("bytes after the object");
    if (source_ != script.name + ".psc") return Fail("source name does not match the object");
    return true;
  }

  Bytes in_;
  std::string source_;
  std::vector<std::string> strings_;
  bool hasDebugInfo_ = false;
  std::vector<DebugEntry> debug_;
  std::string error_;
};

std::string Operand(const CompiledValue& v) {
  switch (v.type) {
    case CompiledValue::kIdentifier: return v.text;
    case CompiledValue::kString: return "\"" + v.text + "\"";
    case CompiledValue::kInteger: return std::to_string(static_cast<std::int32_t>(v.bits));
    case CompiledValue::kFloat: {
      char text[32];
      std::snprintf(text, sizeof text, "%g", static_cast<double>(std::bit_cast<float>(v.bits)));
      return text;
    }
    case CompiledValue::kBool: return v.bits ? "true" : "false";
    default: return "none";
  }
}

}  // namespace

std::optional<ScriptClass> ReadCompiledScript(const std::vector<std::uint8_t>& bytes, std::string& error) {
  return StrictReader(bytes).Read(error);
}

std::string Disassemble(const ScriptFunction& f) {
  std::string out;
  if (Lower(f.returnType) != "none") out += f.returnType + " ";
  out += "Function " + f.name + "(";
  for (std::size_t i = 0; i < f.parameters.size(); ++i) {
    out += (i ? ", " : "") + f.parameters[i].type + " " + f.parameters[i].name;
  }
  out += ")";
  if (f.flags & kFunctionGlobal) out += " global";
  if (f.flags & kFunctionNative) out += " native";
  out += "\n";
  if (!f.documentation.empty()) out += "{" + f.documentation + "}\n";
  for (const ScriptParameter& local : f.locals) out += "  " + local.type + " " + local.name + "\n";
  for (const Instruction& instruction : f.code) {
    const Opcode* op = FindOpcode(instruction.opcode);
    out += "  ";
    out += op ? op->mnemonic : "opcode " + std::to_string(instruction.opcode);
    for (std::size_t i = 0; i < instruction.values.size(); ++i) {
      // A call's argument count only says how many values follow.
      if (op && op->call && i == static_cast<std::size_t>(op->fixedValues)) continue;
      out += " " + Operand(instruction.values[i]);
    }
    out += "\n";
  }
  return out;
}

}  // namespace qxtools
