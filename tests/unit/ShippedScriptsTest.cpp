// The script sources that ship must parse, and compile into scripts our strict reader takes.
#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <sstream>
#include <utility>

#include "platform/Platform.h"
#include "tools/PapyrusScript.h"

namespace {

using namespace qxtools;

// What every compiled script holds beside its natives, as a decompiler lists it.
const char* const kStateFunctions =
    "String Function GetState()\n"
    "  return ::State\n"
    "Function GotoState(String newState)\n"
    "  None ::NoneVar\n"
    "  callmethod onEndState self ::NoneVar\n"
    "  assign ::State newState\n"
    "  callmethod onBeginState self ::NoneVar\n"
    "Function onEndState()\n"
    "Function onBeginState()\n";

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Each source is compiled as `qxkit compile` compiles it and read back with the strict
// reader: the natives in source order, each as declared and with its { } comment as its
// docstring, then the four state functions with their code.
TEST(ShippedScripts, EverySourceParsesAndCompiles) {
  const std::pair<const char*, std::size_t> classes[] = {
      {"QXAVPF", 1}, {"QXAEUtil", 5}, {"QXIOUtil", 11}, {"QXPapyrusFunc", 16}, {"QXStringUtil", 16}};
  for (auto [name, count] : classes) {
    SCOPED_TRACE(name);
    std::string text;
    std::string path = std::string(QX_SOURCE_DIR "/dist/Scripts/Source/") + name + ".psc";
    ASSERT_TRUE(qx::platform::ReadWholeFile(path.c_str(), text)) << path;
    std::string error;
    auto script = ParsePapyrusSource(text, error);
    ASSERT_TRUE(script) << error;
    EXPECT_EQ(script->name, name);
    EXPECT_EQ(script->functions.size(), count);
    std::set<std::string> names;
    for (const ScriptFunction& f : script->functions) {
      EXPECT_TRUE(names.insert(f.name).second) << "twice: " << f.name;
      EXPECT_FALSE(f.documentation.empty()) << f.name << " has no { } comment";
    }
    auto bytes = WriteCompiledScript(*script, error);
    ASSERT_TRUE(bytes) << error;
    auto compiled = ReadCompiledScript(*bytes, error);
    ASSERT_TRUE(compiled) << error;

    // The source's declaration lines, each with the comment line that follows it.
    std::vector<std::pair<std::string, std::string>> declared;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!declared.empty() && declared.back().second.empty()) declared.back().second = line;
      if (line.find("global native") != std::string::npos) declared.emplace_back(line, "");
    }
    std::vector<std::string> natives;
    std::string others;
    for (const ScriptFunction& f : compiled->functions) {
      if (f.IsGlobalNative()) natives.push_back(Disassemble(f));
      else others += Disassemble(f);
    }
    ASSERT_EQ(natives.size(), declared.size());
    for (std::size_t i = 0; i < natives.size(); ++i) {
      std::size_t end = natives[i].find('\n');
      // Object types are spelled in lower case once compiled; Papyrus ignores case.
      EXPECT_EQ(Lower(natives[i].substr(0, end)), Lower(declared[i].first));
      EXPECT_EQ(natives[i].substr(end + 1), declared[i].second + "\n") << declared[i].first;
    }
    EXPECT_EQ(others, kStateFunctions);
  }
}

}  // namespace

namespace {

// The README shows every declaration as it ships, so mod authors read what they compile against.
TEST(ShippedScripts, ReadmeShowsEveryDeclaration) {
  std::string readme;
  ASSERT_TRUE(qx::platform::ReadWholeFile(QX_SOURCE_DIR "/README.md", readme));
  for (const char* name : {"QXAVPF", "QXAEUtil", "QXIOUtil", "QXPapyrusFunc", "QXStringUtil"}) {
    std::string text;
    std::string path = std::string(QX_SOURCE_DIR "/dist/Scripts/Source/") + name + ".psc";
    ASSERT_TRUE(qx::platform::ReadWholeFile(path.c_str(), text));
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      if (line.find("global native") == std::string::npos) continue;
      EXPECT_NE(readme.find(line), std::string::npos) << "README lacks: " << line;
    }
  }
}

}  // namespace
