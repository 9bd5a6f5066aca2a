#pragma once
// Places every host routine the simulated game offers at its fixed address.
namespace sim {

void PlaceHostRoutines();

}  // namespace sim
