#include "sim/HostRoutines.h"

#include "sim/GameRegion.h"
#include "sim/HostGlobals.h"
#include "sim/Vm.h"

namespace sim {

void PlaceHostRoutines() {
  ResetHostGlobals();
  Vm::PlaceRoutines();
}

}  // namespace sim
