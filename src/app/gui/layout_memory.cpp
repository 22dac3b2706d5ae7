#include "app/gui/layout_memory.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QTableView>
#include <QWidget>

#include <charconv>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/settings.h"

namespace app {

namespace {

const Text kSection = "layout";
const Text kWidthsKey = "order_column_widths";
const Text kOrderKey = "order_column_order";
const Text kWindowKey = "window";
const Text kMaximizedKey = "maximized";
constexpr int kMaxColumnWidth = 4000;

// "50, 0,x" -> {50, 0, none}: one entry per comma-separated field.
std::vector<std::optional<int>> numbers(const Text& value) {
  std::vector<std::optional<int>> out;
  if (value.empty()) return out;
  std::size_t begin = 0;
  while (begin <= value.size()) {
    std::size_t end = value.find(',', begin);
    if (end == Text::npos) end = value.size();
    const Text field = web::trim_spaces(value.substr(begin, end - begin));
    int n = 0;
    const auto [rest, error] = std::from_chars(field.data(), field.data() + field.size(), n);
    const bool whole = error == std::errc() && rest == field.data() + field.size() && !field.empty();
    out.push_back(whole ? std::optional<int>(n) : std::nullopt);
    begin = end + 1;
  }
  return out;
}

Text joined(const std::vector<int>& values) {
  Text out;
  for (std::size_t i = 0; i < values.size(); ++i) out += (i ? "," : "") + std::to_string(values[i]);
  return out;
}

int fixed_columns() {
  return static_cast<int>(order_columns().size());
}

void restore_widths(const Settings& settings, QTableView* orders) {
  const auto widths = numbers(settings.read_setting(kWidthsKey, kSection));
  const auto defaults = order_columns();
  for (int c = 0; c < fixed_columns(); ++c) {
    const std::optional<int> w = c < static_cast<int>(widths.size()) ? widths[c] : std::nullopt;
    const bool sane = w && *w >= 0 && *w <= kMaxColumnWidth;
    orders->setColumnWidth(c, sane ? *w : defaults[c].width);
  }
}

// Only an order naming each of the columns once is taken.
void restore_order(const Settings& settings, QTableView* orders) {
  const auto order = numbers(settings.read_setting(kOrderKey, kSection));
  if (static_cast<int>(order.size()) != fixed_columns()) return;
  std::set<int> seen;
  for (const auto& c : order)
    if (!c || *c < 0 || *c >= fixed_columns() || !seen.insert(*c).second) return;
  QHeaderView* header = orders->horizontalHeader();
  for (int place = 0; place < fixed_columns(); ++place)
    header->moveSection(header->visualIndex(*order[place]), place);
}

// A window rectangle of a sane size that shows at least a corner of itself on a screen.
bool on_a_screen(const QRect& r) {
  if (r.width() < 200 || r.height() < 150 || r.width() > 20000 || r.height() > 20000) return false;
  for (const QScreen* screen : QGuiApplication::screens()) {
    const QRect seen = screen->availableGeometry().intersected(r);
    if (seen.width() >= 100 && seen.height() >= 50) return true;
  }
  return false;
}

void restore_window(const Settings& settings, QWidget* window) {
  const auto place = numbers(settings.read_setting(kWindowKey, kSection));
  if (place.size() == 4 && place[0] && place[1] && place[2] && place[3]) {
    const QRect r(*place[0], *place[1], *place[2], *place[3]);
    if (on_a_screen(r)) window->setGeometry(r);
  }
  if (settings.read_setting(kMaximizedKey, kSection) == "1")
    window->setWindowState(window->windowState() | Qt::WindowMaximized);
}

}  // namespace

void restore_layout(const Settings& settings, QWidget* window, QTableView* orders) {
  restore_widths(settings, orders);
  restore_order(settings, orders);
  restore_window(settings, window);
}

void save_layout(Settings& settings, const QWidget* window, const QTableView* orders) {
  const QHeaderView* header = orders->horizontalHeader();
  std::vector<int> widths, order;
  for (int c = 0; c < fixed_columns(); ++c) widths.push_back(header->sectionSize(c));
  for (int place = 0; place < header->count(); ++place)
    if (const int c = header->logicalIndex(place); c < fixed_columns()) order.push_back(c);
  // The size to come back to from maximised is the one kept.
  QRect r = window->isMaximized() ? window->normalGeometry() : window->geometry();
  if (r.isEmpty()) r = window->geometry();
  settings.write_setting(kWidthsKey, joined(widths), kSection);
  settings.write_setting(kOrderKey, joined(order), kSection);
  settings.write_setting(kWindowKey, joined({r.x(), r.y(), r.width(), r.height()}), kSection);
  settings.write_setting(kMaximizedKey, window->isMaximized() ? "1" : "0", kSection);
}

void restore_default_columns(QTableView* orders) {
  QHeaderView* header = orders->horizontalHeader();
  const auto defaults = order_columns();
  for (int c = 0; c < fixed_columns() && c < header->count(); ++c) {
    header->moveSection(header->visualIndex(c), c);
    orders->setColumnWidth(c, defaults[c].width);
  }
}

}  // namespace app
