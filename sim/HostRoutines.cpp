#include "sim/HostRoutines.h"

#include "sim/Forms.h"
#include "sim/GameRegion.h"
#include "sim/HostGlobals.h"

namespace sim {

void PlaceHostRoutines() {
  ResetHostGlobals();
  PlaceFormRoutines();
}

}  // namespace sim
