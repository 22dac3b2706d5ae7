#include "core/startup.h"

namespace app {

namespace {

Text host_setting(const Settings& settings, const char* key, const char* fallback) {
  Text host = settings.read_setting(web::gbk(key), web::gbk("hosts"));
  return host.empty() ? Text(fallback) : host;
}

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

}  // namespace app
