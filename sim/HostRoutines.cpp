#include "sim/HostRoutines.h"

#include "sim/GameRegion.h"
#include "sim/HostGlobals.h"

namespace sim {

void PlaceHostRoutines() {
  ResetHostGlobals();
}

}  // namespace sim
