// QXIOUtil as scripts use it: every call goes through the function's run slot, on real files
// in a folder of the test's own (a Windows path under Wine, a POSIX path on Linux).
#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "sim/Faults.h"
#include "sim/VmStrings.h"
#include "tests/host/PapyrusFixture.h"
#include "tests/host/SecondStart.h"
#include "tests/host/SystemThreads.h"

namespace {

using namespace qxtest;
using qx::papyrus::kType_Bool;
using qx::papyrus::kType_String;
using Lines = std::vector<std::string>;

// How a text-mode line feed lands on disk.
#ifdef _WIN32
const std::string kEnd = "\r\n";
#else
const std::string kEnd = "\n";
#endif

std::string OnDisk(const Lines& lines) {
  std::string bytes;
  for (const std::string& line : lines) bytes += line + kEnd;
  return bytes;
}

bool Call(const std::string& function, const std::vector<ScriptValue>& arguments) {
  ScriptValue result = Vm::CallNative("QXIOUtil", function, arguments);
  EXPECT_EQ(result.type, kType_Bool) << function;
  EXPECT_LE(result.data, 1u) << function;
  return result.data != 0;
}

std::string NextLine(const ScriptValue& path) {
  ScriptValue result = Vm::CallNative("QXIOUtil", "NextLine", {path});
  EXPECT_EQ(result.type, kType_String);
  return Vm::Text(result);
}

ScriptValue Load(const std::string& path, bool read, bool append, std::int32_t bufferSize) {
  return Vm::CallNative("QXIOUtil", "LoadFile",
                        {Vm::String(path), Vm::Bool(read), Vm::Bool(append), Vm::Int(bufferSize)});
}

class QXIOUtilScripts : public ::testing::Test {
 protected:
  void SetUp() override {
    BootForScripts();
    // Inside the game's folder, where scripts may write.
    folder_ = sim::JoinPath(sim::GameFolders::GameFolder(), "/Data/QXIOUtil tests");
    std::filesystem::create_directories(folder_);
    logged_ = LogLines().size();
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  // A path text inside the test's folder, with "/" before the name as scripts often write.
  [[nodiscard]] std::string In(const std::string& name) const { return folder_ + "/" + name; }
  // The path as the log shows it.
  [[nodiscard]] static std::string Logged(std::string path) {
    for (char& c : path) {
      if (c == '/') c = '\\';
    }
    return path;
  }
  // The plugin's log lines since the previous call.
  Lines NewLogLines() {
    Lines all = LogLines();
    Lines fresh(all.begin() + static_cast<std::ptrdiff_t>(logged_), all.end());
    logged_ = all.size();
    return fresh;
  }
  [[nodiscard]] static bool LoadFile(const std::string& path, bool read, bool append, std::int32_t size) {
    ScriptValue result = Load(path, read, append, size);
    EXPECT_EQ(result.type, kType_Bool);
    return result.data != 0;
  }
  // Every line, asking HasNextLine first as scripts do.
  static Lines ReadAll(const std::string& path) {
    Lines lines;
    while (Call("HasNextLine", {Vm::String(path)})) lines.push_back(NextLine(Vm::String(path)));
    return lines;
  }

  std::string folder_;
  std::size_t logged_ = 0;
};

TEST_F(QXIOUtilScripts, RegistersElevenFunctionsWithTheirScriptTypes) {
  struct Expected {
    const char* name;
    std::vector<std::uint32_t> parameters;
    std::uint32_t result;
  };
  const Expected expected[] = {
      {"ExistsFile", {2}, 5},  {"LoadFile", {2, 5, 5, 3}, 5}, {"CloseFile", {2}, 5},
      {"DeleteAnyFile", {2}, 5}, {"IsLoaded", {2}, 5},        {"IsGood", {2}, 5},
      {"IsReadOnly", {2}, 5},  {"IsWriteOnly", {2}, 5},       {"HasNextLine", {2}, 5},
      {"NextLine", {2}, 2},    {"WriteLine", {2, 2}, 5},
  };
  std::vector<qx::papyrus::IFunction*> functions = FunctionsOf("QXIOUtil");
  ASSERT_EQ(functions.size(), std::size(expected));
  for (std::size_t i = 0; i < functions.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_STREQ(functions[i]->name.data, expected[i].name);
    ASSERT_EQ(functions[i]->parameterCount, expected[i].parameters.size());
    for (std::size_t p = 0; p < expected[i].parameters.size(); ++p) {
      EXPECT_EQ(functions[i]->parameters[p].type, expected[i].parameters[p]);
    }
    EXPECT_EQ(functions[i]->resultType, expected[i].result);
  }
  Lines lines = LogLines();
  EXPECT_TRUE(HasLine(lines, "QX Papyrus: registered IO utils functions"));
}

TEST_F(QXIOUtilScripts, WritingReachesTheFileAFullBufferAtATimeAndTheRestOnClose) {
  std::string path = In("out.txt");
  ScriptValue p = Vm::String(path);
  ASSERT_TRUE(LoadFile(path, /*read=*/false, /*append=*/false, 2));
  EXPECT_EQ(NewLogLines(), (Lines{"QX IO Util: loading file '" + Logged(path) + "'...",
                                  "QX IO Util:   file successfully loaded"}));
  EXPECT_TRUE(Call("IsLoaded", {p}));
  EXPECT_TRUE(Call("IsGood", {p}));
  EXPECT_TRUE(Call("IsWriteOnly", {p}));
  EXPECT_FALSE(Call("IsReadOnly", {p}));
  EXPECT_FALSE(Call("HasNextLine", {p}));
  EXPECT_EQ(NextLine(p), "");

  EXPECT_TRUE(Call("WriteLine", {p, Vm::String("one")}));
  EXPECT_TRUE(Call("WriteLine", {p, Vm::String("\x07two")}));  // data like any other line
  EXPECT_EQ(sim::ReadFile(path), "");
  EXPECT_TRUE(Call("WriteLine", {p, Vm::String("three")}));
  EXPECT_EQ(sim::ReadFile(path), OnDisk({"one", "\x07two"}));
  EXPECT_TRUE(Call("CloseFile", {p}));
  EXPECT_EQ(sim::ReadFile(path), OnDisk({"one", "\x07two", "three"}));
  EXPECT_EQ(NewLogLines(), (Lines{"QX IO Util: closed file '" + Logged(path) + "'"}));

  // Closed: every query is false, and nothing more is written.
  for (const char* query : {"IsLoaded", "IsGood", "IsWriteOnly", "IsReadOnly", "CloseFile"}) {
    EXPECT_FALSE(Call(query, {p})) << query;
  }
  EXPECT_FALSE(Call("WriteLine", {p, Vm::String("late")}));
  EXPECT_EQ(sim::ReadFile(path), OnDisk({"one", "\x07two", "three"}));
}

TEST_F(QXIOUtilScripts, AppendAddsAfterTheTextAndWritingWithoutAppendEmptiesAtOnce) {
  std::string path = In("journal.txt");
  ASSERT_TRUE(sim::WriteFile(path, OnDisk({"old"})));
  ASSERT_TRUE(LoadFile(path, false, /*append=*/true, 10));
  EXPECT_TRUE(Call("WriteLine", {Vm::String(path), Vm::String("new")}));
  EXPECT_TRUE(Call("CloseFile", {Vm::String(path)}));
  EXPECT_EQ(sim::ReadFile(path), OnDisk({"old", "new"}));

  ASSERT_TRUE(LoadFile(path, false, /*append=*/false, 10));
  EXPECT_EQ(sim::ReadFile(path), "");
  EXPECT_TRUE(Call("CloseFile", {Vm::String(path)}));
  EXPECT_EQ(sim::ReadFile(path), "");

  // Either way a missing file is created.
  for (bool append : {false, true}) {
    std::string created = In(append ? "appended.txt" : "emptied.txt");
    EXPECT_FALSE(Call("ExistsFile", {Vm::String(created)}));
    ASSERT_TRUE(LoadFile(created, false, append, 1));
    EXPECT_TRUE(Call("ExistsFile", {Vm::String(created)}));
    EXPECT_TRUE(Call("CloseFile", {Vm::String(created)}));
  }
}

TEST_F(QXIOUtilScripts, ReadsBackExactlyWhatWasWritten) {
  const Lines written{"plain", "", "\x07 bell first", "tab\there", "  spaced  ", "",
                      std::string(20000, 'x'), "\x07", "last"};
  std::string path = In("round trip.txt");
  ScriptValue p = Vm::String(path);
  for (std::int32_t bufferSize : {1, 3, 2147483647}) {
    SCOPED_TRACE(bufferSize);
    ASSERT_TRUE(LoadFile(path, false, false, bufferSize));
    for (const std::string& line : written) EXPECT_TRUE(Call("WriteLine", {p, Vm::String(line)}));
    ASSERT_TRUE(Call("CloseFile", {p}));
    EXPECT_EQ(sim::ReadFile(path), OnDisk(written));

    ASSERT_TRUE(LoadFile(path, true, false, bufferSize));
    EXPECT_TRUE(Call("IsReadOnly", {p}));
    EXPECT_FALSE(Call("WriteLine", {p, Vm::String("not written")}));
    EXPECT_EQ(ReadAll(path), written);
    // At the end the one-character end marker, as often as asked.
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(NextLine(p), "\x07");
      EXPECT_FALSE(Call("HasNextLine", {p}));
    }
    EXPECT_TRUE(Call("CloseFile", {p}));
  }

  // A line longer than the reader's read-ahead block, with either line end around it: the reader
  // measures the line ahead and returns to it, in Windows' text mode as elsewhere.
  const std::string huge(3 << 20, 'h');
  for (const char* end : {"\n", "\r\n"}) {
    ASSERT_TRUE(sim::WriteFile(path, std::string("a") + end + huge + end + "b"));
    for (std::int32_t bufferSize : {1, 2147483647}) {
      ASSERT_TRUE(LoadFile(path, true, false, bufferSize));
      EXPECT_EQ(ReadAll(path), (Lines{"a", huge, "b"})) << bufferSize;
      EXPECT_TRUE(Call("CloseFile", {p}));
    }
  }

  // Files written elsewhere: either line end, a last line without one.
  ASSERT_TRUE(sim::WriteFile(path, "a\r\n\nb\nc"));
  ASSERT_TRUE(LoadFile(path, true, false, 2));
  EXPECT_EQ(ReadAll(path), (Lines{"a", "", "b", "c"}));
  EXPECT_TRUE(Call("CloseFile", {p}));
}

// A script copying one file into another line by line: each call names the file it means,
// and the game's copies of the two paths stay while the thread keeps them (known by their
// address), even when the call that made them is long over.
TEST_F(QXIOUtilScripts, AScriptAlternatingTwoFilesUsesEachAsItNamesIt) {
  const std::string source = In("alternating source.txt"), copy = In("alternating copy.txt");
  ASSERT_TRUE(sim::WriteFile(source, "1\n2\n3\n"));
  {
    sim::VmStrings::ShortLivedScope strings;
    ASSERT_TRUE(LoadFile(source, true, false, 1));
    ASSERT_TRUE(LoadFile(copy, false, false, 1));
    ScriptValue from = Vm::String(source), to = Vm::String(copy);
    while (Call("HasNextLine", {from})) EXPECT_TRUE(Call("WriteLine", {to, Vm::String(NextLine(from))}));
  }
  EXPECT_TRUE(sim::VmStrings::Holds(source));
  EXPECT_TRUE(sim::VmStrings::Holds(copy));
  EXPECT_TRUE(Call("CloseFile", {Vm::String(source)}));
  EXPECT_TRUE(Call("CloseFile", {Vm::String(copy)}));
  EXPECT_EQ(sim::ReadFile(copy), OnDisk({"1", "2", "3"}));

  // Two other paths take their places: the thread lets go of the first two.
  {
    sim::VmStrings::ShortLivedScope strings;
    EXPECT_FALSE(Call("IsLoaded", {Vm::String(In("third.txt"))}));
    EXPECT_FALSE(Call("IsLoaded", {Vm::String(In("fourth.txt"))}));
  }
  { sim::VmStrings::ShortLivedScope strings; }
  EXPECT_FALSE(sim::VmStrings::Holds(source));
  EXPECT_FALSE(sim::VmStrings::Holds(copy));
}

TEST_F(QXIOUtilScripts, AFileOpenForWritingIsWrittenOutBeforeItIsDeleted) {
  std::string path = In("doomed.txt");
  ScriptValue p = Vm::String(path);
  ASSERT_TRUE(LoadFile(path, false, false, 5));
  EXPECT_TRUE(Call("WriteLine", {p, Vm::String("buffered")}));
  NewLogLines();
  EXPECT_TRUE(Call("DeleteAnyFile", {p}));
  EXPECT_EQ(NewLogLines(), (Lines{"QX IO Util: closed file '" + Logged(path) + "'"}));
  EXPECT_FALSE(Call("ExistsFile", {p}));
  EXPECT_FALSE(Call("IsLoaded", {p}));

  // A file that is not open is opened for reading first, then closed and deleted.
  ASSERT_TRUE(sim::WriteFile(path, "x\n"));
  EXPECT_TRUE(Call("DeleteAnyFile", {p}));
  EXPECT_EQ(NewLogLines(), (Lines{"QX IO Util: loading file '" + Logged(path) + "'...",
                                  "QX IO Util:   file successfully loaded",
                                  "QX IO Util: closed file '" + Logged(path) + "'"}));
  EXPECT_FALSE(Call("ExistsFile", {p}));
  EXPECT_FALSE(Call("IsLoaded", {p}));

  // Nothing to delete.
  EXPECT_FALSE(Call("DeleteAnyFile", {p}));
  EXPECT_EQ(NewLogLines(), (Lines{"QX IO Util: loading file '" + Logged(path) + "'...",
                                  "QX IO Util:   file does not exist; aborting load"}));
}

TEST_F(QXIOUtilScripts, MissingFilesAndIllegalBufferSizesLeaveNothingOpen) {
  std::string missing = In("missing.txt");
  EXPECT_FALSE(Call("ExistsFile", {Vm::String(missing)}));
  EXPECT_FALSE(Call("ExistsFile", {Vm::String(In("no/such/folder.txt"))}));
  EXPECT_TRUE(Call("ExistsFile", {Vm::String(folder_)}));
  EXPECT_FALSE(LoadFile(missing, /*read=*/true, false, 4));
  EXPECT_EQ(NewLogLines(), (Lines{"QX IO Util: loading file '" + Logged(missing) + "'...",
                                  "QX IO Util:   file does not exist; aborting load"}));
  EXPECT_FALSE(Call("IsLoaded", {Vm::String(missing)}));
  EXPECT_FALSE(Call("CloseFile", {Vm::String(missing)}));

  // Scripts pass signed sizes; the log shows them as such, and no file is created.
  std::string path = In("sized.txt");
  for (std::int32_t size : {0, -5}) {
    EXPECT_FALSE(LoadFile(path, false, false, size));
    EXPECT_EQ(NewLogLines(), (Lines{"QX IO Util: loading file '" + Logged(path) + "'...",
                                    "QX IO Util:   illegal buffer size '" + std::to_string(size) + "'"}));
    EXPECT_FALSE(Call("IsLoaded", {Vm::String(path)}));
  }
  EXPECT_FALSE(Call("ExistsFile", {Vm::String(path)}));

  // A file that cannot be created.
  std::string unreachable = In("no/such/folder.txt");
  EXPECT_FALSE(LoadFile(unreachable, false, false, 1));
  EXPECT_EQ(NewLogLines(), (Lines{"QX IO Util: loading file '" + Logged(unreachable) + "'...",
                                  "QX IO Util:   could not open or create file"}));
}

TEST_F(QXIOUtilScripts, ArgumentsOfAnotherTypeNameNoFileAndWriteEmptyLines) {
  // A path given as an int or none reaches the functions as a reference to nothing.
  for (const ScriptValue& wrong : {Vm::Int(7), Vm::None(), Vm::Float(1.5f)}) {
    EXPECT_FALSE(Call("ExistsFile", {wrong}));
    EXPECT_FALSE(Call("IsLoaded", {wrong}));
    EXPECT_FALSE(Call("HasNextLine", {wrong}));
    EXPECT_EQ(NextLine(wrong), "");
    EXPECT_FALSE(Call("WriteLine", {wrong, Vm::String("x")}));
    EXPECT_FALSE(Call("CloseFile", {wrong}));
    EXPECT_FALSE(Call("DeleteAnyFile", {wrong}));
    EXPECT_FALSE(Call("LoadFile", {wrong, Vm::Bool(false), Vm::Bool(false), Vm::Int(1)}));
  }

  // A line given as another type is an empty line.
  std::string path = In("typed.txt");
  ASSERT_TRUE(LoadFile(path, false, false, 4));
  EXPECT_TRUE(Call("WriteLine", {Vm::String(path), Vm::Int(3)}));
  EXPECT_TRUE(Call("WriteLine", {Vm::String(path), Vm::String("after")}));
  EXPECT_TRUE(Call("CloseFile", {Vm::String(path)}));
  EXPECT_EQ(sim::ReadFile(path), OnDisk({"", "after"}));
}

// Each way around a folder confinement that has shipped elsewhere, aimed at a real file or
// folder that an unconfined write would reach: every write and delete is refused with one
// log line and nothing outside changes, while reading outside and writing inside work on.
TEST_F(QXIOUtilScripts, WritesAndDeletesStayInsideTheFoldersScriptsMayWriteIn) {
  const std::string game = sim::GameFolders::GameFolder();
  const std::string sandbox = std::filesystem::path(game).parent_path().string();
  const std::filesystem::path started = std::filesystem::current_path();
  std::filesystem::current_path(game);  // the game runs in its own folder
  for (const char* sibling : {"/SkyrimBackup", "/Skyrim Special"}) {
    std::filesystem::create_directories(sim::JoinPath(sandbox, sibling));
  }
  const std::string victim = sim::JoinPath(sandbox, "/victim.txt");
  ASSERT_TRUE(sim::WriteFile(victim, "keep\n"));
  const std::string ways[] = {
      victim,                                         // an absolute path outside
      "Data\\..\\..\\victim.txt",                     // ".." beyond a leading one
      sim::JoinPath(sandbox, "/SkyrimBackup/new.txt"),  // a sibling named like the game folder
      game + "//.//..//victim.txt",                   // a path left unnormalised
      game + "/Data/../../victim.txt",                // ".." inside the path
      "\\\\localhost\\share\\new.txt",                // a network path
      game + " Special/new.txt",                      // the folder compared as a text prefix
  };
  for (const std::string& way : ways) {
    SCOPED_TRACE(way);
    EXPECT_FALSE(LoadFile(way, /*read=*/false, /*append=*/false, 1));
    EXPECT_FALSE(LoadFile(way, /*read=*/false, /*append=*/true, 1));
    EXPECT_FALSE(Call("DeleteAnyFile", {Vm::String(way)}));
    Lines lines = NewLogLines();
    EXPECT_EQ(lines.size(), 3u);
    for (const std::string& line : lines) EXPECT_EQ(line.rfind("QX IO Util: refused ", 0), 0u) << line;
  }
  EXPECT_EQ(sim::ReadFile(victim), "keep\n");
  for (const char* sibling : {"/SkyrimBackup", "/Skyrim Special"}) {
    EXPECT_TRUE(std::filesystem::is_empty(sim::JoinPath(sandbox, sibling))) << sibling;
  }

  // Reading reaches any local file.
  EXPECT_TRUE(Call("ExistsFile", {Vm::String(victim)}));
  ASSERT_TRUE(LoadFile(victim, /*read=*/true, false, 1));
  EXPECT_EQ(ReadAll(victim), Lines{"keep"});
  EXPECT_TRUE(Call("CloseFile", {Vm::String(victim)}));

  // Writing and deleting inside the game's folder and its documents folder work as ever, on the
  // file Windows resolves the text to (the Linux build's file system is given that full path,
  // not the text: "Data." and "inside.txt. " are no names of its own there).
  const std::string inside[] = {"Data\\inside.txt", "Data/../Data/inside.txt", game + "/Data/inside.txt",
                                "Data.\\inside.txt. ",
                                sim::JoinPath(sim::GameFolders::DocumentsFolder(), "/My Games/Skyrim/inside.txt")};
  for (const std::string& path : inside) {
    SCOPED_TRACE(path);
    ASSERT_TRUE(LoadFile(path, /*read=*/false, /*append=*/true, 1));
    if (path.find("My Games") == std::string::npos) {
      EXPECT_TRUE(std::filesystem::exists(sim::JoinPath(game, "/Data/inside.txt")));
    }
    EXPECT_TRUE(Call("WriteLine", {Vm::String(path), Vm::String("mine")}));
    EXPECT_TRUE(Call("DeleteAnyFile", {Vm::String(path)}));
    EXPECT_FALSE(Call("ExistsFile", {Vm::String(path)}));
  }
  std::filesystem::current_path(started);
}

// What the player, the game and other programs depend on, in any spelling that resolves to
// it: no script creates, empties, appends to or deletes it (one log line a call, the file
// unchanged), while a mod's own files beside it are written and deleted as ever.
TEST_F(QXIOUtilScripts, NoScriptChangesWhatThePlayerTheGameAndOtherPluginsDependOn) {
  const std::string game = sim::GameFolders::GameFolder();
  const std::string docs = sim::JoinPath(sim::GameFolders::DocumentsFolder(), "/My Games/Skyrim");
  const std::filesystem::path started = std::filesystem::current_path();
  std::filesystem::current_path(game);
  struct Kept {
    std::string file;
    std::string bytes;
    std::vector<std::string> spellings;
  };
  const Kept kept[] = {
      {sim::GameFolders::PluginFile("qxKit.ini"), "[general]\n",
       {"Data\\SKSE\\Plugins\\qxKit.ini", "DATA/skse/plugins/QXKIT.INI", "Data\\SKSE\\Plugins\\qxKit.ini. ",
        "Data\\SKSE.\\.\\Plugins\\..\\Plugins\\qxKit.ini", game + "/Data/SKSE/Plugins/qxKit.ini"}},
      {sim::GameFolders::PluginFile("Other.json"), "{}\n", {"Data/SKSE/Plugins/Other.json"}},
      {sim::JoinPath(docs, "/Saves/Save 1.ess"), std::string("TESV_SAVEGAME\0\1", 15), {docs + "/Saves/Save 1.ess"}},
      {sim::JoinPath(docs, "/Saves/notes.txt"), "a note\n", {docs + "/saves/notes.txt"}},
      {sim::JoinPath(docs, "/Skyrim.ini"), "[General]\n", {docs + "/Skyrim.ini"}},
      {sim::JoinPath(game, "/SkyrimLauncher.ini"), "[x]\n", {"SkyrimLauncher.ini"}},
      {sim::JoinPath(game, "/Data/Update.esm"), "TES4", {"Data/Update.esm", "Data/UPDATE.ESM .."}},
      {sim::JoinPath(game, "/Data/Scripts/Quest.pex"), "pex", {"Data/Scripts/Quest.pex"}},
      {sim::JoinPath(game, "/Data/MyMod/run.bat"), "", {"Data/MyMod/run.bat"}},
      {sim::JoinPath(game, "/Data/Textures/MyMod/x.dds"), std::string("DDS |\0\0\0", 8), {"Data/Textures/MyMod/x.dds"}},
      {sim::JoinPath(game, "/Data/MyMod/data.bin"), std::string("abc\0def", 7), {"Data/MyMod/data.bin"}},
  };
  for (const Kept& file : kept) ASSERT_TRUE(sim::WriteFile(file.file, file.bytes));
  const std::string logStart = LogLines().front();
  for (const Kept& file : kept) {
    for (const std::string& spelling : file.spellings) {
      SCOPED_TRACE(spelling);
      EXPECT_FALSE(LoadFile(spelling, /*read=*/false, /*append=*/false, 1));
      EXPECT_FALSE(LoadFile(spelling, /*read=*/false, /*append=*/true, 1));
      EXPECT_FALSE(Call("DeleteAnyFile", {Vm::String(spelling)}));
      Lines lines = NewLogLines();
      EXPECT_EQ(lines.size(), 3u);
      for (const std::string& line : lines) EXPECT_EQ(line.rfind("QX IO Util: refused to write '", 0), 0u) << line;
      EXPECT_EQ(sim::ReadFile(file.file), file.bytes);
    }
  }
#ifdef _WIN32
  // A file reached by a short 8.3 name is the file its long name is: "BACKUP~1.SKS" is a
  // player's co-save whatever it holds.
  const std::string coSave = sim::JoinPath(game, "/Data/Backup Of Mine.skse");
  ASSERT_TRUE(sim::WriteFile(coSave, "text\n"));
  char shortName[MAX_PATH];
  DWORD length = GetShortPathNameA(coSave.c_str(), shortName, MAX_PATH);
  ASSERT_TRUE(length > 0 && length < MAX_PATH && std::strchr(shortName, '~') != nullptr) << shortName;
  const std::string spelt = std::string("Data\\") + (std::strrchr(shortName, '\\') + 1);  // in the game's folder
  EXPECT_FALSE(LoadFile(spelt, /*read=*/false, /*append=*/false, 1)) << spelt;
  EXPECT_FALSE(Call("DeleteAnyFile", {Vm::String(spelt)})) << spelt;
  EXPECT_EQ(sim::ReadFile(coSave), "text\n");
  (void)NewLogLines();
#endif
  // The plugin's own log, in any of its names.
  for (const std::string& log : {docs + "/SKSE/QXKit.log", docs + "/skse/qxkit.LOG2"}) {
    EXPECT_FALSE(LoadFile(log, /*read=*/false, /*append=*/false, 1)) << log;
    EXPECT_FALSE(Call("DeleteAnyFile", {Vm::String(log)})) << log;
  }
  EXPECT_EQ(LogLines().front(), logStart);

  // Reading them is as before; a mod's own files, text beside them, are written and deleted.
  std::filesystem::create_directories(sim::GameFolders::PluginFile("MyMod"));
  std::filesystem::create_directories(sim::JoinPath(docs, "/MyMod"));
  ASSERT_TRUE(LoadFile("Data\\SKSE\\Plugins\\qxKit.ini", /*read=*/true, false, 4));
  EXPECT_EQ(ReadAll("Data\\SKSE\\Plugins\\qxKit.ini"), Lines{"[general]"});
  EXPECT_TRUE(Call("CloseFile", {Vm::String("Data\\SKSE\\Plugins\\qxKit.ini")}));
  for (const std::string& own : {std::string("Data\\MyMod\\notes.txt"), std::string("Data\\SKSE\\Plugins\\MyMod\\settings.ini"),
                                 docs + "/MyMod/notes.txt", std::string("Data/MyMod/notes.txt")}) {
    SCOPED_TRACE(own);
    for (bool append : {false, true}) {
      ASSERT_TRUE(LoadFile(own, /*read=*/false, append, 1));
      EXPECT_TRUE(Call("WriteLine", {Vm::String(own), Vm::String("mine")}));
      EXPECT_TRUE(Call("CloseFile", {Vm::String(own)}));
    }
    EXPECT_TRUE(Call("DeleteAnyFile", {Vm::String(own)}));
    EXPECT_FALSE(Call("ExistsFile", {Vm::String(own)}));
  }
  std::filesystem::current_path(started);
}

// Paths that would leave the file system for another machine, a device or a stream reach
// nothing, whichever function is asked, each call with one log line that names the path.
TEST_F(QXIOUtilScripts, NetworkDeviceAndStreamPathsReachNothing) {
  const std::filesystem::path started = std::filesystem::current_path();
  std::filesystem::current_path(folder_);  // inside the game's folder: writing is allowed here
  ASSERT_TRUE(sim::WriteFile(In("x.txt"), "x\n"));
  const std::string forms[] = {
      "", "\\\\localhost\\c$\\x.txt", "//127.0.0.1/share/x.txt", "\\\\.\\COM1", "\\\\?\\" + Logged(In("x.txt")),
      "\\??\\C:\\x.txt", "x.txt:s", "x.txt::$DATA", "C:x.txt", "nul", "NUL.txt", "com1.log", "lpt9. ",
      "x\x01.txt", "x<y", "x>y", "x\"y", "x|y", "x?.txt", "*.txt", "...\\x.txt"};
  for (const std::string& form : forms) {
    SCOPED_TRACE(form);
    ScriptValue path = Vm::String(form);
    EXPECT_FALSE(Call("ExistsFile", {path}));
    EXPECT_FALSE(LoadFile(form, /*read=*/true, false, 1));
    EXPECT_FALSE(LoadFile(form, /*read=*/false, true, 1));
    EXPECT_FALSE(Call("DeleteAnyFile", {path}));
    EXPECT_FALSE(Call("IsLoaded", {path}));
    Lines lines = NewLogLines();
    EXPECT_EQ(lines.size(), 4u);
    for (const std::string& line : lines) EXPECT_EQ(line.rfind("QX IO Util: refused path '", 0), 0u) << line;
  }
  EXPECT_EQ(NewLogLines(), Lines{});
  EXPECT_EQ(sim::ReadFile(In("x.txt")), "x\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), {}), 1);
  std::filesystem::current_path(started);
}

// The player widens where scripts may write with [files] writablefolders: full folders, or
// folders relative to the game's; an entry that names no usable folder is logged and left out.
TEST(QXIOUtilWritableFolders, TheSettingWidensWhereScriptsMayWrite) {
  const std::string mods = sim::GameFolders::MakeTemporaryFolder();
  const std::string elsewhere = sim::GameFolders::MakeTemporaryFolder();
  ASSERT_TRUE(BootWithSettings("[files]\nwritablefolders= " + mods + " ;..\\Shared;\\\\localhost\\share;nul\n").loaded);
  const std::string shared = sim::JoinPath(std::filesystem::path(sim::GameFolders::GameFolder()).parent_path().string(), "/Shared");
  std::filesystem::create_directories(shared);
  for (const std::string& folder : {mods, shared, elsewhere}) {
    std::string path = sim::JoinPath(folder, "/x.txt");
    ScriptValue result = Load(path, /*read=*/false, /*append=*/false, 1);
    EXPECT_EQ(result.data != 0, folder != elsewhere) << folder;
    (void)Vm::CallNative("QXIOUtil", "CloseFile", {Vm::String(path)});
    EXPECT_EQ(std::filesystem::exists(path), folder != elsewhere) << folder;
  }
  Lines lines = LogLines();
  EXPECT_TRUE(HasLine(lines, "QX INI: filesWritableFolders set to " + mods + " ;..\\Shared;\\\\localhost\\share;nul"));
  // Each entry with the folder it opens.
  EXPECT_TRUE(HasLine(lines, "QX IO Util: writablefolders entry '" + mods + "' lets scripts write in '" + mods + "'"));
  EXPECT_TRUE(HasLine(lines, "QX IO Util: writablefolders entry '..\\Shared' lets scripts write in '" + shared + "'"));
  EXPECT_EQ(LinesStartingWith(lines, "QX IO Util: writablefolders entry ").size(), 2u);
  EXPECT_EQ(LinesStartingWith(lines, "QX IO Util: warning: ").size(), 0u);
  EXPECT_TRUE(HasLine(lines, "QX IO Util: scripts may not write in '\\\\localhost\\share': not a usable folder "
                             "path (network paths are not allowed)"));
  EXPECT_EQ(LinesStartingWith(lines, "QX IO Util: scripts may not write in 'nul'").size(), 1u);
  EXPECT_EQ(LinesStartingWith(lines, "QX IO Util: scripts may not write in ").size(), 2u);
  for (const std::string& folder : {mods, elsewhere}) std::filesystem::remove_all(folder);
}

// Scripts hold at most 256 files at once: past that LoadFile gives false with one log line
// however often a script tries, deleting a file still works, and closing one makes room.
TEST_F(QXIOUtilScripts, ScriptsHoldAtMost256FilesAtOnce) {
  std::vector<std::string> paths;
  for (int i = 0; i < 256; ++i) {
    paths.push_back(In("open-" + std::to_string(i) + ".txt"));
    ASSERT_TRUE(LoadFile(paths.back(), /*read=*/false, /*append=*/false, 4)) << i;
  }
  (void)NewLogLines();
  const std::string more = In("one-more.txt");
  for (bool read : {false, false, true}) EXPECT_FALSE(LoadFile(more, read, false, 4));
  Lines lines = NewLogLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("QX IO Util: refused to open '" + more + "': 256 files are open already", 0), 0u) << lines[0];
  EXPECT_FALSE(std::filesystem::exists(more));
  EXPECT_TRUE(LoadFile(paths[0], /*read=*/false, /*append=*/false, 4));  // open already: as ever
  EXPECT_TRUE(Call("WriteLine", {Vm::String(paths[0]), Vm::String("kept")}));
  ASSERT_TRUE(sim::WriteFile(In("old.txt"), "old\n"));
  EXPECT_TRUE(Call("DeleteAnyFile", {Vm::String(In("old.txt"))}));

  EXPECT_TRUE(Call("CloseFile", {Vm::String(paths[0])}));
  EXPECT_TRUE(LoadFile(more, /*read=*/false, /*append=*/false, 4));
  EXPECT_FALSE(LoadFile(In("and-one-more.txt"), /*read=*/false, /*append=*/false, 4));
  EXPECT_EQ(LinesStartingWith(NewLogLines(), "QX IO Util: refused to open ").size(), 1u);
  for (const std::string& path : paths) (void)Call("CloseFile", {Vm::String(path)});
  EXPECT_TRUE(Call("CloseFile", {Vm::String(more)}));
  EXPECT_EQ(sim::ReadFile(paths[0]), OnDisk({"kept"}));
}

// Lines a script wrote without CloseFile are in the file once the game has ended normally:
// the second run of this program writes them and ends as programs do (in the Windows build,
// QXKit.dll detaching from the ending process). So is the count of the log lines a script
// looping on a refused call had left out.
TEST(QXIOUtilAtTheEnd, LinesWrittenWithoutCloseFileAreInTheFileWhenTheGameEnds) {
  const bool second = IsSecondStart();
  if (second) UseTheFirstStartsFolders();
  sim::Game::Start();
  const std::string journal = sim::JoinPath(sim::GameFolders::GameFolder(), "/Data/journal.txt");
  if (second) {
    ASSERT_TRUE(sim::Game::Boot({}).loaded);
    ASSERT_TRUE(Load(journal, /*read=*/false, /*append=*/false, 100).data);
    for (const char* line : {"first", "second", "last"}) {
      EXPECT_TRUE(Vm::CallNative("QXIOUtil", "WriteLine", {Vm::String(journal), Vm::String(line)}).data);
    }
    const std::string outside = sim::JoinPath(sim::GameFolders::GameFolder(), "/../outside.txt");
    for (int i = 0; i < 1003; ++i) EXPECT_FALSE(Load(outside, /*read=*/false, /*append=*/true, 1).data);
    return;  // no CloseFile: the program ends
  }
  std::filesystem::create_directories(std::filesystem::path(journal).parent_path());
  EXPECT_EQ(RunSecondStart("QXIOUtilAtTheEnd.LinesWrittenWithoutCloseFileAreInTheFileWhenTheGameEnds"), 0);
  EXPECT_EQ(sim::ReadFile(journal), OnDisk({"first", "second", "last"}));
  Lines log = LogLines();
  EXPECT_TRUE(LinesStartingWith(log, "QX IO Util: left ").empty());
  EXPECT_EQ(LinesStartingWith(log, "QX IO Util: refused to write ").size(), 1000u);
  EXPECT_EQ(log.back().rfind("QX: left out 3 more lines like \"QX IO Util: refused to write '%.*s': %s\"", 0), 0u)
      << log.back();
}

// A script thread still opening, writing and closing a file when the game ends normally: the
// end goes on under it, and what it judges paths against is still there for its last calls.
std::string& gBusyPath = *new std::string;  // never destroyed: the thread uses it to the end
std::atomic<int> gBusyRounds{0};

void OpenWriteCloseForever(int) {
  ScriptValue path = Vm::String(gBusyPath);
  for (;;) {
    (void)Load(gBusyPath, /*read=*/false, /*append=*/true, 1);
    (void)Vm::CallNative("QXIOUtil", "WriteLine", {path, Vm::String("busy")});
    (void)Vm::CallNative("QXIOUtil", "CloseFile", {path});
    ++gBusyRounds;
  }
}

TEST(QXIOUtilAtTheEnd, AScriptThreadStillUsingFilesWhenTheGameEndsLetsItEndCleanly) {
  const bool second = IsSecondStart();
  if (second) UseTheFirstStartsFolders();
  sim::Game::Start();
  gBusyPath = sim::JoinPath(sim::GameFolders::GameFolder(), "/Data/busy.txt");
  if (second) {
    ASSERT_TRUE(sim::Game::Boot({}).loaded);
    // Never returns: the program ends under it once it is well under way.
    EXPECT_FALSE(RunOnSystemThreads(1, &OpenWriteCloseForever, std::chrono::milliseconds(50)));
    while (gBusyRounds.load() < 20) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return;
  }
  std::filesystem::create_directories(std::filesystem::path(gBusyPath).parent_path());
  EXPECT_EQ(RunSecondStart("QXIOUtilAtTheEnd.AScriptThreadStillUsingFilesWhenTheGameEndsLetsItEndCleanly"), 0);
  EXPECT_EQ(sim::ReadFile(gBusyPath).rfind(OnDisk({"busy"}), 0), 0u);
}

// A script that could rewrite qxKit.ini could widen where scripts may write from the next start
// on: at the first start it tries and is refused, so that at the second (this program run again
// in the same folders) writing outside is refused as ever.
TEST(QXIOUtilTwoStarts, NoScriptRewritesTheSettingsToLetItselfOutAtTheNextStart) {
  const bool second = IsSecondStart();
  if (second) UseTheFirstStartsFolders();
  const std::string settings = "[general]\nenablejumpbonusfix=1\n";
  ASSERT_TRUE((second ? sim::Game::Boot({}) : BootWithSettings(settings)).loaded);
  const std::string game = sim::GameFolders::GameFolder();
  const std::string outside = sim::JoinPath(std::filesystem::path(game).parent_path().string(), "/Outside");
  const std::string escape = sim::JoinPath(outside, "/escape.bat");
  std::filesystem::current_path(game);
  if (second) {
    EXPECT_FALSE(Load(escape, /*read=*/false, /*append=*/false, 1).data);
    EXPECT_FALSE(std::filesystem::exists(escape));
    EXPECT_TRUE(LinesStartingWith(LogLines(), "QX INI: filesWritableFolders").empty());
    return;
  }
  std::filesystem::create_directories(outside);
  for (const std::string& ini : {std::string("Data\\SKSE\\Plugins\\qxKit.ini"), std::string("data/skse/plugins/QXKIT.ini.")}) {
    ScriptValue path = Vm::String(ini);
    (void)Load(ini, /*read=*/false, /*append=*/true, 4);
    (void)Vm::CallNative("QXIOUtil", "WriteLine", {path, Vm::String("[files]")});
    (void)Vm::CallNative("QXIOUtil", "WriteLine", {path, Vm::String("writablefolders=" + outside)});
    (void)Vm::CallNative("QXIOUtil", "CloseFile", {path});
  }
  EXPECT_EQ(sim::ReadFile(sim::GameFolders::PluginFile("qxKit.ini")), settings);
  EXPECT_EQ(RunSecondStart("QXIOUtilTwoStarts.NoScriptRewritesTheSettingsToLetItselfOutAtTheNextStart"), 0);
  EXPECT_FALSE(std::filesystem::exists(escape));
}

// Whether a script creates `path`: LoadFile for writing admits it, and then the file is there.
bool Creates(const std::string& path) {
  bool admitted = Load(path, /*read=*/false, /*append=*/false, 1).data != 0;
  (void)Vm::CallNative("QXIOUtil", "CloseFile", {Vm::String(path)});
  EXPECT_EQ(std::filesystem::exists(path), admitted) << path;
  return admitted;
}

// An entry that opens a whole drive (or the file system) or every folder above and beside
// the game's is honoured, and the log says so.
TEST(QXIOUtilWritableFolders, EntriesThatOpenARootOrTheFoldersAboveTheGameAreCalledOut) {
  ASSERT_TRUE(BootWithSettings("[files]\nwritablefolders=\\;..\n").loaded);
  const std::string game = sim::GameFolders::GameFolder(), sandbox = std::filesystem::path(game).parent_path().string();
#ifdef _WIN32
  const std::string root = game.substr(0, 3),
                    rootWarning = "is a drive's root: it lets every script write anywhere on drive " + game.substr(0, 2);
#else
  const std::string root = "/", rootWarning = "is the file system's root: it lets every script write anywhere on it";
#endif
  Lines lines = LogLines();
  EXPECT_TRUE(HasLine(lines, "QX IO Util: writablefolders entry '\\' lets scripts write in '" + root + "'"));
  EXPECT_TRUE(HasLine(lines, "QX IO Util: warning: writablefolders entry '\\' " + rootWarning));
  EXPECT_TRUE(HasLine(lines, "QX IO Util: writablefolders entry '..' lets scripts write in '" + sandbox + "'"));
  EXPECT_TRUE(HasLine(lines, "QX IO Util: warning: writablefolders entry '..' lies above the game's folder: it lets "
                             "every script write in every folder above and beside the game's folder"));
  EXPECT_TRUE(Creates(sim::JoinPath(sandbox, "/beside.txt")));
}

// The game's folder is read whole however long its path: cut to a path's old length, and its
// last name then taken away, it was the folder above the game's.
TEST(QXIOUtilWritableFolders, AGameFolderOfAnyLengthIsReadWhole) {
  sim::Game::Start();
  const std::string sandbox = std::filesystem::path(sim::GameFolders::GameFolder()).parent_path().string();
  std::string above = sim::JoinPath(sandbox, "/"), game;
  above.append(230 - sandbox.size(), 'p');  // a cut at 259 characters falls inside the game's name
  game = sim::JoinPath(above, "/Skyrim ");
  game.append(60, 'g');
  sim::GameFolders::Use(game, sim::GameFolders::DocumentsFolder());
  BootForScripts();
  EXPECT_TRUE(Creates(sim::JoinPath(game, "/x.txt")));
  EXPECT_FALSE(Creates(sim::JoinPath(above, "/x.txt")));
}

// A game's folder and documents folder on a network share stay folders scripts may write
// in, and relative entries resolve against the game's folder there; only a script's text and
// the setting's entries may not name a share.
TEST(QXIOUtilWritableFolders, TheSystemsFoldersOnAShareStayAllowed) {
  sim::Game::Start();
  const std::string share = sim::GameFolders::MakeShareFolder(), game = sim::JoinPath(share, "/Skyrim");
  if (share.empty()) GTEST_SKIP() << "no share to put the folders on";
  sim::GameFolders::Use(game, sim::JoinPath(share, "/Documents"));
  ASSERT_TRUE(BootWithSettings("[files]\nwritablefolders=..\\Mods\n").loaded);
  Lines lines = LogLines();
  EXPECT_EQ(LinesStartingWith(lines, "QX IO Util: scripts may not write in ").size(), 0u);
  EXPECT_TRUE(HasLine(lines, "QX IO Util: writablefolders entry '..\\Mods' lets scripts write in '" +
                                 sim::JoinPath(share, "/Mods") + "'"));
#ifdef _WIN32  // the Linux build's current folder is never spelt as a share's
  const std::filesystem::path started = std::filesystem::current_path();
  std::filesystem::current_path(game);
  for (const char* folder : {"../Mods", "../Documents/My Games/Skyrim", "../Elsewhere"}) {
    std::filesystem::create_directories(folder);
  }
  for (const char* path : {"x.txt", "..\\Mods\\x.txt", "..\\Documents\\My Games\\Skyrim\\x.txt"}) {
    EXPECT_TRUE(Creates(path));
  }
  EXPECT_FALSE(Creates("..\\Elsewhere\\x.txt"));
  EXPECT_FALSE(Creates(game + "\\y.txt"));  // naming the share
  std::filesystem::current_path(started);
#endif
}

// A folder spelt in 8.3 short names (the game's, started by its short path; the current
// folder entered so) compares with a path in long names.
TEST(QXIOUtilWritableFolders, FoldersSpeltInShortNamesCompareByTheirLongNames) {
#ifndef _WIN32
  GTEST_SKIP() << "the Linux build's names have no short forms";
#else
  sim::Game::Start();
  const std::string sandbox = std::filesystem::path(sim::GameFolders::GameFolder()).parent_path().string();
  const std::string game = sim::JoinPath(sandbox, "/Skyrim Game Folder");
  std::filesystem::create_directories(game);
  char shortPath[MAX_PATH];
  DWORD length = GetShortPathNameA(game.c_str(), shortPath, MAX_PATH);
  ASSERT_TRUE(length > 0 && length < MAX_PATH) << game;
  // Only the game folder's own name in its short form: Wine's short names are hashes, and the
  // sandboxes beside this one may share this sandbox's (Windows' never collide).
  const std::string shortName = sandbox + "\\" + std::filesystem::path(shortPath).filename().string();
  ASSERT_NE(shortName.find('~'), std::string::npos) << shortName;
  sim::GameFolders::Use(shortName, sim::GameFolders::DocumentsFolder());
  BootForScripts();
  const std::filesystem::path started = std::filesystem::current_path();
  for (const std::string& current : {game, shortName}) {
    std::filesystem::current_path(current);
    EXPECT_TRUE(Creates(current == game ? "long.txt" : "short.txt")) << current;
    EXPECT_FALSE(Creates("..\\x.txt")) << current;
  }
  std::filesystem::current_path(started);
#endif
}

// Four script threads on two files: loads for append, writes, queries, reads and closes, a
// few thousand each, as mods sharing one journal. Every call returns (a wake-up lost by a
// file's lock leaves a thread asleep for good), and each line a write accepted is in its
// file once and whole.
constexpr int kRacingThreads = 4;
constexpr int kRacingRounds = 2000;
std::string gRacedPaths[2];
std::atomic<int> gRacedLines[2];

void RaceOnTwoFiles(int thread) {
  for (int round = 0; round < kRacingRounds; ++round) {
    int which = (thread + round) % 2;
    ScriptValue path = Vm::String(gRacedPaths[which]);
    (void)Load(gRacedPaths[which], /*read=*/false, /*append=*/true, 1 + round % 3);
    std::string line = "thread " + std::to_string(thread) + " round " + std::to_string(round);
    if (Vm::CallNative("QXIOUtil", "WriteLine", {path, Vm::String(line)}).data != 0) ++gRacedLines[which];
    (void)Vm::CallNative("QXIOUtil", "IsLoaded", {path});
    (void)Vm::CallNative("QXIOUtil", "HasNextLine", {path});
    (void)Vm::CallNative("QXIOUtil", "NextLine", {path});
    if (round % 3 == thread % 3) (void)Vm::CallNative("QXIOUtil", "CloseFile", {path});
  }
}

TEST_F(QXIOUtilScripts, ScriptThreadsRacingOnTwoFilesAllReturnAndLoseNoLine) {
  for (int which = 0; which < 2; ++which) gRacedPaths[which] = In("raced-" + std::to_string(which) + ".txt");
  ASSERT_TRUE(RunOnSystemThreads(kRacingThreads, &RaceOnTwoFiles, std::chrono::seconds(40)))
      << "script threads still inside file calls after 40 s";
  for (int which = 0; which < 2; ++which) {
    SCOPED_TRACE(gRacedPaths[which]);
    (void)Call("CloseFile", {Vm::String(gRacedPaths[which])});
    std::istringstream file(sim::ReadFile(gRacedPaths[which]));
    int lines = 0;
    for (std::string line; std::getline(file, line); ++lines) {
      int thread = -1, round = -1, used = 0;
      EXPECT_EQ(std::sscanf(line.c_str(), "thread %d round %d%n", &thread, &round, &used), 2) << line;
      EXPECT_EQ(static_cast<std::size_t>(used), line.size() - (line.back() == '\r' ? 1 : 0)) << line;
    }
    EXPECT_EQ(lines, gRacedLines[which].load());
  }
}

}  // namespace

// A disk that fills up part-way through a batch: the batches written before stay as they
// were, the file reads as no longer good and takes no more lines, the log names the file
// and the system's reason, and other files work on.
TEST_F(QXIOUtilScripts, AFullDiskKeepsWhatWasWrittenAndReportsTheFileNoLongerGood) {
  const std::string path = In("full.txt");
  const std::string line(20000, 'a');  // two lines a batch: 40 KB, the second batch overflows
  ASSERT_TRUE(LoadFile(path, false, false, 2));
  (void)NewLogLines();
  sim::Faults::LimitFileSize(64 * 1024);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(Call("WriteLine", {Vm::String(path), Vm::String(line)}));
  EXPECT_TRUE(Call("IsGood", {Vm::String(path)})) << "the first batch fitted";
  EXPECT_FALSE(Call("WriteLine", {Vm::String(path), Vm::String("after the disk filled")}));
  sim::Faults::LimitFileSize(0);

  EXPECT_FALSE(Call("IsGood", {Vm::String(path)}));
  EXPECT_TRUE(Call("IsLoaded", {Vm::String(path)}));
  std::string onDisk = sim::ReadFile(path);
  EXPECT_EQ(onDisk.substr(0, 2 * (line.size() + kEnd.size())), OnDisk({line, line}));
  EXPECT_LE(onDisk.size(), 64u * 1024u);
  Lines lines = NewLogLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "QX IO Util:   error writing file:");
  const std::string named = "QX IO Util:   '" + Logged(path) + "': ";
  ASSERT_EQ(lines[1].substr(0, named.size()), named);
  std::string reason = lines[1].substr(named.size());
  EXPECT_FALSE(reason.empty());
  EXPECT_EQ(reason.find("iostream error"), std::string::npos) << reason;
  EXPECT_EQ(reason.find("could not write"), std::string::npos) << reason;

  (void)Call("CloseFile", {Vm::String(path)});
  EXPECT_FALSE(Call("IsLoaded", {Vm::String(path)}));
  const std::string other = In("other.txt");
  ASSERT_TRUE(LoadFile(other, false, false, 1));
  EXPECT_TRUE(Call("WriteLine", {Vm::String(other), Vm::String("still writing")}));
  EXPECT_TRUE(Call("CloseFile", {Vm::String(other)}));
  EXPECT_EQ(sim::ReadFile(other), OnDisk({"still writing"}));
}
