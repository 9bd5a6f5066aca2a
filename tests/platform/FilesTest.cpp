// The operating-system seam for script files, run against each system: natively on Linux,
// under Wine for the Windows build. Only the seam is linked in, never the plugin, but for the
// pure judge of script paths, whose full paths are compared with the system's own.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "papyrus/files/ScriptPathJudge.h"
#include "platform/Files.h"

namespace {

namespace fs = std::filesystem;
using qx::platform::Existence;
using qx::platform::FilePath;
using qx::platform::RemoveResult;
using Lines = std::vector<std::string>;

class FileSeam : public ::testing::Test {
 protected:
  void SetUp() override {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = fs::temp_directory_path() / (std::string("qxseam-") + info->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  // The narrow path text a script would pass, with "/" separators.
  [[nodiscard]] std::string Text(const std::string& name) const {
    return folder_.generic_string() + "/" + name;
  }
  [[nodiscard]] std::string Bytes(const std::string& name) const {
    std::ifstream in(folder_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  void PutBytes(const std::string& name, const std::string& bytes) const {
    std::ofstream out(folder_ / name, std::ios::binary);
    out << bytes;
  }
  // The lines of a text file as the script file reader sees them, read `block` bytes at a
  // time; `reads` counts the reads.
  [[nodiscard]] Lines ReadLines(const std::string& name, std::size_t block, int* reads = nullptr) const {
    std::ifstream in;
    in.rdbuf()->pubsetbuf(nullptr, 0);  // as the reader opens it
    qx::platform::OpenTextInput(in, FilePath::FromScriptText(Text(name)));
    EXPECT_TRUE(in.is_open()) << name;
    std::string bytes;
    std::vector<char> buffer(block);
    int count = 0;
    for (std::size_t got; (got = qx::platform::ReadTextBlock(in, buffer.data(), block)) > 0; ++count) {
      EXPECT_LE(got, block);
      bytes.append(buffer.data(), got);
    }
    if (reads != nullptr) *reads = count + 1;  // and the one that found the end
    Lines lines;
    for (std::size_t start = 0; start < bytes.size();) {
      std::size_t feed = bytes.find('\n', start);
      std::size_t end = feed == std::string::npos ? bytes.size() : feed;
      std::string line = bytes.substr(start, end - start);
      if (qx::platform::kLinesKeepCarriageReturn && feed != std::string::npos && !line.empty() &&
          line.back() == '\r') {
        line.pop_back();
      }
      lines.push_back(line);
      start = end + 1;
    }
    return lines;
  }
  [[nodiscard]] Existence Exists(const std::string& text) const {
    std::string error;
    return qx::platform::TestExistence(FilePath::FromScriptText(text), error);
  }

  fs::path folder_;
};

TEST_F(FileSeam, BackslashesForTheLogAndTheFileSystem) {
  FilePath path = FilePath::FromScriptText(Text("sub/a.txt"));
  EXPECT_EQ(path.Display(), Text("sub/a.txt"));  // as given until the separators change
  path.UseBackslashes();
  EXPECT_EQ(path.Display().find('/'), std::string::npos);

  fs::create_directory(folder_ / "sub");
  PutBytes("sub/a.txt", "x");
  std::string error;
  EXPECT_EQ(qx::platform::TestExistence(path, error), Existence::kExists);
  EXPECT_EQ(Exists(Text("sub/a.txt")), Existence::kExists);
  EXPECT_EQ(Exists(Text("sub")), Existence::kExists);  // a folder is an entry too
}

TEST_F(FileSeam, NotFoundErrorsMeanMissing) {
  EXPECT_EQ(Exists(Text("missing.txt")), Existence::kMissing);         // file not found
  EXPECT_EQ(Exists(Text("no/such/folder.txt")), Existence::kMissing);  // path not found
  EXPECT_EQ(Exists(""), Existence::kMissing);
#ifdef _WIN32
  EXPECT_EQ(Exists(Text("bad<name>.txt")), Existence::kMissing);  // invalid name
#endif
}

// Lines are written in binary with the platform's line end; a stream open for writing reads a
// file's first bytes exactly as they are (a text-mode read would stop at the 0x1A of a PNG's
// signature, before its first zero byte) and leaves the file unchanged until it writes.
TEST_F(FileSeam, LineEndsAndFirstBytesAsTheyAre) {
  std::ofstream out;
  auto write = [&](std::ios::openmode mode, const Lines& lines) {
    qx::platform::OpenBinaryOutput(out, FilePath::FromScriptText(Text("t.txt")), mode);
    ASSERT_TRUE(out.is_open());
    for (const std::string& line : lines) out << line << qx::platform::kLineEnd;
    out.close();
  };
  write(std::ios::trunc, {"a", "", "b"});
#ifdef _WIN32
  EXPECT_EQ(Bytes("t.txt"), "a\r\n\r\nb\r\n");
#else
  EXPECT_EQ(Bytes("t.txt"), "a\n\nb\n");
#endif
  write(std::ios::app, {"c"});

  const std::string png("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16);
  PutBytes("image.png", png);
  for (std::ios::openmode mode : {std::ios::in, std::ios::in | std::ios::app}) {
    qx::platform::OpenBinaryOutput(out, FilePath::FromScriptText(Text("image.png")), mode);
    ASSERT_TRUE(out.is_open());
    char first[64];
    EXPECT_EQ(out.rdbuf()->sgetn(first, sizeof first), 16);
    EXPECT_EQ(std::string(first, 16), png);
    out.close();
    EXPECT_EQ(Bytes("image.png"), png);
  }

  PutBytes("crlf.txt", Bytes("t.txt") + "d\r\ne");
  EXPECT_EQ(ReadLines("t.txt", 4096), (Lines{"a", "", "b", "c"}));
  // Blocks of 3 bytes also end between a carriage return and its line feed.
  for (std::size_t block : {std::size_t{3}, std::size_t{4096}}) {
    EXPECT_EQ(ReadLines("crlf.txt", block), (Lines{"a", "", "b", "c", "d", "e"})) << block;
  }
}

// The script file reader asks for 64 KB and more at a time: each read must bring that much,
// on Windows' text mode as elsewhere, never what a one-byte stream buffer happens to hold.
TEST_F(FileSeam, ReadsAFileInWholeBlocks) {
  Lines written;
  std::ofstream out;
  qx::platform::OpenBinaryOutput(out, FilePath::FromScriptText(Text("big.txt")), std::ios::trunc);
  std::size_t bytes = 0;
  for (int i = 0; bytes < (1u << 20); ++i) {
    written.push_back("line " + std::to_string(i) + std::string(static_cast<std::size_t>(i % 97), 'x'));
    out << written.back() << qx::platform::kLineEnd;
    bytes += written.back().size() + 1;
  }
  out.close();

  constexpr std::size_t kBlock = 64 * 1024;
  int reads = 0;
  EXPECT_EQ(ReadLines("big.txt", kBlock, &reads), written);
  EXPECT_LE(reads, static_cast<int>(bytes / kBlock) + 2);
}

TEST_F(FileSeam, RemovingFiles) {
  PutBytes("gone.txt", "x");
  FilePath path = FilePath::FromScriptText(Text("gone.txt"));
  path.UseBackslashes();
  std::string error;
  EXPECT_EQ(qx::platform::RemoveFile(path, error), RemoveResult::kRemoved);
  EXPECT_EQ(qx::platform::RemoveFile(path, error), RemoveResult::kMissing);
  EXPECT_EQ(Exists(Text("gone.txt")), Existence::kMissing);

#ifdef _WIN32
  // Windows refuses to delete a file that a stream still holds open.
  std::ofstream held;
  FilePath open = FilePath::FromScriptText(Text("held.txt"));
  qx::platform::OpenBinaryOutput(held, open, std::ios::trunc);
  ASSERT_TRUE(held.is_open());
  EXPECT_EQ(qx::platform::RemoveFile(open, error), RemoveResult::kError);
  EXPECT_FALSE(error.empty());
  held.close();
  EXPECT_EQ(qx::platform::RemoveFile(open, error), RemoveResult::kRemoved);
#endif
}

#ifdef _WIN32
TEST_F(FileSeam, NarrowTextsAreReadInTheAnsiCodePage) {
  if (GetACP() != 1252) GTEST_SKIP() << "ANSI code page " << GetACP();
  // A file created by its wide name is found by the code page's narrow text for it.
  fs::path wide = folder_ / L"caf\u00e9.txt";
  std::ofstream(wide) << "x";
  EXPECT_EQ(Exists(Text("caf\xE9.txt")), Existence::kExists);

  EXPECT_EQ(ReadLines("caf\xE9.txt", 16), Lines{"x"});
}
#endif

// The full path the judge compares is the one the system resolves for the same text: what
// GetFullPathNameW gives in the Windows build, the lexically normal absolute path on Linux.
TEST_F(FileSeam, TheJudgesFullPathIsTheSystems) {
  const fs::path started = fs::current_path();
  fs::create_directories(folder_ / "a" / "b");
  fs::current_path(folder_ / "a");
  struct Form {
    const char* text;
    bool posixAgrees;  // POSIX names keep trailing dots and spaces
  };
  const Form forms[] = {{"x.txt", true},       {"b\\..\\x.txt", true},  {"b/./c//x.txt", true},
                        {"..\\..\\x", true},     {"..\\..\\..\\..\\..\\..\\..\\x", true}, {"\\x.txt", true},
                        {"b\\\\\\x", true},    {"b\\x.txt. .", false},  {"b.\\x", false},
                        // A name before another loses one trailing dot, and keeps its blanks.
                        {"b \\x.txt", true},    {"b..\\x.txt", false}, {"b\\x. .\\y", false},
                        {"b\\x \\.", false},   {"b\\x.\\..\\y. ", false}};
  for (const auto& [form, posixAgrees] : forms) {
    SCOPED_TRACE(form);
    FilePath path = FilePath::FromScriptText(form);
    qx::platform::NativePathString judged;
    qx::platform::NativeUnit room[qx::platform::kCurrentFolderRoom];
    ASSERT_EQ(qx::io::ResolveScriptPath<qx::platform::NativeUnit>(path.Native(), qx::platform::CurrentFolder(room), judged),
              qx::io::PathRefusal::kNone);
#ifdef _WIN32
    wchar_t system[1024];
    DWORD length = GetFullPathNameW(path.Native().c_str(), 1024, system, nullptr);
    ASSERT_GT(length, 0u);
    EXPECT_TRUE(judged == std::wstring(system, length)) << fs::path(judged).string() << " against "
                                                        << fs::path(std::wstring(system, length)).string();
#else
    if (!posixAgrees) continue;
    for (char& c : judged) c = c == '\\' ? '/' : c;
    EXPECT_EQ(judged, (fs::current_path() / path.Native()).lexically_normal().string());
#endif
  }
  fs::current_path(started);
}

// A folder the system gives in 8.3 short names (the current folder, when it was entered so)
// comes in its long names, so that a relative path judged there compares with the folders
// scripts may write in; one whose long form does not fit the room is no folder, never a cut
// one. The Linux build keeps the seam's shape with the folder as given.
TEST_F(FileSeam, AFolderEnteredByItsShortNameComesInItsLongName) {
  using qx::platform::NativePathString;
  const fs::path longFolder = folder_ / "a folder with a long name";
  fs::create_directories(longFolder);
  NativePathString shortForm = longFolder.native(), longForm = longFolder.native();
  const NativePathString later = fs::path("/not yet/there").make_preferred().native();
#ifdef _WIN32
  auto systems = [](auto call, const fs::path& path) {
    wchar_t found[1024];
    DWORD length = call(path.c_str(), found, 1024);
    return std::wstring(found, length < 1024 ? length : 0);
  };
  shortForm = systems(GetShortPathNameW, longFolder);
  longForm = systems(GetLongPathNameW, longFolder);  // the temporary folder's own long form
  ASSERT_NE(shortForm.find(L'~'), std::wstring::npos);
#endif
  EXPECT_TRUE(qx::platform::LongPathName(shortForm) == longForm);
  EXPECT_TRUE(qx::platform::LongPathName(shortForm + later) == longForm + later);  // as far as it exists

  const fs::path started = fs::current_path();
  fs::current_path(shortForm);
  qx::platform::NativeUnit room[qx::platform::kCurrentFolderRoom];
  std::vector<NativePathString> allowed(1);
  const qx::platform::NativeUnit here[] = {'.', 0};
  ASSERT_EQ(qx::io::ResolveScriptPath<qx::platform::NativeUnit>(here, longForm, allowed[0]), qx::io::PathRefusal::kNone);
  NativePathString full;
  EXPECT_TRUE(qx::io::JudgeScriptPath<qx::platform::NativeUnit>(FilePath::FromScriptText("x.txt").Native(),
                                                                qx::platform::CurrentFolder(room),
                                                                std::span<const NativePathString>(allowed), full)
                  .inside);
#ifdef _WIN32
  const fs::path deep = longFolder / std::wstring(150, L'p') / std::wstring(100, L'q');
  fs::create_directories(deep);
  fs::current_path(systems(GetShortPathNameW, deep));
  EXPECT_TRUE(qx::platform::CurrentFolder(room).empty());
  fs::current_path(started);
  fs::remove(systems(GetShortPathNameW, deep));  // by its short name: the C++ library's removal stops at MAX_PATH
#endif
  fs::current_path(started);
}

}  // namespace
