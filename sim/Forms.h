#pragma once
// The simulated game's forms: made with their class's type records, registered by form ID
// and found again through the game's form lookup (0x00451A30).
#include <cstddef>
#include <cstdint>
#include <string>

#include "skse/GameForms.h"
#include "skse/GameMagic.h"

namespace sim {

// Keeps memory that the game holds for the rest of the process reachable (the leak checker
// does not look into the game's region).
void KeepForProcess(const void* memory);

// A zero-filled object of `size` bytes (at least a TESForm) whose table is that of
// `className`, with the given form ID. It lives until the process ends.
[[nodiscard]] qx::game::TESForm* MakeForm(const std::string& className, std::size_t size,
                                          qx::game::FormID formID);

template <typename T>
[[nodiscard]] T* MakeFormOf(const std::string& className, qx::game::FormID formID) {
  return static_cast<T*>(MakeForm(className, sizeof(T), formID));
}

// A keyword (class BGSKeyword, or a class derived from it such as BGSLocationRefType).
[[nodiscard]] qx::game::BGSKeyword* MakeKeyword(qx::game::FormID formID,
                                                const std::string& className = "BGSKeyword");

// What the form lookup finds: the form under its form ID (replacing an earlier one).
void RegisterForm(qx::game::TESForm* form);
void ForgetAllForms();

// Places the form lookup; called while the game's routines are placed.
void PlaceFormRoutines();

}  // namespace sim
