// A tools header that reaches up into the trade session.
#include <string>

#include "pub.h"
#include "tools/lock.h"
#include "trade/TradeClient.h"
