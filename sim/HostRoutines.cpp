#include "sim/HostRoutines.h"

#include "sim/CameraScene.h"
#include "sim/ArtPickSite.h"
#include "sim/Forms.h"
#include "sim/ActorValueNames.h"
#include "sim/Actors.h"
#include "sim/FixSites.h"
#include "sim/GameRegion.h"
#include "sim/GameplayRoutines.h"
#include "sim/HostGlobals.h"
#include "sim/Vm.h"

namespace sim {

void PlaceHostRoutines() {
  ResetHostGlobals();
  PlaceCameraSites();
  PlaceFormRoutines();
  PlaceArtPickSite();
  PlaceActorValueNames();
  PlaceActorRoutines();
  PlaceGameplayRoutines();
  PlaceFixSites();
  Vm::PlaceRoutines();
}

}  // namespace sim
