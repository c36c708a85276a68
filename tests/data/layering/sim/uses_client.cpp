// A simulated server that encodes with the client's code, and a header
// reached by a relative path.
#include "net/sckt_param.h"
#include "trade_core/trade_wire.h"
#include "../src/tools/lock.h"
