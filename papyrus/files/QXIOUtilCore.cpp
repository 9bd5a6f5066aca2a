#include "papyrus/files/QXIOUtilCore.h"

#include <exception>
#include <string_view>

#include "common/IDebugLog.h"
#include "papyrus/files/ScriptFolders.h"
#include "papyrus/files/TextFileTable.h"
#include "platform/Files.h"

namespace qx::io {
namespace {

std::string_view TextOf(const char* text) noexcept {
  return text == nullptr ? std::string_view() : std::string_view(text);
}

// The table is made once and never destroyed: kept at hand rather than asked for per call.
TextFileTable& gTable = TextFileTable::Instance();
TextFileTable& Table() { return gTable; }

void LogLoadError(const std::exception& error) {
  LogMessage("QX IO Util:   Error reading or creating file:");
  LogMessage("QX IO Util:   %s\n", error.what());
}

// The script's text in the file system's form, judged for `use`; false (logged) when the
// judge refuses it or memory runs out.
bool AdmittedPath(std::string_view text, PathUse use, platform::FilePath& path) {
  try {
    path = platform::FilePath::ForJudging(text);
    return AdmitScriptPath(path, use);
  } catch (const std::exception& error) {
    LogLoadError(error);
    return false;
  }
}

// Whether the limit of open files was reported since the table last had room (change lock held).
bool gLimitReported = false;

// Scripts hold at most kMaxOpenFiles; the first refusal says why and what to do, the rest of
// a script's loop is not written to the log (change lock held).
bool HasRoom(std::string_view path) {
  if (Table().Count() < kMaxOpenFiles) {
    gLimitReported = false;
    return true;
  }
  if (!gLimitReported) {
    gLimitReported = true;
    LogMessage("QX IO Util: refused to open '%.*s': %u files are open already, the most scripts may hold; a mod "
               "should close each file it no longer uses (CloseFile)",
               static_cast<int>(path.size()), path.data(), static_cast<unsigned>(kMaxOpenFiles));
  }
  return false;
}

// LoadFile with the table's change lock held. A path already open keeps its first mode: a
// file open for reading is never written through it. `counted`: the file stays open, so it
// needs room among the files scripts hold (DeleteAnyFile's closes at once).
bool LoadLocked(std::string_view path, bool read, bool append, std::int32_t bufferSize, bool counted = true) {
  if (Table().Find(path)) return true;
  if (counted && !HasRoom(path)) return false;
  platform::FilePath native;
  if (!AdmittedPath(path, read ? PathUse::kRead : PathUse::kWrite, native)) return false;
  std::shared_ptr<TextFile> file = TextFile::Load(std::move(native), read, append, bufferSize, Contents::kText);
  if (!file) return false;
  try {
    Table().Insert(path, file);
  } catch (const std::exception& error) {
    LogLoadError(error);
    (void)file->Close();
    return false;
  }
  return true;
}

}  // namespace

bool ExistsFile(const char* path) {
  std::string_view text = TextOf(path);
  try {
    std::string error;
    platform::FilePath native = platform::FilePath::ForJudging(text);
    if (!AdmitScriptPath(native, PathUse::kRead)) return false;
    platform::Existence existence = platform::TestExistence(native, error);
    if (existence == platform::Existence::kUnknown) LogExistenceUnknown(native.Display(), error.c_str());
    return existence == platform::Existence::kExists;
  } catch (const std::exception& error) {
    LogExistenceUnknown(text, error.what());
    return false;
  }
}

bool LoadFile(const char* path, bool read, bool append, std::int32_t bufferSize) {
  std::unique_lock<std::mutex> changes = Table().ChangeLock();
  return LoadLocked(TextOf(path), read, append, bufferSize);
}

bool CloseFile(const char* path) {
  std::string_view text = TextOf(path);
  std::unique_lock<std::mutex> changes = Table().ChangeLock();
  std::shared_ptr<TextFile> file = Table().Find(text);
  if (!file) return false;
  bool closed = file->Close();
  Table().Erase(text);
  return closed;
}

bool DeleteAnyFile(const char* path) {
  std::string_view text = TextOf(path);
  // Deleting writes: judged as such even for a file open for reading.
  platform::FilePath native;
  if (!AdmittedPath(text, PathUse::kWrite, native)) return false;
  std::unique_lock<std::mutex> changes = Table().ChangeLock();
  if (HoldsZeroByteInFirstBlock(native)) {
    LogProtectedFileRefused(text, Protection::kBinary);
    return false;
  }
  if (!LoadLocked(text, /*read=*/true, /*append=*/false, /*bufferSize=*/1, /*counted=*/false)) return false;
  std::shared_ptr<TextFile> file = Table().Find(text);
  bool deleted = file->Close() && file->DeleteFromDisk(native);
  Table().Erase(text);
  return deleted;
}

bool IsLoaded(const char* path) { return Table().FindForThisThread(path) != nullptr; }

bool IsGood(const char* path) {
  TextFile* file = Table().FindForThisThread(path);
  return file != nullptr && file->IsGood();
}

bool IsReadOnly(const char* path) {
  TextFile* file = Table().FindForThisThread(path);
  return file != nullptr && file->IsReadMode();
}

bool IsWriteOnly(const char* path) {
  TextFile* file = Table().FindForThisThread(path);
  return file != nullptr && !file->IsReadMode();
}

bool HasNextLine(const char* path) {
  TextFile* file = Table().FindForThisThread(path);
  return file != nullptr && file->HasNextLine();
}

void NextLine(const char* path, LineUser use, void* context) {
  TextFile* file = Table().FindForThisThread(path);
  if (file == nullptr || !file->UseNextLine(use, context)) use(std::string_view("", 0), context);
}

void NextLine(const char* path, std::string& line) {
  auto copy = [](std::string_view text, void* out) { static_cast<std::string*>(out)->assign(text); };
  try {
    NextLine(path, copy, &line);
  } catch (const std::exception& error) {
    LogMessage("QX IO Util:   error reading file:");
    LogMessage("QX IO Util:   %s\n", error.what());
    line.clear();
  }
}

bool WriteLine(const char* path, const char* line) {
  TextFile* file = Table().FindForThisThread(path);
  return file != nullptr && file->WriteLine(TextOf(line));
}

void CloseFilesAsTheProcessEnds() noexcept {
  IDebugLog::StopWaiting();
  bool visited = Table().ForEachUnlessHeld([](std::string_view path, TextFile& file) {
    if (!file.CloseUnlessHeld()) {
      LogMessage("QX IO Util: left '%.*s' as it was when the game ended: another thread was using it",
                 static_cast<int>(path.size()), path.data());
    }
  });
  if (!visited) LogMessage("QX IO Util: left the open files as they were when the game ended: another thread held them");
}

namespace {

// Lines written without CloseFile are not lost when the game ends normally. Destroyed as the
// process exits (in the game: as the DLL detaches from the ending process, after its other
// threads are gone).
struct FilesClosedAtTheEnd {
  ~FilesClosedAtTheEnd() { CloseFilesAsTheProcessEnds(); }
} gFilesClosedAtTheEnd;

}  // namespace

}  // namespace qx::io
