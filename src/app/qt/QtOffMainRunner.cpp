#include "app/qt/QtOffMainRunner.h"

namespace tervane {

QtOffMainRunner::QtOffMainRunner(std::shared_ptr<MainQueue> main) : main_(std::move(main)) {
  pool_.setMaxThreadCount(kMaxThreads);
}

QtOffMainRunner::~QtOffMainRunner() {
  pool_.waitForDone();
}

void QtOffMainRunner::runTask(std::function<void()> work, std::function<void()> done) {
  pool_.start([main = main_, work = std::move(work), done = std::move(done)]() mutable {
    work();
    main->post(std::move(done));
  });
}

void QtOffMainRunner::waitForWork() {
  pool_.waitForDone();
}

}  // namespace tervane
