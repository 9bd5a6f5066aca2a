#include "sim/VmStrings.h"

#include <atomic>
#include <mutex>
#include <set>
#include <string>

#include "sim/GameRegion.h"
#include "skse/GameStrings.h"

namespace sim {
namespace {

std::mutex gLock;
std::atomic<std::size_t> gNullTexts{0};

std::set<std::string, std::less<>>& Cache() {
  static auto& cache = *new std::set<std::string, std::less<>>;
  return cache;
}

// A null text gives a reference to nothing, as the game's cache does.
StringCache::Ref* QX_THISCALL Construct(StringCache::Ref* ref, const char* text) {
  ref->data = text != nullptr ? VmStrings::Intern(text) : nullptr;
  return ref;
}

StringCache::Ref* QX_THISCALL Set(StringCache::Ref* ref, const char* text) {
  if (text == nullptr) ++gNullTexts;
  ref->data = text != nullptr ? VmStrings::Intern(text) : nullptr;
  return ref;
}

}  // namespace

void VmStrings::PlaceRoutines() {
  PlaceRoutine(qx::game::kStringRefConstruct, reinterpret_cast<const void*>(&Construct));
  PlaceRoutine(qx::game::kStringRefSet, reinterpret_cast<const void*>(&Set));
}

const char* VmStrings::Intern(std::string_view text) {
  std::lock_guard<std::mutex> guard(gLock);
  auto found = Cache().find(text);
  if (found == Cache().end()) found = Cache().emplace(text).first;
  return found->c_str();
}

std::size_t VmStrings::NullTextsSet() { return gNullTexts; }

}  // namespace sim
