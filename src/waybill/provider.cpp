#include "waybill/provider.h"

#include <vector>

#include "waybill/kdniao.h"
#include "waybill/kuaidi100.h"

namespace waybill {

namespace {

// The settings keys (section `waybill`) a provider cannot do without.
std::vector<std::string> missing_settings(const Account& account) {
  std::vector<std::pair<const char*, const std::string*>> needed;
  if (account.provider == "kuaidi100")
    needed = {{"key", &account.key},
              {"secret", &account.secret},
              {"partner_id", &account.partner_id},
              {"courier", &account.courier}};
  else
    needed = {{"ebusiness_id", &account.ebusiness_id},
              {"app_key", &account.app_key},
              {"courier", &account.courier}};
  std::vector<std::string> missing;
  for (const auto& [key, value] : needed)
    if (value->empty()) missing.push_back(key);
  return missing;
}

}  // namespace

std::unique_ptr<Provider> make_provider(const Account& account, Post post, std::string* why) {
  auto refuse = [why](std::string reason) -> std::unique_ptr<Provider> {
    if (why) *why = std::move(reason);
    return nullptr;
  };
  if (account.provider.empty())
    return refuse("电子面单设置不全：缺少 provider（kuaidi100 或 kdniao）");
  if (account.provider != "kuaidi100" && account.provider != "kdniao")
    return refuse("电子面单设置的 provider 不认识：" + account.provider +
                  "（应为 kuaidi100 或 kdniao）");
  if (const auto missing = missing_settings(account); !missing.empty()) {
    std::string list;
    for (const std::string& key : missing) list += (list.empty() ? "" : "、") + key;
    return refuse("电子面单设置不全：缺少 " + list);
  }
  if (!post) return refuse("电子面单无法发送请求");
  if (account.provider == "kuaidi100") return make_kuaidi100(account, std::move(post));
  return make_kdniao(account, std::move(post));
}

}  // namespace waybill
