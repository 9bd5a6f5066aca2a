#include "sim/Books.h"

#include <cstdlib>
#include <cstring>

#include "sim/DataHandler.h"
#include "sim/Forms.h"

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

// The array is the game's: one element more than asked for, never freed.
void SetBooks(qx::game::DataHandler& handler, const std::vector<TESObjectBOOK*>& books) {
  auto* array = static_cast<TESObjectBOOK**>(std::calloc(books.size() + 1, sizeof(TESObjectBOOK*)));
  KeepForProcess(array);
  if (!books.empty()) std::memcpy(array, books.data(), books.size() * sizeof(TESObjectBOOK*));
  handler.books = array;
  handler.bookCount = static_cast<std::uint32_t>(books.size());
}

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

qx::game::DataHandler* MakeDataHandlerWithBooks(const std::vector<TESObjectBOOK*>& books) {
  auto* handler = new qx::game::DataHandler{};
  KeepForProcess(handler);
  SetBooks(*handler, books);
  return handler;
}

void SetDataHandlerBooks(const std::vector<TESObjectBOOK*>& books) { SetBooks(GameDataHandler(), books); }

}  // namespace sim
