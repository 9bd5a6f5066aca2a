// What mod authors compile against must match what the plugin registers, both ways: every
// shipped declaration binds to a registered native of the same types, and every registered
// native is declared, in the script sources and in the compiled scripts made from them.
#include <map>

#include "tests/host/PapyrusFixture.h"
#include "tools/PapyrusScript.h"

namespace {

using namespace qxtest;
using qx::papyrus::IFunction;

const char* const kClasses[] = {"QXAVPF", "QXAEUtil", "QXIOUtil", "QXPapyrusFunc", "QXStringUtil"};

// The form type behind each game object class a script can name.
const std::map<std::string, std::uint32_t> kFormTypes = {
    {"actor", 0x3E},   {"activemagiceffect", 0x8B}, {"spell", 0x16},
    {"keyword", 0x04}, {"book", 0x1B},              {"sounddescriptor", 0x80}};

// The type code the VM sees for a script type; 0xFFFFFFFF for a type scripts cannot use.
std::uint32_t TypeCode(const std::string& scriptType) {
  std::string compiled = qxtools::CompiledTypeName(scriptType);
  static const std::map<std::string, std::uint32_t> kBuiltIn = {
      {"None", 0}, {"String", 2}, {"Int", 3}, {"Float", 4}, {"Bool", 5},
      {"String[]", 12}, {"Int[]", 13}, {"Float[]", 14}};
  if (auto found = kBuiltIn.find(compiled); found != kBuiltIn.end()) return found->second;
  bool array = compiled.size() > 2 && compiled.substr(compiled.size() - 2) == "[]";
  std::string element = array ? compiled.substr(0, compiled.size() - 2) : compiled;
  auto formType = kFormTypes.find(element);
  if (formType == kFormTypes.end()) return 0xFFFFFFFF;
  return ClassCode(formType->second) | (array ? 1u : 0u);
}

std::vector<qxtools::ScriptClass> ShippedSources() {
  std::vector<qxtools::ScriptClass> scripts;
  for (const char* name : kClasses) {
    std::string path = std::string(QX_SOURCE_DIR "/dist/Scripts/Source/") + name + ".psc";
    std::string text = sim::ReadFile(path), error;
    EXPECT_FALSE(text.empty()) << path;
    auto script = qxtools::ParsePapyrusSource(text, error);
    EXPECT_TRUE(script) << path << ": " << error;
    if (script) scripts.push_back(*script);
  }
  return scripts;
}

const IFunction* Registered(const std::string& className, const std::string& function) {
  for (const IFunction* f : Vm::RegisteredFunctions()) {
    if (className == f->className.data && function == f->name.data) return f;
  }
  return nullptr;
}

void ExpectSameDeclarations(const std::vector<qxtools::ScriptClass>& scripts) {
  std::size_t declared = 0;
  for (const qxtools::ScriptClass& script : scripts) {
    for (const qxtools::ScriptFunction& f : script.functions) {
      SCOPED_TRACE(script.name + "." + f.name);
      ++declared;
      const IFunction* native = Registered(script.name, f.name);
      ASSERT_NE(native, nullptr) << "declared but not registered";
      EXPECT_EQ(native->resultType, TypeCode(f.returnType)) << f.returnType;
      ASSERT_EQ(native->parameterCount, f.parameters.size());
      for (std::size_t p = 0; p < f.parameters.size(); ++p) {
        EXPECT_EQ(native->parameters[p].type, TypeCode(f.parameters[p].type)) << f.parameters[p].type;
      }
    }
  }
  EXPECT_EQ(declared, Vm::RegisteredFunctions().size()) << "registered but not declared";
}

void BootWithEveryClass() {
  sim::BootOptions options;
  options.settings = "[general]\nenableavpercentfix=1\n";
  ASSERT_TRUE(sim::Game::Boot(options).loaded);
  for (const char* name : kClasses) {
    bool found = false;
    for (const IFunction* f : Vm::RegisteredFunctions()) found = found || std::string(name) == f->className.data;
    EXPECT_TRUE(found) << name << " registered nothing";
  }
}

TEST(ScriptSources, DeclareExactlyWhatThePluginRegisters) {
  BootWithEveryClass();
  ExpectSameDeclarations(ShippedSources());
}

TEST(ScriptSources, CompiledScriptsDeclareExactlyWhatThePluginRegisters) {
  BootWithEveryClass();
  std::vector<qxtools::ScriptClass> compiled;
  for (const qxtools::ScriptClass& source : ShippedSources()) {
    std::string error;
    auto bytes = qxtools::WriteCompiledScript(source, error);
    ASSERT_TRUE(bytes) << source.name << ": " << error;
    auto read = qxtools::ReadCompiledScript(*bytes, error);
    ASSERT_TRUE(read) << source.name << ": " << error;
    // The natives; the state functions every script carries are no natives of ours.
    std::erase_if(read->functions, [](const qxtools::ScriptFunction& f) { return !f.IsGlobalNative(); });
    compiled.push_back(*read);
  }
  ExpectSameDeclarations(compiled);
}

}  // namespace
