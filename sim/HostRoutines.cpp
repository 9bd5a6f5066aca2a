#include "sim/HostRoutines.h"

#include "sim/CameraScene.h"
#include "sim/ArtPickSite.h"
#include "sim/Forms.h"
#include "sim/GameRegion.h"
#include "sim/HostGlobals.h"

namespace sim {

void PlaceHostRoutines() {
  ResetHostGlobals();
  PlaceCameraSites();
  PlaceFormRoutines();
  PlaceArtPickSite();
}

}  // namespace sim
