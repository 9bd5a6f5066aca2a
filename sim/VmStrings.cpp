#include "sim/VmStrings.h"

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "sim/GameRegion.h"
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

// While a short-lived scope is open: the texts it added, to drop when it closes.
bool gShortLived = false;
std::vector<Texts::iterator>& ShortLivedTexts() {
  static auto& texts = *new std::vector<Texts::iterator>;
  return texts;
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
  if (found == Cache().end()) {
    found = Cache().emplace(text).first;
    if (gShortLived) ShortLivedTexts().push_back(found);
  }
  return found->c_str();
}

VmStrings::ShortLivedScope::ShortLivedScope() {
  std::lock_guard<std::mutex> guard(gLock);
  gShortLived = true;
}

VmStrings::ShortLivedScope::~ShortLivedScope() {
  std::lock_guard<std::mutex> guard(gLock);
  for (Texts::iterator text : ShortLivedTexts()) Cache().erase(text);
  ShortLivedTexts().clear();
  gShortLived = false;
}

std::size_t VmStrings::NullTextsSet() { return gNullTexts; }

bool VmStrings::Holds(std::string_view text) {
  std::lock_guard<std::mutex> guard(gLock);
  return Cache().find(text) != Cache().end();
}

}  // namespace sim
