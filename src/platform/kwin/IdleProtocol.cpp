// The idle protocols' code, generated from their XML by wayland-scanner as C and compiled
// here, where the headers' declarations give its tables their linkage (and the generated
// code's hidden visibility on a declared name is moot).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"
extern "C" {
#include "ext-idle-notify-v1-client-protocol.h"
#include "ext-idle-notify-v1-protocol.c"
#include "idle-client-protocol.h"
#include "idle-protocol.c"
}
#pragma GCC diagnostic pop
