#pragma once
// Sets the interface library up on the editor window: its context and the plot layer's, the
// dark style with the editor's window background and active title colours, and the back ends
// on the "Child" window and its device, which the editor then owns (its Uninit shuts them down).

#include "platform/window_system.h"

class CManager;

// False, with nothing left set up, when the back ends cannot start.
bool SetUpInterface(CManager& manager, platform::WindowSystem& system);
