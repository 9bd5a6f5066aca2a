// The script file functions as a script would call them: a sequence of operations decoded
// from the input (open for reading, writing or appending with any buffer size, write a
// line, next line, has next line, the state queries, close, delete, exists) on three names
// inside a scratch folder.
//
// A model of each file says what every call must answer: which names are open and how,
// what each file holds, which line reading gives next. At the end every file that exists
// is read back through the same functions: every line written and closed reads back the
// same. Lines never hold a line feed or carriage return (a text file cannot keep those
// inside a line).
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/IDebugLog.h"
#include "papyrus/LineReadAhead.h"
#include "papyrus/QXIOUtilCore.h"
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
  std::vector<std::string> lines;  // what the file holds once the writer has closed it
  Mode mode = kClosed;
  std::size_t next = 0;  // reading: index of the next line
};

FileModel gModels[kNames];

std::int32_t BufferSize(FuzzInput& in) {
  std::uint8_t b = in.Byte();
  if (b < 240) return static_cast<std::int32_t>(b % 10) - 2;  // -2 .. 7
  static constexpr std::int32_t kEdges[] = {0, 1, 16, 4096, 1 << 20, INT32_MAX, INT32_MIN, -1};
  return kEdges[b % 8];
}

std::string Line(FuzzInput& in) {
  std::string line = in.Text(64);
  for (char& c : line) {
    if (c == '\n' || c == '\r') c = ' ';
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
  if (!read) {
    m.exists = true;
    if (!append) m.lines.clear();
  }
}

void Step(FuzzInput& in) {
  std::uint8_t op = in.Byte();
  int which = in.Byte() % kNames;
  const char* path = gPaths[which].c_str();
  FileModel& m = gModels[which];
  switch (op % 12) {
    case 0:
    case 1: {
      bool read = op % 12 == 0;
      bool append = in.Bool();
      Load(path, m, read, append, BufferSize(in));
      break;
    }
    case 2:
    case 3: {
      std::string line = Line(in);
      QX_FUZZ_REQUIRE(io::WriteLine(path, line.c_str()) == (m.mode == FileModel::kWriting));
      if (m.mode == FileModel::kWriting) m.lines.push_back(line);
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
    default:
      QX_FUZZ_REQUIRE(io::ExistsFile(path) == m.exists);
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  sim::GameFolders::CreateSandbox();  // a scratch folder, removed at exit
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
    for (const std::string& line : m.lines) {
      QX_FUZZ_REQUIRE(io::HasNextLine(path));
      QX_FUZZ_REQUIRE(ReadNext(path) == line);
    }
    QX_FUZZ_REQUIRE(!io::HasNextLine(path));
    QX_FUZZ_REQUIRE(io::CloseFile(path));
  }
  return 0;
}
