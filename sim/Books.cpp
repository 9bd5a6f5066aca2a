#include "sim/Books.h"

#include <cstdlib>
#include <cstring>

#include "sim/Forms.h"
#include "sim/HostGlobals.h"

namespace sim {
namespace {

using qx::game::TESFullName;
using qx::game::TESObjectBOOK;

// The simulated name part keeps its text right after its table pointer.
struct SimFullName {
  TESFullName part;
  const char* name;
};
static_assert(offsetof(SimFullName, name) == 4);

const char* QX_THISCALL FullNameStandIn(const TESFullName* self) {
  return reinterpret_cast<const SimFullName*>(self)->name;
}

void* const* FullNameTable() {
  static void* table[8] = {};
  table[qx::game::kFullNameSlot_GetName] = reinterpret_cast<void*>(&FullNameStandIn);
  return table;
}

constexpr std::size_t kDataHandlerSize = 0x800;

}  // namespace

TESObjectBOOK* MakeBook(const BookData& data) {
  auto* book = MakeFormOf<TESObjectBOOK>("TESObjectBOOK", data.formID);
  auto* name = reinterpret_cast<SimFullName*>(&book->fullName);
  name->part.vtable = const_cast<void**>(FullNameTable());
  char* text = new char[data.name.size() + 1];
  std::memcpy(text, data.name.c_str(), data.name.size() + 1);
  name->name = text;
  KeepForProcess(text);
  book->flags = data.flags;
  book->teaches = data.teaches;
  book->soundUp = data.soundUp;
  book->soundDown = data.soundDown;
  return book;
}

void* MakeDataHandlerWithBooks(const std::vector<TESObjectBOOK*>& books) {
  auto* handler = static_cast<std::uint8_t*>(std::calloc(1, kDataHandlerSize));
  auto* array = static_cast<TESObjectBOOK**>(std::calloc(books.size() + 1, sizeof(TESObjectBOOK*)));
  if (!books.empty()) std::memcpy(array, books.data(), books.size() * sizeof(TESObjectBOOK*));
  auto count = static_cast<std::uint32_t>(books.size());
  std::memcpy(handler + qx::game::kDataHandlerBooksOffset, &array, sizeof(array));
  std::memcpy(handler + qx::game::kDataHandlerBookCountOffset, &count, sizeof(count));
  KeepForProcess(handler);
  KeepForProcess(array);
  return handler;
}

void SetDataHandlerBooks(const std::vector<TESObjectBOOK*>& books) {
  auto*& handler = GameGlobal<std::uint8_t*>(qx::game::kDataHandlerSingleton);
  if (handler == nullptr) {
    handler = static_cast<std::uint8_t*>(MakeDataHandlerWithBooks(books));
    return;
  }
  auto* made = static_cast<std::uint8_t*>(MakeDataHandlerWithBooks(books));
  std::memcpy(handler + qx::game::kDataHandlerBooksOffset, made + qx::game::kDataHandlerBooksOffset, 4);
  std::memcpy(handler + qx::game::kDataHandlerBookCountOffset,
              made + qx::game::kDataHandlerBookCountOffset, 4);
}

}  // namespace sim
