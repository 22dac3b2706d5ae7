#include "core/startup.h"

namespace app {

namespace {

Text host_setting(const Settings& settings, const char* key, const char* fallback) {
  Text host = settings.read_setting(web::gbk(key), web::gbk("hosts"));
  return host.empty() ? Text(fallback) : host;
}

// The window's shipping choice: section "shipping", key per box.
constexpr std::pair<const char*, const char*> kShippingBoxes[] = {{"编辑框12", "courier"},
                                                                  {"编辑框13", "sender_id"}};

}  // namespace

Hosts hosts_of(const Settings& settings) {
  return {host_setting(settings, "backoffice", "127.0.0.1:18080"),
          host_setting(settings, "images", "127.0.0.1:18081"),
          host_setting(settings, "tracking", "127.0.0.1:18082")};
}

void fill_settings_boxes(Form& form, const Settings& settings) {
  const std::pair<const char*, const char*> boxes[] = {
      {"编辑框1", "账号"}, {"编辑框2", "密码"}, {"编辑框7", "快递100sky"}, {"编辑框8", "快递类型"}};
  for (auto& [box, key] : boxes) form.set_text(box, settings.read_setting(web::gbk(key)));
}

void restore_shipping_choice(Form& form, const Settings& settings) {
  for (auto& [box, key] : kShippingBoxes) {
    Text kept = settings.read_setting(web::gbk(key), web::gbk("shipping"));
    // Nothing shipped from here yet: parcels go with the courier they are tracked with.
    if (kept.empty() && std::string_view(box) == "编辑框12")
      kept = web::trim_spaces(settings.read_setting(web::gbk("快递类型")));
    if (!kept.empty()) form.set_text(box, kept);
  }
}

void save_shipping_choice(Form& form, Settings& settings) {
  for (auto& [box, key] : kShippingBoxes) {
    const Text now = form.text(box);
    if (settings.read_setting(web::gbk(key), web::gbk("shipping")) != now)
      settings.write_setting(web::gbk(key), now, web::gbk("shipping"));
  }
}

}  // namespace app
