#include "base/Signal.h"

#include <gtest/gtest.h>

#include <string>

namespace tervane {

TEST(Observable, NotifiesOnlyWhenTheValueReallyChanged) {
  Observable<std::string> line;
  std::vector<std::string> seen;
  auto connection = line.changed().connect([&](const std::string& v) { seen.push_back(v); });
  line.set("");
  line.set("write");
  line.set("write");
  line.set("read");
  EXPECT_EQ(seen, (std::vector<std::string>{"write", "read"}));

  connection.disconnect();
  line.set("again");
  EXPECT_EQ(seen.size(), 2u);
}

TEST(Signal, ASlotMayDisconnectItselfWhileBeingCalled) {
  Signal<int> signal;
  int calls = 0;
  Signal<int>::Connection self;
  self = signal.connect([&](int) {
    ++calls;
    self.disconnect();
  });
  signal.emit(1);
  signal.emit(2);
  EXPECT_EQ(calls, 1);
}

}  // namespace tervane
