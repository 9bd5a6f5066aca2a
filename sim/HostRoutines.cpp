#include "sim/HostRoutines.h"

#include "sim/CameraScene.h"
#include "sim/GameRegion.h"
#include "sim/HostGlobals.h"

namespace sim {

void PlaceHostRoutines() {
  ResetHostGlobals();
  PlaceCameraSites();
}

}  // namespace sim
