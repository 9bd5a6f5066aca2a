#pragma once
// Asks the game's own type records whether an object is of a class: its class or any base.
#include "skse/GameForms.h"

namespace qx::game {

// True when the object's complete class, or one of its bases, has the decorated name
// `typeName` (".?AVBGSKeyword@@"). Null objects and broken records give false.
[[nodiscard]] bool IsObjectOfClass(const void* object, const char* typeName) noexcept;

// Whether the form is a BGSKeyword or of a class derived from it.
[[nodiscard]] bool IsKeyword(const TESForm* form) noexcept;

}  // namespace qx::game
