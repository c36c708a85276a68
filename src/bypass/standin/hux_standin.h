#pragma once

// The stand-ins' settings and hooks, for tests and tools only: nothing of the
// senders includes this. Every setting is also read from its environment
// variable at first use, so a process that only loads the library can be
// driven from outside.
#include "bypass/standin/standin_efvi.h"
#include "bypass/standin/standin_exanic.h"
#include "bypass/standin/standin_zf.h"
