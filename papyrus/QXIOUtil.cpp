#include "papyrus/QXIOUtil.h"

#include <cstdint>
#include <exception>
#include <string_view>

#include "common/IDebugLog.h"
#include "papyrus/files/QXIOUtilCore.h"
#include "papyrus/files/TextFileTable.h"

namespace qx::papyrus {
namespace {

using StringCache::Ref;

// A script passing another type for a string gives a reference to nothing: it names no
// file and writes an empty line.
const char* TextOf(Ref ref) noexcept { return game::TextOf(ref); }

// The references through which a script thread keeps the game's copies of its last two
// file paths: while one is held the cache cannot drop that copy, so no other text can
// appear at its address. Each is moved by the game's setter, which lets go of what it held;
// the last ones of a thread that ends stay held (two texts per script thread at most).
constinit thread_local Ref tKeptPaths[2] = {};

// Script strings arrive as the cache's own copies; a text from anywhere else gets a copy
// of its own in the cache, and is not kept.
bool KeepPathText(int slot, const char* text) noexcept {
  game::SetStringRef(tKeptPaths[slot], text);
  return text != nullptr && tKeptPaths[slot].data == text;
}

bool ExistsFile(StaticFunctionTag*, Ref path) { return io::ExistsFile(TextOf(path)); }

// Scripts pass a signed Int: a negative size must reach the check (and its log line) as such.
bool LoadFile(StaticFunctionTag*, Ref path, bool read, bool append, std::uint32_t bufferSize) {
  return io::LoadFile(TextOf(path), read, append, static_cast<std::int32_t>(bufferSize));
}

bool CloseFile(StaticFunctionTag*, Ref path) { return io::CloseFile(TextOf(path)); }
bool DeleteAnyFile(StaticFunctionTag*, Ref path) { return io::DeleteAnyFile(TextOf(path)); }
bool IsLoaded(StaticFunctionTag*, Ref path) { return io::IsLoaded(TextOf(path)); }
bool IsGood(StaticFunctionTag*, Ref path) { return io::IsGood(TextOf(path)); }
bool IsReadOnly(StaticFunctionTag*, Ref path) { return io::IsReadOnly(TextOf(path)); }
bool IsWriteOnly(StaticFunctionTag*, Ref path) { return io::IsWriteOnly(TextOf(path)); }
bool HasNextLine(StaticFunctionTag*, Ref path) { return io::HasNextLine(TextOf(path)); }

// The line is interned straight from the file's buffer: no copy on the plugin's heap. The
// buffer holds each line zero-terminated.
void InternLine(std::string_view line, void* result) {
  *static_cast<Ref*>(result) = game::MakeStringRef(line.data());
}

Ref NextLine(StaticFunctionTag*, Ref path) {
  Ref line{nullptr};
  try {
    io::NextLine(TextOf(path), &InternLine, &line);
  } catch (const std::exception& error) {
    LogMessage("QX IO Util:   error reading file:");
    LogMessage("QX IO Util:   %s\n", error.what());
  }
  if (line.data == nullptr) line = game::MakeStringRef("");
  return line;
}

bool WriteLine(StaticFunctionTag*, Ref path, Ref line) {
  return io::WriteLine(TextOf(path), TextOf(line));
}

const NativeFunctionDef kFunctions[] = {
    DefineNative("ExistsFile", &ExistsFile),
    DefineNative("LoadFile", &LoadFile),
    DefineNative("CloseFile", &CloseFile),
    DefineNative("DeleteAnyFile", &DeleteAnyFile),
    DefineNative("IsLoaded", &IsLoaded),
    DefineNative("IsGood", &IsGood),
    DefineNative("IsReadOnly", &IsReadOnly),
    DefineNative("IsWriteOnly", &IsWriteOnly),
    DefineNative("HasNextLine", &HasNextLine),
    DefineNative("NextLine", &NextLine),
    DefineNative("WriteLine", &WriteLine),
};

const NativeClassDef kClass{"QXIOUtil", kFunctions};

}  // namespace

const NativeClassDef& QXIOUtilClass() { return kClass; }

void KeepFilePathsInGameStrings() { io::TextFileTable::Instance().KeepTextsWith(&KeepPathText); }

bool RegisterQXIOUtil(ScriptRegistry* registry) {
  KeepFilePathsInGameStrings();
  return RegisterNativeClass(registry, kClass);
}

}  // namespace qx::papyrus
