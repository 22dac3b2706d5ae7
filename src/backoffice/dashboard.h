#pragma once
// Reading the back office's login and dashboard pages: the CSRF token of the
// login form, the login form body, the success test, the store logo's path,
// the order and goods figures and the store name. Pure functions of page text.
//
// Usage: Text token = csrf_token_of(page);
//        Text body = login_body(token, account, password);
//        if (is_logged_in(page)) { Dashboard d = dashboard_of(page); ... }

#include "web/text.h"

namespace backoffice {

using web::Text;

// Figures as cut from the page: no trimming, no check that they are numbers;
// a figure whose markers are missing is the empty text.
struct Dashboard {
  Text unpaid_orders;
  Text orders_to_ship;
  Text orders_to_receive;
  Text all_orders;
  Text goods_on_sale;
  Text goods_taken_down;
  Text goods_in_review;
  Text goods_in_warehouse;
  Text store_name;
};

Text csrf_token_of(const Text& login_page);

// The login form body; every value is percent-encoded as UTF-8, so values of
// letters and digits appear unchanged and "&", "=" or "%" cannot break the form.
Text login_body(const Text& token, const Text& account, const Text& password);

// True when the page returned by the login post greets the merchant.
bool is_logged_in(const Text& page);

Text logo_path_of(const Text& page);
Text store_name_of(const Text& page);
Dashboard dashboard_of(const Text& page);

}  // namespace backoffice
