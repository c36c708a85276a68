// A session header that includes only what lies below it.
#include "pub.h"
#include "report/coll_rptr/tcp_client.h"
#include "tools/lock.h"
#include "trade_core/trade_wire.h"
