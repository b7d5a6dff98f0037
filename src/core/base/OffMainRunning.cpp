#include "base/OffMainRunning.h"

#include <thread>

namespace tervane {

void DetachedRunner::runTask(std::function<void()> work, std::function<void()> done) {
  std::thread([main = main_, work = std::move(work), done = std::move(done)]() mutable {
    work();
    main->post(std::move(done));
  }).detach();
}

}  // namespace tervane
