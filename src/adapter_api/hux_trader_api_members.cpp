// The special members of the object interface HUXTraderApi, which the
// Windows DLL exports (an application's own HUXTraderApi objects and
// pointers are built and destroyed through them). Out of line, the
// destructor is the class's key function: the interface's virtual table is
// emitted here, once, and the constructors install it. Linux keeps the
// inline destructor of the header.
#ifdef _WIN32
#include "hux_adapter_api.h"

HUXTraderApi::HUXTraderApi() {}

HUXTraderApi::HUXTraderApi(const HUXTraderApi&) {}

// The interface holds no data: nothing to copy.
HUXTraderApi& HUXTraderApi::operator=(const HUXTraderApi&) { return *this; }

HUXTraderApi::~HUXTraderApi() {}
#endif
