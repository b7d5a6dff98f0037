// KWin's own idle protocol, generated from plasma-wayland-protocols' XML: the tests use
// its simulate_user_activity to stand in for a person's key press.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"
extern "C" {
#include "idle-client-protocol.h"
#include "idle-protocol.c"
}
#pragma GCC diagnostic pop
