#pragma once
// The Qt application a command needs to paint (fonts for a PDF; widgets for
// charts), on Qt's offscreen platform: a command run from cron has no
// display. It ends with the command, its fonts released. Nothing when an
// application exists already.
//
// Usage: const auto application = offscreen_application(Painting::Widgets);

#include <QCoreApplication>

#include <memory>

namespace cli {

enum class Painting { Fonts, Widgets };

std::unique_ptr<QCoreApplication> offscreen_application(Painting painting);

}  // namespace cli
