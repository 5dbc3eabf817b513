#pragma once

#include "RemoteControl.h"

class AppDelegate;

// What the calls of the program's D-Bus interface do in the running program: the same as the
// status menu's items and the editor, through the delegate's parts. The delegate owns the
// remote control the actions go to, and so outlives them.
RemoteControl::Actions remoteActions(AppDelegate& delegate);
