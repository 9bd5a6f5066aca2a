#include <cctype>
#include <sstream>

#include "tools/PapyrusScript.h"

namespace qxtools {
namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// Splits a declaration line into identifiers, brackets and punctuation.
std::vector<std::string> Tokens(std::string_view line) {
  std::vector<std::string> tokens;
  for (std::size_t i = 0; i < line.size();) {
    unsigned char c = static_cast<unsigned char>(line[i]);
    if (std::isspace(c)) {
      ++i;
    } else if (std::isalnum(c) || c == '_') {
      std::size_t j = i;
      while (j < line.size() && (std::isalnum(static_cast<unsigned char>(line[j])) || line[j] == '_')) ++j;
      std::string word(line.substr(i, j - i));
      if (line.substr(j, 2) == "[]") word += "[]", j += 2;
      tokens.push_back(word);
      i = j;
    } else {
      tokens.emplace_back(1, line[i++]);
    }
  }
  return tokens;
}

}  // namespace

std::optional<ScriptClass> ParsePapyrusSource(std::string_view text, std::string& error) {
  ScriptClass script;
  std::istringstream in{std::string(text)};
  std::string line;
  int number = 0;
  bool inDocumentation = false;
  auto fail = [&](const std::string& why) {
    error = "line " + std::to_string(number) + ": " + why;
    return std::nullopt;
  };
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string_view rest = line;
    if (inDocumentation) {
      std::size_t close = rest.find('}');
      std::string part(rest.substr(0, close));
      if (script.functions.empty()) return fail("documentation before any function");
      std::string& doc = script.functions.back().documentation;
      doc += (doc.empty() ? "" : " ") + part;
      if (close == std::string_view::npos) continue;
      inDocumentation = false;
      rest = rest.substr(close + 1);
    }
    // A ';' starts a comment, except inside a { } documentation comment.
    std::size_t open = rest.find('{');
    if (std::size_t semicolon = rest.find(';'); semicolon < open) {
      rest = rest.substr(0, semicolon);
      open = std::string_view::npos;
    }
    if (open != std::string_view::npos) {
      if (script.functions.empty()) return fail("documentation before any function");
      std::size_t close = rest.find('}', open);
      script.functions.back().documentation = std::string(rest.substr(open + 1, close - open - 1));
      inDocumentation = close == std::string_view::npos;
      rest = rest.substr(0, open);
    }
    std::vector<std::string> t = Tokens(rest);
    if (t.empty()) continue;
    if (EqualsIgnoringCase(t[0], "Scriptname")) {
      if (!script.name.empty()) return fail("a second Scriptname");
      if (t.size() != 3 || !EqualsIgnoringCase(t[2], "Hidden")) {
        return fail("expected: Scriptname <name> Hidden");
      }
      script.name = t[1];
      continue;
    }
    if (script.name.empty()) return fail("a declaration before Scriptname");
    // [<Type>] Function <Name> ( [<Type> <name> {, <Type> <name>}] ) global native
    ScriptFunction function;
    std::size_t i = 0;
    if (!EqualsIgnoringCase(t[0], "Function")) function.returnType = t[i++];
    else function.returnType = "None";
    if (i + 2 >= t.size() || !EqualsIgnoringCase(t[i], "Function") || t[i + 2] != "(") {
      return fail("expected: <Type> Function <Name>(...) global native");
    }
    function.name = t[i + 1];
    i += 3;
    while (i < t.size() && t[i] != ")") {
      if (i + 1 >= t.size()) return fail("unfinished parameter list");
      function.parameters.push_back({t[i + 1], t[i]});
      i += 2;
      if (i < t.size() && t[i] == ",") ++i;
    }
    if (i + 3 != t.size() || !EqualsIgnoringCase(t[i + 1], "global") ||
        !EqualsIgnoringCase(t[i + 2], "native")) {
      return fail("every function must be declared global native");
    }
    script.functions.push_back(std::move(function));
  }
  if (script.name.empty()) return fail("no Scriptname");
  return script;
}

std::string WritePapyrusSource(const ScriptClass& script) {
  std::ostringstream out;
  out << "Scriptname " << script.name << " Hidden\n";
  for (const ScriptFunction& f : script.functions) {
    out << "\n";
    if (f.returnType != "None") out << f.returnType << " ";
    out << "Function " << f.name << "(";
    for (std::size_t i = 0; i < f.parameters.size(); ++i) {
      out << (i ? ", " : "") << f.parameters[i].type << " " << f.parameters[i].name;
    }
    out << ") global native\n";
    if (!f.documentation.empty()) out << "{" << f.documentation << "}\n";
  }
  return out.str();
}

}  // namespace qxtools
