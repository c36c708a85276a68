// An adapter header that reaches for the trade library's records.
#ifndef MIXED_H
#define MIXED_H

#include "hux_trade_x.h"
#include "session/core.h"

#endif
