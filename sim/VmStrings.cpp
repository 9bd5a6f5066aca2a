#include "sim/VmStrings.h"

#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "sim/GameRegion.h"
#include "sim/ThreadStack.h"
#include "skse/GameStrings.h"

namespace sim {
namespace {

std::mutex gLock;
std::atomic<std::size_t> gNullTexts{0};

using Texts = std::set<std::string, std::less<>>;

Texts& Cache() {
  static auto& cache = *new Texts;
  return cache;
}

// The texts first interned while a short-lived scope was open, to drop when it closes (or,
// when something still holds one then, at a later scope's end).
bool gShortLived = false;
std::vector<Texts::iterator>& ShortLivedTexts() {
  static auto& texts = *new std::vector<Texts::iterator>;
  return texts;
}

// References the setter pointed at a text in storage that outlives a call (static, thread
// or heap memory of the plugin, or the VM's values), by address, with the text each holds:
// such a reference keeps its text in the cache until it is pointed elsewhere or its value
// is released. A reference on the calling thread's stack is a call's temporary and holds
// nothing once the call is over; one the constructor made is a new text for the VM to take
// (a list's element), held only by whatever the VM puts it in.
std::map<const void*, const char*>& HeldTexts() {
  static auto& held = *new std::map<const void*, const char*>;
  return held;
}

const char* InternLocked(std::string_view text) {
  auto found = Cache().find(text);
  if (found == Cache().end()) {
    found = Cache().emplace(text).first;
    if (gShortLived) ShortLivedTexts().push_back(found);
  }
  return found->c_str();
}

// A null text gives a reference to nothing, as the game's cache does.
StringCache::Ref* QX_THISCALL Construct(StringCache::Ref* ref, const char* text) {
  ref->data = text != nullptr ? VmStrings::Intern(text) : nullptr;
  return ref;
}

StringCache::Ref* QX_THISCALL Set(StringCache::Ref* ref, const char* text) {
  if (text == nullptr) ++gNullTexts;
  bool held = !OnThisThreadsStack(ref);
  std::lock_guard<std::mutex> guard(gLock);
  ref->data = text != nullptr ? InternLocked(text) : nullptr;
  if (held && ref->data != nullptr) {
    HeldTexts()[ref] = ref->data;
  } else if (held) {
    HeldTexts().erase(ref);
  }
  return ref;
}

}  // namespace

void VmStrings::PlaceRoutines() {
  PlaceRoutine(qx::game::kStringRefConstruct, reinterpret_cast<const void*>(&Construct));
  PlaceRoutine(qx::game::kStringRefSet, reinterpret_cast<const void*>(&Set));
}

const char* VmStrings::Intern(std::string_view text) {
  std::lock_guard<std::mutex> guard(gLock);
  return InternLocked(text);
}

void VmStrings::Released(const void* ref) {
  std::lock_guard<std::mutex> guard(gLock);
  HeldTexts().erase(ref);
}

VmStrings::ShortLivedScope::ShortLivedScope() {
  std::lock_guard<std::mutex> guard(gLock);
  gShortLived = true;
}

VmStrings::ShortLivedScope::~ShortLivedScope() {
  std::lock_guard<std::mutex> guard(gLock);
  std::set<const char*> held;
  for (const auto& [ref, text] : HeldTexts()) held.insert(text);
  std::vector<Texts::iterator> stillHeld;
  for (Texts::iterator text : ShortLivedTexts()) {
    if (held.count(text->c_str()) != 0) {
      stillHeld.push_back(text);
    } else {
      Cache().erase(text);
    }
  }
  ShortLivedTexts() = std::move(stillHeld);
  gShortLived = false;
}

std::size_t VmStrings::NullTextsSet() { return gNullTexts; }

bool VmStrings::Holds(std::string_view text) {
  std::lock_guard<std::mutex> guard(gLock);
  return Cache().find(text) != Cache().end();
}

}  // namespace sim
