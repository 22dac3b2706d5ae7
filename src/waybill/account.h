#pragma once
// The e-waybill account as the settings file keeps it (section `waybill`), and
// the HTTP POST the providers send through.
//
// Keys: provider (kuaidi100 | kdniao), endpoint, courier; for 快递100 key,
// secret, partner_id, partner_key, partner_secret, net, temp_id; for 快递鸟
// ebusiness_id, app_key, customer_name, customer_pwd, month_code, send_site,
// pay_type (1 现付, 2 到付, 3 月结: the default, 4 第三方付). The file's text
// is system text; the Account holds UTF-8. A secret left empty in the file is
// asked of the settings' password keeper (the keyring), filed under the
// account it belongs to and the host "waybill/<key>": secret under key,
// partner_secret under partner_id, app_key under ebusiness_id, customer_pwd
// under customer_name.
//
// Usage: waybill::Account account = waybill::read_account(ctx.settings);
//        auto provider = waybill::make_provider(account, waybill::http_post(&ctx), &why);

#include "core/context.h"
#include "waybill/provider.h"

namespace waybill {

Account read_account(const app::Settings& settings);

// A POST of a form body (Content-Type application/x-www-form-urlencoded,
// UTF-8) over web::http_request, with its time-outs and without the back
// office's cookies. Status 0 when no whole answer came. With a context the
// wait keeps its window painted; the context must outlive the Post.
Post http_post(app::Context* ctx_or_null);

}  // namespace waybill
