#pragma once
// The game's interned strings: a StringCache::Ref is one pointer to the cache's copy.
#include "skse/HostCall.h"

namespace StringCache {

struct Ref {
  const char* data;  // 00 the cache's zero-terminated copy, or null

  [[nodiscard]] const char* c_str() const noexcept { return data; }
};
static_assert(sizeof(Ref) == 4);

}  // namespace StringCache

namespace qx::game {

inline constexpr host::Address kStringRefConstruct = 0x00A511C0;  // Ref::Ref(const char*)
inline constexpr host::Address kStringRefSet = 0x00A51210;        // Ref::Set(const char*)

using StringRefFn = StringCache::Ref* QX_THISCALL(StringCache::Ref* ref, const char* text);

// A new reference to the cache's copy of `text` (null allowed), made by the constructor.
[[nodiscard]] inline StringCache::Ref MakeStringRef(const char* text) noexcept {
  StringCache::Ref ref{nullptr};
  host::Routine<StringRefFn>(kStringRefConstruct)(&ref, text);
  return ref;
}

// Points `ref` at the cache's copy of `text` (null allowed), through the game's setter.
inline void SetStringRef(StringCache::Ref& ref, const char* text) noexcept {
  host::Routine<StringRefFn>(kStringRefSet)(&ref, text);
}

// The text of a reference, with a null reference read as the empty text.
[[nodiscard]] inline const char* TextOf(StringCache::Ref ref) noexcept {
  return ref.data != nullptr ? ref.data : "";
}

}  // namespace qx::game
