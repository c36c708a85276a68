// A public header.
#include "pub2.h"
