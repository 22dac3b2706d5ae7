#include "cli/offscreen.h"

#include <QApplication>
#include <QGuiApplication>

namespace cli {

std::unique_ptr<QCoreApplication> offscreen_application(Painting painting) {
  if (QCoreApplication::instance()) return nullptr;
  static int argc = 3;
  static char name[] = "weihe-cli", option[] = "-platform", platform[] = "offscreen";
  static char* argv[] = {name, option, platform, nullptr};
  if (painting == Painting::Widgets) return std::make_unique<QApplication>(argc, argv);
  return std::make_unique<QGuiApplication>(argc, argv);
}

}  // namespace cli
