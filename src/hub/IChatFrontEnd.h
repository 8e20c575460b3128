#pragma once
// A front end that both shows the station's events and carries out its start-up steps, as
// the desktop window and the headless station do.

#include "hub/IStartupSteps.h"
#include "hub/IStationEvents.h"

namespace palaverly {

class IChatFrontEnd : public IStationEvents, public IStartupSteps {};

} // namespace palaverly
