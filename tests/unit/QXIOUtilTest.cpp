#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "papyrus/files/QXIOUtilCore.h"
#include "papyrus/files/TextFile.h"
#include "papyrus/files/TextFileTable.h"
#include "tests/unit/FileTestSupport.h"

namespace {

namespace io = qx::io;
using Lines = std::vector<std::string>;
using qxtest::ReadBytes;
using qxtest::WriteBytes;

class QXIOUtil : public qxtest::FileTest {
 protected:
  // The path as the log shows it: every "/" as "\".
  static std::string Logged(std::string path) {
    for (char& c : path) {
      if (c == '/') c = '\\';
    }
    return path;
  }

  // Every line up to the end marker, asking HasNextLine first as scripts do.
  static Lines ReadAll(const std::string& path) {
    Lines lines;
    std::string line;
    while (io::HasNextLine(path.c_str())) {
      io::NextLine(path.c_str(), line);
      lines.push_back(line);
    }
    return lines;
  }
};

TEST_F(QXIOUtil, WritingReachesTheFileOneFullBufferAtATime) {
  std::string path = In("out.txt");
  ASSERT_TRUE(io::LoadFile(path.c_str(), /*read=*/false, /*append=*/false, 2));
  EXPECT_EQ(NewLogLines(), (Lines{"QX IO Util: loading file '" + Logged(path) + "'...",
                                  "QX IO Util:   file successfully loaded"}));
  EXPECT_TRUE(io::IsLoaded(path.c_str()));
  EXPECT_TRUE(io::IsGood(path.c_str()));
  EXPECT_TRUE(io::IsWriteOnly(path.c_str()));
  EXPECT_FALSE(io::IsReadOnly(path.c_str()));

  EXPECT_TRUE(io::WriteLine(path.c_str(), "one"));
  EXPECT_TRUE(io::WriteLine(path.c_str(), "\x07two"));  // a line like any other
  EXPECT_EQ(ReadBytes(path), "");
  EXPECT_TRUE(io::WriteLine(path.c_str(), "three"));
  EXPECT_EQ(ReadBytes(path), "one\n\x07two\n");
  EXPECT_TRUE(io::CloseFile(path.c_str()));
  EXPECT_EQ(ReadBytes(path), "one\n\x07two\nthree\n");
  EXPECT_EQ(NewLogLines(), (Lines{"QX IO Util: closed file '" + Logged(path) + "'"}));

  for (const char* query : {"IsLoaded", "IsGood", "IsWriteOnly", "HasNextLine"}) {
    SCOPED_TRACE(query);
    EXPECT_FALSE(io::IsLoaded(path.c_str()) || io::IsGood(path.c_str()) ||
                 io::IsWriteOnly(path.c_str()) || io::HasNextLine(path.c_str()));
  }
  EXPECT_FALSE(io::WriteLine(path.c_str(), "late"));
  EXPECT_FALSE(io::CloseFile(path.c_str()));
}

// As the process ends, every open file writes out its lines and closes, but one another thread
// holds is left as it is (here: the file whose line is being taken while it all happens).
TEST_F(QXIOUtil, AsTheProcessEndsOpenFilesAreWrittenOutUnlessAnotherThreadHoldsThem) {
  std::string written = In("written.txt"), held = In("held.txt");
  WriteBytes(held, "1\n2\n");
  ASSERT_TRUE(io::LoadFile(written.c_str(), false, false, 100));
  ASSERT_TRUE(io::WriteLine(written.c_str(), "a"));
  ASSERT_TRUE(io::WriteLine(written.c_str(), "b"));
  ASSERT_TRUE(io::LoadFile(held.c_str(), true, false, 4));
  NewLogLines();
  auto end = [](std::string_view, void*) { io::CloseFilesAsTheProcessEnds(); };
  io::NextLine(held.c_str(), end, nullptr);
  EXPECT_EQ(ReadBytes(written), "a\nb\n");
  EXPECT_FALSE(io::IsGood(written.c_str()));
  EXPECT_TRUE(io::IsGood(held.c_str()));
  EXPECT_EQ(NewLogLines(), (Lines{"QX IO Util: left '" + held + "' as it was when the game ended: another thread was using it"}));
}

TEST_F(QXIOUtil, AppendAddsAndWritingWithoutAppendEmptiesAtOnce) {
  std::string path = In("log.txt");
  WriteBytes(path, "old\n");
  ASSERT_TRUE(io::LoadFile(path.c_str(), false, /*append=*/true, 10));
  EXPECT_TRUE(io::WriteLine(path.c_str(), "new"));
  EXPECT_TRUE(io::CloseFile(path.c_str()));
  EXPECT_EQ(ReadBytes(path), "old\nnew\n");

  ASSERT_TRUE(io::LoadFile(path.c_str(), false, /*append=*/false, 10));
  EXPECT_EQ(ReadBytes(path), "");
  EXPECT_TRUE(io::CloseFile(path.c_str()));
  EXPECT_EQ(ReadBytes(path), "");

  // Either mode creates a missing file.
  for (bool append : {false, true}) {
    std::string created = In(append ? "appended.txt" : "emptied.txt");
    ASSERT_TRUE(io::LoadFile(created.c_str(), false, append, 1));
    EXPECT_TRUE(io::ExistsFile(created.c_str()));
    EXPECT_TRUE(io::CloseFile(created.c_str()));
  }
}

TEST_F(QXIOUtil, ReadsBackExactlyWhatWasWritten) {
  const Lines written{"plain", "", "\x07 bell first", "tab\there", "  spaced  ", "",
                      std::string(100000, 'x'), "\x07", "last"};
  std::string path = In("round.txt");
  for (int bufferSize : {1, 2, 3, 9, 2147483647}) {
    SCOPED_TRACE(bufferSize);
    ASSERT_TRUE(io::LoadFile(path.c_str(), false, false, bufferSize));
    for (const std::string& line : written) EXPECT_TRUE(io::WriteLine(path.c_str(), line.c_str()));
    ASSERT_TRUE(io::CloseFile(path.c_str()));

    ASSERT_TRUE(io::LoadFile(path.c_str(), true, false, bufferSize));
    EXPECT_TRUE(io::IsReadOnly(path.c_str()));
    EXPECT_EQ(ReadAll(path), written);
    // At the end: the end marker, again and again, never a stale line.
    std::string line;
    for (int i = 0; i < 3; ++i) {
      io::NextLine(path.c_str(), line);
      EXPECT_EQ(line, "\x07");
      EXPECT_FALSE(io::HasNextLine(path.c_str()));
    }
    EXPECT_TRUE(io::CloseFile(path.c_str()));
  }
}

TEST_F(QXIOUtil, ReadingFilesWrittenElsewhere) {
  std::string path = In("in.txt");
  auto read = [&](const std::string& bytes, int bufferSize) {
    WriteBytes(path, bytes);
    EXPECT_TRUE(io::LoadFile(path.c_str(), true, false, bufferSize));
    Lines lines = ReadAll(path);
    EXPECT_TRUE(io::CloseFile(path.c_str()));
    return lines;
  };
  EXPECT_EQ(read("a\n\nb", 2), (Lines{"a", "", "b"}));
  EXPECT_EQ(read("a\n", 1), (Lines{"a"}));
  EXPECT_EQ(read("a\r\nb\r\n", 5), (Lines{"a", "b"}));
  EXPECT_TRUE(read("", 1).empty());

  // NextLine without asking HasNextLine first: lines, then the end marker.
  WriteBytes(path, "x\n\n");
  ASSERT_TRUE(io::LoadFile(path.c_str(), true, false, 2));
  std::string line;
  Lines taken;
  for (int i = 0; i < 4; ++i) {
    io::NextLine(path.c_str(), line);
    taken.push_back(line);
  }
  EXPECT_EQ(taken, (Lines{"x", "", "\x07", "\x07"}));
  EXPECT_TRUE(io::CloseFile(path.c_str()));
}

// The form the script binding uses: the line is handed over in place, zero-terminated.
TEST_F(QXIOUtil, NextLineHandsOverLinesInPlaceAndLosesNoneOnFailure) {
  std::string path = In("in.txt");
  WriteBytes(path, "first\nsecond\n");
  ASSERT_TRUE(io::LoadFile(path.c_str(), true, false, 2));
  auto failing = [](std::string_view, void*) { throw std::bad_alloc(); };
  EXPECT_THROW(io::NextLine(path.c_str(), failing, nullptr), std::bad_alloc);

  Lines seen;
  auto collect = [](std::string_view line, void* out) {
    static_cast<Lines*>(out)->emplace_back(line.data());  // read up to the terminating zero
  };
  for (int i = 0; i < 3; ++i) io::NextLine(path.c_str(), collect, &seen);
  io::NextLine(In("unknown.txt").c_str(), collect, &seen);
  EXPECT_EQ(seen, (Lines{"first", "second", "\x07", ""}));
  EXPECT_TRUE(io::CloseFile(path.c_str()));
}

TEST_F(QXIOUtil, MissingFilesAndIllegalBufferSizesLeaveNoEntry) {
  std::string missing = In("missing.txt");
  EXPECT_FALSE(io::ExistsFile(missing.c_str()));
  EXPECT_FALSE(io::LoadFile(missing.c_str(), true, false, 4));
  EXPECT_EQ(NewLogLines(), (Lines{"QX IO Util: loading file '" + Logged(missing) + "'...",
                                  "QX IO Util:   file does not exist; aborting load"}));
  EXPECT_FALSE(io::IsLoaded(missing.c_str()));
  EXPECT_FALSE(io::IsReadOnly(missing.c_str()));
  EXPECT_FALSE(io::IsWriteOnly(missing.c_str()));
  std::string line = "stale";
  io::NextLine(missing.c_str(), line);
  EXPECT_EQ(line, "");

  for (int size : {0, -5}) {
    EXPECT_FALSE(io::LoadFile(missing.c_str(), false, false, size));
    EXPECT_EQ(NewLogLines(),
              (Lines{"QX IO Util: loading file '" + Logged(missing) + "'...",
                     "QX IO Util:   illegal buffer size '" + std::to_string(size) + "'"}));
    EXPECT_FALSE(io::IsLoaded(missing.c_str()));
  }
  EXPECT_FALSE(io::ExistsFile(missing.c_str()));

  std::string inMissingFolder = In("no/such/folder.txt");
  EXPECT_FALSE(io::LoadFile(inMissingFolder.c_str(), false, false, 1));
  EXPECT_EQ(NewLogLines().back(), "QX IO Util:   could not open or create file");
  EXPECT_FALSE(io::LoadFile(nullptr, true, false, 1));
  EXPECT_FALSE(io::ExistsFile(nullptr));
}

TEST_F(QXIOUtil, OnePathTextOneEntry) {
  std::string path = In("same.txt");
  WriteBytes(path, "1\n2\n");
  ASSERT_TRUE(io::LoadFile(path.c_str(), true, false, 1));
  NewLogLines();
  // Loaded already: nothing changes, nothing is logged, the first mode stays.
  EXPECT_TRUE(io::LoadFile(path.c_str(), false, true, 0));
  EXPECT_TRUE(NewLogLines().empty());
  EXPECT_TRUE(io::IsReadOnly(path.c_str()));
  EXPECT_FALSE(io::WriteLine(path.c_str(), "x"));

  // The same file by another text is a second, independent entry.
  std::string other = Logged(path);
  ASSERT_TRUE(io::LoadFile(other.c_str(), true, false, 1));
  std::string line;
  io::NextLine(path.c_str(), line);
  EXPECT_EQ(line, "1");
  EXPECT_EQ(ReadAll(other), (Lines{"1", "2"}));
  EXPECT_EQ(ReadAll(path), (Lines{"2"}));
  EXPECT_TRUE(io::CloseFile(other.c_str()));
  EXPECT_TRUE(io::IsLoaded(path.c_str()));
  EXPECT_TRUE(io::CloseFile(path.c_str()));

  std::string written = In("written.txt");
  ASSERT_TRUE(io::LoadFile(written.c_str(), false, false, 1));
  line = "stale";
  io::NextLine(written.c_str(), line);
  EXPECT_EQ(line, "");
  EXPECT_FALSE(io::HasNextLine(written.c_str()));
  EXPECT_TRUE(io::WriteLine(written.c_str(), nullptr));  // a null text is an empty line
  EXPECT_TRUE(io::CloseFile(written.c_str()));
  EXPECT_EQ(ReadBytes(written), "\n");
}

// A thread's last two paths are known again by their text or, once a keeper holds the text
// at its address, by that address alone: never by an address whose text nothing keeps.
TEST_F(QXIOUtil, APathIsKnownByItsAddressOnlyWhileItsTextIsKept) {
  std::string in = In("in.txt"), out = In("ot.txt");  // equally long: one buffer holds either
  WriteBytes(in, "1\n2\n3\n");
  ASSERT_TRUE(io::LoadFile(in.c_str(), true, false, 1));
  ASSERT_TRUE(io::LoadFile(out.c_str(), false, false, 1));
  std::string text = in;
  EXPECT_TRUE(io::IsReadOnly(text.c_str()));
  text.replace(0, text.size(), out);  // the same address, now the other file's text
  EXPECT_TRUE(io::IsWriteOnly(text.c_str()));

  // Copying one file into the other line by line: the keeper is asked once per path.
  static int asked;
  asked = 0;
  io::TextFileTable::Instance().KeepTextsWith([](int, const char*) noexcept { return ++asked > 0; });
  std::string line;
  while (io::HasNextLine(in.c_str())) {
    io::NextLine(in.c_str(), line);
    EXPECT_TRUE(io::WriteLine(out.c_str(), line.c_str()));
  }
  EXPECT_EQ(asked, 2);
  io::TextFileTable::Instance().KeepTextsWith(nullptr);
  EXPECT_TRUE(io::CloseFile(in.c_str()));
  EXPECT_TRUE(io::CloseFile(out.c_str()));
  EXPECT_EQ(ReadBytes(out), ReadBytes(in));
}

// HasNextLine answers from the lines waiting without the file's lock: a file closed by
// another thread (which a thread that found it earlier may still hold) has none waiting.
TEST_F(QXIOUtil, AClosedFileHasNoNextLineEvenWithLinesReadAhead) {
  std::string path = In("held.txt");
  WriteBytes(path, "1\n2\n3\n");
  std::shared_ptr<io::TextFile> file = io::TextFile::Load(qx::platform::FilePath::FromScriptText(path), true, false, 8,
                                                                         io::Contents::kText);
  ASSERT_TRUE(file);
  EXPECT_TRUE(file->HasNextLine());
  EXPECT_TRUE(file->UseNextLine([](std::string_view, void*) {}, nullptr));
  EXPECT_TRUE(file->HasNextLine());
  EXPECT_TRUE(file->Close());
  EXPECT_FALSE(file->HasNextLine());
}

TEST_F(QXIOUtil, DeleteAnyFile) {
  std::string path = In("doomed.txt");
  ASSERT_TRUE(io::LoadFile(path.c_str(), false, false, 10));
  EXPECT_TRUE(io::WriteLine(path.c_str(), "buffered"));
  NewLogLines();
  EXPECT_TRUE(io::DeleteAnyFile(path.c_str()));
  EXPECT_EQ(NewLogLines(), (Lines{"QX IO Util: closed file '" + Logged(path) + "'"}));
  EXPECT_FALSE(io::ExistsFile(path.c_str()));
  EXPECT_FALSE(io::IsLoaded(path.c_str()));

  // Not open: opened for reading first, then closed and deleted.
  WriteBytes(path, "x\n");
  EXPECT_TRUE(io::DeleteAnyFile(path.c_str()));
  EXPECT_EQ(NewLogLines(), (Lines{"QX IO Util: loading file '" + Logged(path) + "'...",
                                  "QX IO Util:   file successfully loaded",
                                  "QX IO Util: closed file '" + Logged(path) + "'"}));
  EXPECT_FALSE(io::ExistsFile(path.c_str()));

  EXPECT_FALSE(io::DeleteAnyFile(path.c_str()));
  EXPECT_EQ(NewLogLines(), (Lines{"QX IO Util: loading file '" + Logged(path) + "'...",
                                  "QX IO Util:   file does not exist; aborting load"}));
}

// A folder opens for reading on Linux, but cannot be read or unlinked: the read and delete
// errors are reported and the file is no longer good.
TEST_F(QXIOUtil, FileSystemErrorsAreLoggedNotThrown) {
  std::string folder = In("folder");
  std::filesystem::create_directory(folder);
  ASSERT_TRUE(io::LoadFile(folder.c_str(), true, false, 4));
  NewLogLines();
  EXPECT_FALSE(io::HasNextLine(folder.c_str()));
  EXPECT_FALSE(io::IsGood(folder.c_str()));
  Lines lines = NewLogLines();
  ASSERT_EQ(lines.size(), 3u);  // the message line ends with its own line feed
  EXPECT_EQ(lines[0], "QX IO Util:   error reading file:");
  EXPECT_EQ(lines[1].rfind("QX IO Util:   ", 0), 0u);
  EXPECT_EQ(lines[2], "");
  std::string line = "stale";
  io::NextLine(folder.c_str(), line);
  EXPECT_EQ(line, "");
  EXPECT_TRUE(io::CloseFile(folder.c_str()));
  NewLogLines();

  EXPECT_FALSE(io::DeleteAnyFile(folder.c_str()));
  lines = NewLogLines();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[3], "QX IO Util:   error deleting file:");
  EXPECT_FALSE(io::IsLoaded(folder.c_str()));
  EXPECT_TRUE(std::filesystem::is_directory(folder));

  // An existence test that fails for another reason than a missing file.
  std::string loop = In("loop");
  ASSERT_EQ(symlink(loop.c_str(), loop.c_str()), 0);
  EXPECT_FALSE(io::ExistsFile(loop.c_str()));
  lines = NewLogLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("QX IO Util: could not test whether file '" + loop + "' exists: ", 0),
            0u);
  // Loading it reports the same event in the same words, with the path as loading shows it.
  std::string reason = lines[0].substr(lines[0].find("' exists: "));
  EXPECT_FALSE(io::LoadFile(loop.c_str(), true, false, 1));
  std::string shown = loop;
  std::replace(shown.begin(), shown.end(), '/', '\\');
  lines = NewLogLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "QX IO Util: loading file '" + shown + "'...");
  EXPECT_EQ(lines[1], "QX IO Util: could not test whether file '" + shown + reason);
  EXPECT_EQ(lines[2], "QX IO Util:   could not open or create file");
}

}  // namespace
