// Compiled scripts (.pex, format 3.2): every multi-byte field big-endian, names in a string
// table deduplicated without regard to case, one hidden object with one empty state.
#include <algorithm>
#include <cctype>
#include <unordered_map>

#include "tools/PapyrusScript.h"

namespace qxtools {
namespace {

constexpr std::uint32_t kMagic = 0xFA57C0DE;
constexpr std::uint8_t kMajorVersion = 3, kMinorVersion = 2;
constexpr std::uint16_t kGameId = 1;
constexpr std::uint32_t kHiddenObject = 0x00000001;
constexpr std::uint8_t kGlobalNative = 0x03;

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

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
  void Str(const std::string& s) {
    U16(static_cast<std::uint16_t>(s.size()));
    bytes.insert(bytes.end(), s.begin(), s.end());
  }
  void PatchU32(std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
  }
  std::vector<std::uint8_t> bytes;
};

class Reader {
 public:
  explicit Reader(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
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

}  // namespace

std::string CompiledTypeName(std::string_view type) {
  bool array = type.size() > 2 && type.substr(type.size() - 2) == "[]";
  std::string_view element = array ? type.substr(0, type.size() - 2) : type;
  for (std::string_view builtIn : {"None", "Int", "Float", "Bool", "String"}) {
    if (Lower(element) == Lower(builtIn)) return std::string(builtIn) + (array ? "[]" : "");
  }
  return Lower(element) + (array ? "[]" : "");
}

std::vector<std::uint8_t> WriteCompiledScript(const ScriptClass& script) {
  StringTable table;
  table.Index(script.name);
  const std::uint16_t empty = table.Index("");
  struct Names {
    std::uint16_t name, returnType;
    std::vector<std::pair<std::uint16_t, std::uint16_t>> parameters;
  };
  std::vector<Names> functions;
  for (const ScriptFunction& f : script.functions) {
    Names n{table.Index(f.name), table.Index(CompiledTypeName(f.returnType)), {}};
    for (const ScriptParameter& p : f.parameters) {
      std::uint16_t name = table.Index(p.name);
      n.parameters.emplace_back(name, table.Index(CompiledTypeName(p.type)));
    }
    functions.push_back(std::move(n));
  }
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
  w.U16(static_cast<std::uint16_t>(table.Strings().size()));
  for (const std::string& s : table.Strings()) w.Str(s);

  w.U8(1);  // debug info: one entry per function, no line numbers
  w.U64(0);
  w.U16(static_cast<std::uint16_t>(functions.size()));
  for (const Names& f : functions) {
    w.U16(0);
    w.U16(empty);
    w.U16(f.name);
    w.U8(0);
    w.U16(0);
  }

  w.U16(2);
  w.U16(hidden);
  w.U8(0);
  w.U16(conditional);
  w.U8(1);

  w.U16(1);  // one object
  w.U16(0);
  std::size_t sizeAt = w.bytes.size();
  w.U32(0);
  w.U16(empty);  // no parent
  w.U16(empty);  // no documentation
  w.U32(kHiddenObject);
  w.U16(empty);  // starts in the empty state
  w.U16(0);      // variables
  w.U16(0);      // properties
  w.U16(1);      // states
  w.U16(empty);
  w.U16(static_cast<std::uint16_t>(functions.size()));
  for (const Names& f : functions) {
    w.U16(f.name);
    w.U16(f.returnType);
    w.U16(empty);
    w.U32(0);
    w.U8(kGlobalNative);
    w.U16(static_cast<std::uint16_t>(f.parameters.size()));
    for (auto [name, type] : f.parameters) w.U16(name), w.U16(type);
    w.U16(0);  // locals
    w.U16(0);  // instructions
  }
  w.PatchU32(sizeAt, static_cast<std::uint32_t>(w.bytes.size() - sizeAt));
  return w.bytes;
}

std::optional<ScriptClass> ReadCompiledScript(const std::vector<std::uint8_t>& bytes,
                                              std::string& error) {
  Reader r(bytes);
  auto fail = [&](const std::string& why) {
    error = why + " (at byte " + std::to_string(r.Position()) + ")";
    return std::nullopt;
  };
  if (r.U32() != kMagic) return fail("not a big-endian compiled script");
  if (r.U8() != kMajorVersion || r.U8() != kMinorVersion) return fail("not format 3.2");
  if (r.U16() != kGameId) return fail("not for this game");
  r.U64();
  std::string source = r.Str();
  r.Str();
  r.Str();
  std::vector<std::string> strings(r.U16());
  for (std::string& s : strings) s = r.Str();
  if (!r.ok) return fail("truncated header");
  bool bad = false;
  auto ref = [&]() -> const std::string& {
    static const std::string none;
    std::uint16_t i = r.U16();
    if (i >= strings.size()) {
      bad = true;
      return none;
    }
    return strings[i];
  };

  if (r.U8() != 0) {
    r.U64();
    for (std::uint16_t n = r.U16(); n > 0 && r.ok; --n) {
      ref(), ref(), ref();
      if (r.U8() != 0) return fail("debug entry of a non-ordinary function");
      for (std::uint16_t lines = r.U16(); lines > 0 && r.ok; --lines) r.U16();
    }
  }
  for (std::uint16_t n = r.U16(); n > 0 && r.ok; --n) {
    ref();
    if (r.U8() > 31) return fail("user flag bit above 31");
  }
  if (r.U16() != 1) return fail("not exactly one object");
  ScriptClass script;
  script.name = ref();
  std::size_t sizeAt = r.Position();
  std::uint32_t size = r.U32();
  if (!ref().empty()) return fail("the object has a parent");
  ref();
  if (r.U32() != kHiddenObject) return fail("the object is not hidden");
  if (!ref().empty()) return fail("the object has an auto state");
  if (r.U16() != 0 || r.U16() != 0) return fail("the object has variables or properties");
  if (r.U16() != 1) return fail("not exactly one state");
  if (!ref().empty()) return fail("the state is not the empty state");
  for (std::uint16_t n = r.U16(); n > 0 && r.ok; --n) {
    ScriptFunction f;
    f.name = ref();
    f.returnType = ref();
    ref();
    if (r.U32() != 0) return fail("function user flags");
    if (r.U8() != kGlobalNative) return fail(f.name + " is not global native");
    for (std::uint16_t p = r.U16(); p > 0 && r.ok; --p) {
      ScriptParameter parameter;
      parameter.name = ref();
      parameter.type = ref();
      f.parameters.push_back(std::move(parameter));
    }
    if (r.U16() != 0 || r.U16() != 0) return fail(f.name + " has locals or instructions");
    script.functions.push_back(std::move(f));
  }
  if (!r.ok) return fail("truncated");
  if (bad) return fail("a string index outside the table");
  if (size != r.Position() - sizeAt) return fail("object size does not match");
  if (!r.AtEnd()) return fail("bytes after the object");
  if (source != script.name + ".psc") return fail("source name does not match the object");
  return script;
}

}  // namespace qxtools
