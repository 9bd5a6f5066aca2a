// The script sources that ship must parse, and compile into scripts our strict reader takes.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <utility>

#include "platform/Platform.h"
#include "tools/PapyrusScript.h"

namespace {

using namespace qxtools;

TEST(ShippedScripts, EverySourceParsesAndCompiles) {
  const std::pair<const char*, std::size_t> classes[] = {
      {"QXAVPF", 1}, {"QXAEUtil", 5}, {"QXIOUtil", 11}, {"QXPapyrusFunc", 16}, {"QXStringUtil", 16}};
  for (auto [name, count] : classes) {
    std::string text;
    std::string path = std::string(QX_SOURCE_DIR "/dist/Scripts/Source/") + name + ".psc";
    ASSERT_TRUE(qx::platform::ReadWholeFile(path.c_str(), text)) << path;
    std::string error;
    auto script = ParsePapyrusSource(text, error);
    ASSERT_TRUE(script) << name << ": " << error;
    EXPECT_EQ(script->name, name);
    EXPECT_EQ(script->functions.size(), count) << name;
    std::set<std::string> names;
    for (const ScriptFunction& f : script->functions) {
      EXPECT_TRUE(names.insert(f.name).second) << "twice: " << f.name;
      EXPECT_FALSE(f.documentation.empty()) << f.name << " has no { } comment";
    }
    auto compiled = ReadCompiledScript(WriteCompiledScript(*script), error);
    ASSERT_TRUE(compiled) << name << ": " << error;
    EXPECT_EQ(compiled->functions.size(), script->functions.size());
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
