// Idle time on a Wayland compositor: it goes up while nobody touches anything, and resets
// on input, which `pressKey` gives as the compositor allows.
#pragma once

#include <poll.h>

#include <gtest/gtest.h>

#include <functional>

#include "kwin/WaylandIdle.h"

namespace tervane::testing {

inline void checkIdleTimeGoesUpAndResets(const std::function<void()>& pressKey) {
  using kwin::WaylandIdle;
  auto connected = WaylandIdle::connect(std::chrono::milliseconds(200));
  ASSERT_TRUE(connected);
  WaylandIdle& idle = *connected.value();
  const auto waitFor = [&](bool idled) {
    for (int events = 0; events < 100 && idle.isIdle() != idled; ++events) {
      pollfd p{idle.fileDescriptor(), POLLIN, 0};
      if (::poll(&p, 1, 10000) <= 0 || !idle.dispatch()) break;
    }
    return idle.isIdle() == idled;
  };
  ASSERT_TRUE(waitFor(true));
  EXPECT_GE(idle.idleSeconds(), 0.2);

  pressKey();
  EXPECT_TRUE(waitFor(false));
  EXPECT_EQ(idle.idleSeconds(), 0.0);
}

}  // namespace tervane::testing
