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

std::string account_problem(const Account& account) {
  if (account.provider.empty()) return "电子面单设置不全：缺少 provider（kuaidi100 或 kdniao）";
  if (account.provider != "kuaidi100" && account.provider != "kdniao")
    return "电子面单设置的 provider 不认识：" + account.provider + "（应为 kuaidi100 或 kdniao）";
  std::string list;
  for (const std::string& key : missing_settings(account)) list += (list.empty() ? "" : "、") + key;
  return list.empty() ? std::string() : "电子面单设置不全：缺少 " + list;
}

std::unique_ptr<Provider> make_provider(const Account& account, Post post, std::string* why) {
  auto refuse = [why](std::string reason) -> std::unique_ptr<Provider> {
    if (why) *why = std::move(reason);
    return nullptr;
  };
  if (std::string problem = account_problem(account); !problem.empty()) return refuse(std::move(problem));
  if (!post) return refuse("电子面单无法发送请求");
  if (account.provider == "kuaidi100") return make_kuaidi100(account, std::move(post));
  return make_kdniao(account, std::move(post));
}

}  // namespace waybill
