#include "core/shops.h"

#include "core/startup.h"

namespace app {

namespace {

using web::gbk;

constexpr std::string_view kShopPrefix = "店铺:";
constexpr std::size_t kMaxLabelBytes = 64;
const char* const kHostKeys[] = {"backoffice", "images", "tracking"};

Text& host_of(Hosts& hosts, int i) {
  return i == 0 ? hosts.backoffice : i == 1 ? hosts.images : hosts.tracking;
}
const Text& host_of(const Hosts& hosts, int i) {
  return i == 0 ? hosts.backoffice : i == 1 ? hosts.images : hosts.tracking;
}

bool same_label(const Text& a, const Text& b) {
  return web::to_lower(a) == web::to_lower(b);
}

bool is_port(std::string_view digits) {
  if (digits.empty() || digits.size() > 5) return false;
  for (char c : digits)
    if (c < '0' || c > '9') return false;
  const long port = std::stol(std::string(digits));
  return port >= 1 && port <= 65535;
}

}  // namespace

Text all_shops_label() {
  return gbk("全部店铺");
}

Text shop_section(const Text& label) {
  return gbk(kShopPrefix) + label;
}

std::vector<Shop> read_shops(const Settings& settings) {
  std::vector<Shop> shops;
  Shop first;
  first.first = true;
  first.label = settings.read_setting("label", "hosts");
  if (first.label.empty()) first.label = gbk("店铺1");
  first.hosts = hosts_of(settings);
  first.account = settings.read_setting(gbk("账号"));
  first.password = settings.read_setting(gbk("密码"));
  shops.push_back(std::move(first));
  // A password not in the file may be with the keeper.

  const Text prefix = gbk(kShopPrefix);
  for (const Text& section : settings.sections()) {
    if (section.size() <= prefix.size() || section.compare(0, prefix.size(), prefix) != 0) continue;
    Shop shop;
    shop.label = section.substr(prefix.size());
    for (int i = 0; i < 3; ++i) host_of(shop.hosts, i) = settings.read_setting(kHostKeys[i], section);
    shop.account = settings.read_setting(gbk("账号"), section);
    shop.password = settings.read_setting(gbk("密码"), section);
    // A label the first shop already has is not a second shop.
    bool taken = false;
    for (const Shop& s : shops) taken = taken || same_label(s.label, shop.label);
    if (!taken) shops.push_back(std::move(shop));
  }
  if (PasswordKeeper* keeper = settings.password_keeper())
    for (Shop& shop : shops)
      if (shop.password.empty() && !shop.account.empty())
        shop.password = keeper->read(shop.account, shop.hosts.backoffice).value_or(Text());
  return shops;
}

std::optional<Shop> find_shop(const Settings& settings, const Text& label) {
  for (Shop& shop : read_shops(settings))
    if (same_label(shop.label, label)) return std::move(shop);
  return std::nullopt;
}

Text host_problem(const Text& typed) {
  std::string_view host(typed);
  if (host.empty()) return gbk("没有填主机");
  if (host.find_first_of(" \t\r\n") != std::string_view::npos) return gbk("主机里不能有空格");
  if (const auto scheme = host.find("://"); scheme != std::string_view::npos) {
    if (web::to_lower(host.substr(0, scheme)) != "https")
      return gbk("只能写 https://，或者不写（普通 http）");
    host.remove_prefix(scheme + 3);
  }
  if (host.find_first_of("/?#@\\") != std::string_view::npos)
    return gbk("只写主机和端口，后面不能带路径");
  std::string_view name = host, port;
  if (const auto colon = host.rfind(':'); colon != std::string_view::npos) {
    name = host.substr(0, colon);
    port = host.substr(colon + 1);
    if (!is_port(port)) return gbk("端口要在 1 到 65535 之间");
  }
  if (name.empty()) return gbk("没有填主机");
  for (char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '.' || c == '-' || c == '_';
    if (!ok) return gbk("主机名只能有字母、数字、点和横线");
  }
  return {};
}

Text label_problem(const Settings& settings, const Text& label, const Text& renamed_from) {
  if (label.empty()) return gbk("店铺名称不能为空");
  if (label.size() > kMaxLabelBytes) return gbk("店铺名称太长");
  if (label.find_first_of("[]=\r\n\t") != Text::npos || label.front() == ' ' || label.back() == ' ')
    return gbk("店铺名称里不能有方括号、等号、换行或首尾空格");
  if (same_label(label, all_shops_label())) return gbk("“全部店铺”是留给所有店铺的");
  for (const Shop& shop : read_shops(settings))
    if (same_label(shop.label, label) && !same_label(shop.label, renamed_from))
      return gbk("已经有叫这个名字的店铺了");
  return {};
}

bool save_shop(Settings& settings, const Shop& shop, Text* error, const Text& old_label) {
  // A further shop without an old label is a new one; the first shop is always there.
  const Text current = shop.first ? read_shops(settings).front().label : old_label;
  Text why = label_problem(settings, shop.label, current);
  for (int i = 0; i < 3 && why.empty(); ++i) {
    const Text& host = host_of(shop.hosts, i);
    // Only the back office is needed; the image and tracking hosts may stay empty.
    if (!host.empty() || i == 0) why = host_problem(host);
    if (!why.empty()) why = Text(kHostKeys[i]) + gbk("：") + why;
  }
  if (!why.empty()) {
    *error = why;
    return false;
  }
  bool written = true;
  if (shop.first) {
    written = settings.write_setting("label", shop.label, "hosts");
    for (int i = 0; i < 3; ++i)
      written = settings.write_setting(kHostKeys[i], host_of(shop.hosts, i), "hosts") && written;
    save_login(settings, {}, shop.hosts.backoffice, shop.account, shop.password);
  } else {
    const Text section = shop_section(shop.label);
    if (!old_label.empty() && !same_label(old_label, shop.label))
      written = settings.remove_section(shop_section(old_label));
    for (int i = 0; i < 3; ++i)
      written = settings.write_setting(kHostKeys[i], host_of(shop.hosts, i), section) && written;
    save_login(settings, section, shop.hosts.backoffice, shop.account, shop.password);
  }
  written = settings.read_setting(gbk("账号"), shop.first ? Text() : shop_section(shop.label)) == shop.account &&
            written;
  if (!written) *error = gbk("配置文件写不进去：") + web::utf8_to_gbk(settings.path().string());
  return written;
}

void save_login(Settings& settings, const Text& section, const Text& host, const Text& account,
                const Text& password) {
  settings.write_setting(gbk("账号"), account, section);
  // With a keeper that takes it, the file holds no password (one already
  // there moves out now).
  PasswordKeeper* keeper = settings.password_keeper();
  const bool kept = keeper && !account.empty() && keeper->write(account, host, password);
  settings.write_setting(gbk("密码"), kept ? Text() : password, section);
}

bool remove_shop(Settings& settings, const Text& label, Text* error) {
  const std::optional<Shop> shop = find_shop(settings, label);
  if (!shop) {
    *error = gbk("没有这个店铺：") + label;
    return false;
  }
  if (shop->first) {
    *error = gbk("第一个店铺（配置项目）不能删除，只能修改");
    return false;
  }
  if (!settings.remove_section(shop_section(shop->label))) {
    *error = gbk("配置文件写不进去：") + web::utf8_to_gbk(settings.path().string());
    return false;
  }
  return true;
}

void serve_shop(Context& ctx, const Shop& shop, web::HttpSession* session) {
  ctx.hosts = shop.hosts;
  // A further shop without hosts of its own: its pictures on its back
  // office's host, parcels asked of the first shop's tracking service.
  if (ctx.hosts.images.empty()) ctx.hosts.images = shop.hosts.backoffice;
  if (ctx.hosts.tracking.empty()) ctx.hosts.tracking = hosts_of(ctx.settings).tracking;
  ctx.http = shop.first ? nullptr : session;
  ctx.shop_label = shop.label;
  ctx.settings_section = shop.first ? Text() : shop_section(shop.label);
}

}  // namespace app
