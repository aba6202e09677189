// A display library that lacks most of the ten functions, for the host's check.
#include "zavvfd.h"

extern "C" {
ZAVVFD_API const char* DISPLAYDLL_DriverName(void) { return "partial"; }
ZAVVFD_API void DISPLAYDLL_Done(void) {}
}
