#pragma once
// The shops one merchant serves from this program, as the settings file keeps
// them. The first shop is the one the file always had: its account and
// password in section "配置项目", its hosts in section `hosts` (its label
// under key `label` there, "店铺1" when none). Every further shop is a section
// of its own, "店铺:LABEL", with keys backoffice, images, tracking, 账号 and
// 密码. A host is "host[:port]" (plain HTTP) or "https://host[:port]" (TLS).
// All texts are system text (GB18030).
//
// Usage: for (const app::Shop& shop : app::read_shops(settings)) ...;
//        if (Text why = app::host_problem(typed); !why.empty()) refuse(why);
//        app::save_shop(settings, shop, &error);

#include <optional>
#include <vector>

#include "core/context.h"

namespace app {

struct Shop {
  Text label;
  Hosts hosts;
  Text account, password;
  bool first = false;  // the settings file's own shop
};

// "全部店铺": the window's choice of every shop at once.
Text all_shops_label();

std::vector<Shop> read_shops(const Settings& settings);
// The shop labelled `label` (labels match regardless of ASCII case).
std::optional<Shop> find_shop(const Settings& settings, const Text& label);
// The section a further shop lives in.
Text shop_section(const Text& label);

// Why a host as typed cannot be used (a path, a scheme other than https://,
// a port out of range, blanks); the empty text when it can.
Text host_problem(const Text& host);
// Why a label cannot name a new shop (or `renamed_from` under a new name):
// empty, too long, brackets or line breaks, "全部店铺", or another shop's.
Text label_problem(const Settings& settings, const Text& label, const Text& renamed_from = {});

// Writes a shop (the first into its own sections; a further one into
// "店铺:LABEL"). `old_label`: the label a further shop has now (the same
// label when it keeps it); empty adds a new shop. False, with `error`, when a value is refused or the file
// cannot be written.
bool save_shop(Settings& settings, const Shop& shop, Text* error, const Text& old_label = {});
// What login keeps after every attempt: the account in the shop's section
// (empty: 配置项目) and the password there too, or with the settings' keeper
// when it takes it (the file then holds none).
void save_login(Settings& settings, const Text& section, const Text& host, const Text& account,
                const Text& password);

// Removes a further shop; the first cannot be removed.
bool remove_shop(Settings& settings, const Text& label, Text* error);

// Points a context at a shop: its hosts, and where login keeps its account
// and password. `session` is the shop's own cookie store (null for the first
// shop, whose is the process-wide one).
void serve_shop(Context& ctx, const Shop& shop, web::HttpSession* session);

}  // namespace app
