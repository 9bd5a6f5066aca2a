// The script file functions as a script would call them: a sequence of operations decoded
// from the input (open for reading, writing or appending with any buffer size, write a
// line, next line, has next line, the state queries, close, delete, exists) on three names
// inside a scratch folder.
//
// A model of each file says what every call must answer: which names are open and how,
// the bytes each file holds, which line reading gives next. Lines may carry line feeds and
// carriage returns of their own, and now and then run to many times the reader's first
// block; another program may also write a file whole, its last line without a line feed.
// What reading must give is the model's bytes cut as a getline loop cuts them (a carriage
// return before a line feed dropped, a last line without one kept). At the end every file
// that exists is read back through the same functions.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/IDebugLog.h"
#include "papyrus/files/LineReadAhead.h"
#include "papyrus/files/QXIOUtilCore.h"
#include "papyrus/files/ScriptFolders.h"
#include "sim/GameFolders.h"
#include "tests/fuzz/FuzzInput.h"

namespace {

using qxfuzz::FuzzInput;
namespace io = qx::io;

constexpr int kNames = 3;
std::string gPaths[kNames];

struct FileModel {
  enum Mode { kClosed, kReading, kWriting };
  bool exists = false;
  std::string bytes;  // what the file holds once the writer has closed it
  Mode mode = kClosed;
  std::vector<std::string> lines;  // reading: the lines of `bytes`
  std::size_t next = 0;            // reading: index of the next line
};

// The lines a getline loop finds in `bytes`, each without its line feed and the carriage
// return before that.
std::vector<std::string> LinesOf(const std::string& bytes) {
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < bytes.size();) {
    std::size_t feed = bytes.find('\n', start);
    std::size_t end = feed == std::string::npos ? bytes.size() : feed;
    std::size_t kept = feed != std::string::npos && end > start && bytes[end - 1] == '\r' ? end - 1 : end;
    lines.push_back(bytes.substr(start, kept - start));
    start = end + 1;
  }
  return lines;
}

FileModel gModels[kNames];

std::int32_t BufferSize(FuzzInput& in) {
  std::uint8_t b = in.Byte();
  if (b < 240) return static_cast<std::int32_t>(b % 10) - 2;  // -2 .. 7
  static constexpr std::int32_t kEdges[] = {0, 1, 16, 4096, 1 << 20, INT32_MAX, INT32_MIN, -1};
  return kEdges[b % 8];
}

// A line as a script passes it: raw bytes, line ends included; one in sixteen is repeated
// to run past the reader's first block (64 KB) and across its refills.
std::string Line(FuzzInput& in) {
  std::uint8_t shape = in.Byte();
  std::string line = in.Text(64);
  if (shape % 16 == 15 && !line.empty()) {
    std::size_t times = (70 * 1024) / line.size() + shape / 16;
    std::string longLine;
    longLine.reserve(line.size() * times);
    for (std::size_t i = 0; i < times; ++i) longLine += line;
    return longLine;
  }
  return line;
}

std::string ReadNext(const char* path) {
  std::string line;
  io::NextLine(path, line);
  return line;
}

void Load(const char* path, FileModel& m, bool read, bool append, std::int32_t bufferSize) {
  bool opens = m.mode != FileModel::kClosed || ((!read || m.exists) && bufferSize >= 1);
  QX_FUZZ_REQUIRE(io::LoadFile(path, read, append, bufferSize) == opens);
  if (!opens || m.mode != FileModel::kClosed) return;
  m.mode = read ? FileModel::kReading : FileModel::kWriting;
  m.next = 0;
  if (read) {
    m.lines = LinesOf(m.bytes);
  } else {
    m.exists = true;
    if (!append) m.bytes.clear();
  }
}

void Step(FuzzInput& in) {
  std::uint8_t op = in.Byte();
  int which = in.Byte() % kNames;
  const char* path = gPaths[which].c_str();
  FileModel& m = gModels[which];
  switch (op % 13) {
    case 0:
    case 1: {
      bool read = op % 13 == 0;
      bool append = in.Bool();
      Load(path, m, read, append, BufferSize(in));
      break;
    }
    case 2:
    case 3: {
      std::string line = Line(in);
      QX_FUZZ_REQUIRE(io::WriteLine(path, line.c_str()) == (m.mode == FileModel::kWriting));
      if (m.mode == FileModel::kWriting) m.bytes += line + '\n';
      break;
    }
    case 4:
    case 5: {
      std::string line = ReadNext(path);
      if (m.mode != FileModel::kReading) {
        QX_FUZZ_REQUIRE(line.empty());
      } else if (m.next < m.lines.size()) {
        QX_FUZZ_REQUIRE(line == m.lines[m.next]);
        ++m.next;
      } else {
        QX_FUZZ_REQUIRE(line == io::kEndMarker);
      }
      break;
    }
    case 6:
      QX_FUZZ_REQUIRE(io::HasNextLine(path) ==
                      (m.mode == FileModel::kReading && m.next < m.lines.size()));
      break;
    case 7:
      QX_FUZZ_REQUIRE(io::IsLoaded(path) == (m.mode != FileModel::kClosed));
      QX_FUZZ_REQUIRE(io::IsGood(path) == (m.mode != FileModel::kClosed));
      QX_FUZZ_REQUIRE(io::IsReadOnly(path) == (m.mode == FileModel::kReading));
      QX_FUZZ_REQUIRE(io::IsWriteOnly(path) == (m.mode == FileModel::kWriting));
      break;
    case 8:
    case 9:
      QX_FUZZ_REQUIRE(io::CloseFile(path) == (m.mode != FileModel::kClosed));
      m.mode = FileModel::kClosed;
      break;
    case 10:
      QX_FUZZ_REQUIRE(io::DeleteAnyFile(path) == m.exists);
      m = FileModel{};
      break;
    case 11:
      // Another program writes the file whole while no script has it open.
      if (m.mode == FileModel::kClosed) {
        std::string bytes = Line(in);
        if (std::FILE* file = std::fopen(path, "wb")) {
          std::fwrite(bytes.data(), 1, bytes.size(), file);
          std::fclose(file);
          m.exists = true;
          m.bytes = bytes;
        }
        break;
      }
      [[fallthrough]];
    default:
      QX_FUZZ_REQUIRE(io::ExistsFile(path) == m.exists);
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  sim::GameFolders::CreateSandbox();  // a scratch folder, removed at exit
  (void)io::AllowWritingIn({sim::GameFolders::GameFolder()}, sim::GameFolders::GameFolder());
  IDebugLog::consoleLevel = -1;
  IDebugLog::OpenFile("/dev/null");
  for (int i = 0; i < kNames; ++i) {
    gPaths[i] = sim::GameFolders::GameFolder() + "/file" + std::to_string(i) + ".txt";
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Each input starts with no file open and none on the disk.
  for (int i = 0; i < kNames; ++i) {
    (void)io::CloseFile(gPaths[i].c_str());
    ::unlink(gPaths[i].c_str());
    gModels[i] = FileModel{};
  }
  FuzzInput in(data, size);
  for (int steps = 0; !in.Empty() && steps < 64; ++steps) Step(in);

  for (int i = 0; i < kNames; ++i) {
    const char* path = gPaths[i].c_str();
    FileModel& m = gModels[i];
    QX_FUZZ_REQUIRE(io::CloseFile(path) == (m.mode != FileModel::kClosed));
    if (!m.exists) continue;
    QX_FUZZ_REQUIRE(io::LoadFile(path, true, false, 1 + i * 2));
    for (const std::string& line : LinesOf(m.bytes)) {
      QX_FUZZ_REQUIRE(io::HasNextLine(path));
      QX_FUZZ_REQUIRE(ReadNext(path) == line);
    }
    QX_FUZZ_REQUIRE(!io::HasNextLine(path));
    QX_FUZZ_REQUIRE(io::CloseFile(path));
  }
  return 0;
}
