// The operating-system seam for script files, run against each system: natively on Linux,
// under Wine for the Windows build. Only the seam is linked in, never the plugin.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

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

TEST_F(FileSeam, TextModeLineEnds) {
  std::ofstream out;
  qx::platform::OpenTextOutput(out, FilePath::FromScriptText(Text("t.txt")), false);
  ASSERT_TRUE(out.is_open());
  out << "a\n\nb\n";
  out.close();
#ifdef _WIN32
  EXPECT_EQ(Bytes("t.txt"), "a\r\n\r\nb\r\n");
#else
  EXPECT_EQ(Bytes("t.txt"), "a\n\nb\n");
#endif

  qx::platform::OpenTextOutput(out, FilePath::FromScriptText(Text("t.txt")), /*append=*/true);
  out << "c\n";
  out.close();

  PutBytes("crlf.txt", Bytes("t.txt") + "d\r\ne");
  for (const char* name : {"t.txt", "crlf.txt"}) {
    std::ifstream in;
    qx::platform::OpenTextInput(in, FilePath::FromScriptText(Text(name)));
    ASSERT_TRUE(in.is_open());
    Lines lines;
    for (std::string line; qx::platform::ReadTextLine(in, line);) lines.push_back(line);
    EXPECT_EQ(lines, name == std::string("t.txt") ? (Lines{"a", "", "b", "c"})
                                                  : (Lines{"a", "", "b", "c", "d", "e"}));
  }
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
  qx::platform::OpenTextOutput(held, open, false);
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

  std::ifstream in;
  qx::platform::OpenTextInput(in, FilePath::FromScriptText(Text("caf\xE9.txt")));
  std::string line;
  ASSERT_TRUE(qx::platform::ReadTextLine(in, line));
  EXPECT_EQ(line, "x");
}
#endif

}  // namespace
