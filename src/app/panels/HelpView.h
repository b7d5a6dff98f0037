// The help panel's content. It does not explain the application (the walk-through does);
// it asks the person to write, offers the support address to copy, shows the one line
// that names their version and system, and opens the folder where the application keeps
// its files (the stage journal's folder) in the file manager. Return and Escape close it.
#pragma once

#include <QAbstractButton>
#include <QUrl>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <string>

#include "app/paint/TText.h"
#include "app/paint/TVerb.h"
#include "look/ThemeManager.h"
#include "words/MenuStrings.h"

namespace tervane {

inline constexpr const char* kSupportAddress = "help@tervane.app";

// NAME and VERSION_ID of /etc/os-release, or of /usr/lib/os-release when the first is
// missing; "Linux" alone when neither can be read.
SystemIdentity readSystemIdentity(const std::filesystem::path& osRelease = "/etc/os-release",
                                  const std::filesystem::path& fallback = "/usr/lib/os-release");

struct HelpOptions {
  AppIdentity app;
  SystemIdentity system;
  std::string address = kSupportAddress;
  // Where the application keeps its files: the stage journal's folder.
  std::filesystem::path filesFolder;
  // Opens a folder in the file manager; QDesktopServices (xdg-open) when not given.
  std::function<bool(const QUrl&)> openUrl;
};

class HelpView final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kWidth = 560;
  static constexpr int kHeight = 400;
  static constexpr int kSidePadding = 30;
  static constexpr int kEndPadding = 28;
  static constexpr int kAddressHeight = 44;

  // `onClose` runs inside this view's handlers: it may hide the panel at once but must
  // release it with deleteLater.
  HelpView(ThemeManager& theme, HelpOptions options, std::function<void()> onClose,
           QWidget* parent = nullptr);

  bool copied() const { return copied_; }
  // "Copy", or "Copied" once the address was copied.
  QString copyLabel() const;

  QAbstractButton* addressRow() const;
  TText* systemLine() const { return systemLine_; }
  TVerb* showFiles() const { return showFiles_; }
  TVerb* closeVerb() const { return close_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  class AddressRow;
  void copyAddress();
  void openFiles();
  void close();

  ThemeManager& theme_;
  HelpOptions options_;
  std::function<void()> onClose_;
  bool copied_ = false;
  bool shown_ = false;

  QWidget* content_ = nullptr;
  AddressRow* addressRow_ = nullptr;
  TText* systemLine_ = nullptr;
  TVerb* showFiles_ = nullptr;
  TVerb* close_ = nullptr;
};

}  // namespace tervane
