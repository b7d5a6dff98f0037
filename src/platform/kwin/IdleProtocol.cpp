// The idle notification's protocol code, generated from its XML by wayland-scanner as C
// and compiled here, where the header's declarations give its tables their linkage (and
// the generated code's hidden visibility on a declared name is moot).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"
extern "C" {
#include "ext-idle-notify-v1-client-protocol.h"
#include "ext-idle-notify-v1.c"
}
#pragma GCC diagnostic pop
