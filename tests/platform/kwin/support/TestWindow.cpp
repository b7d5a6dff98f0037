// One window with the Wayland app id given as the first argument: the tests' stand-in
// for an application on a KWin desktop. With a second argument, a descriptor, it writes
// "shown" there once the compositor has configured and shown the window, which also
// tells that KWin's main loop is running.
#include <unistd.h>

#include <QApplication>
#include <QWidget>
#include <cstdlib>

namespace {

class Window final : public QWidget {
 public:
  explicit Window(int fd) : fd_(fd) {}

 protected:
  void paintEvent(QPaintEvent* /*event*/) override {
    if (fd_ < 0) return;
    (void)!::write(fd_, "shown\n", 6);
    ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  QGuiApplication::setDesktopFileName(QString::fromLocal8Bit(argv[1]));
  QApplication app(argc, argv);
  Window window(argc > 2 ? std::atoi(argv[2]) : -1);
  window.setWindowTitle(QString::fromLocal8Bit(argv[1]));
  window.resize(320, 200);
  window.show();
  return QApplication::exec();
}
