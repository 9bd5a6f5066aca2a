#include "sim/Forms.h"

#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "sim/GameRegion.h"
#include "sim/Rtti.h"

namespace sim {
namespace {

std::unordered_map<qx::game::FormID, qx::game::TESForm*>& Registry() {
  static auto* forms = new std::unordered_map<qx::game::FormID, qx::game::TESForm*>();
  return *forms;
}

qx::game::TESForm* QX_CDECL LookupFormByIDStandIn(qx::game::FormID formID) {
  auto found = Registry().find(formID);
  return found == Registry().end() ? nullptr : found->second;
}

}  // namespace

void KeepForProcess(const void* memory) {
  static auto* kept = new std::vector<const void*>();
  kept->push_back(memory);
}

qx::game::TESForm* MakeForm(const std::string& className, std::size_t size,
                            qx::game::FormID formID) {
  if (size < sizeof(qx::game::TESForm)) size = sizeof(qx::game::TESForm);
  auto* form = static_cast<qx::game::TESForm*>(std::calloc(1, size));
  form->vtable = GameClass(className).VTable();
  form->formID = formID;
  KeepForProcess(form);
  return form;
}

qx::game::BGSKeyword* MakeKeyword(qx::game::FormID formID, const std::string& className) {
  return static_cast<qx::game::BGSKeyword*>(MakeForm(className, sizeof(qx::game::BGSKeyword), formID));
}

void RegisterForm(qx::game::TESForm* form) { Registry()[form->formID] = form; }

void ForgetAllForms() { Registry().clear(); }

void PlaceFormRoutines() {
  PlaceRoutine(qx::game::kLookupFormByID, reinterpret_cast<const void*>(&LookupFormByIDStandIn));
}

}  // namespace sim
