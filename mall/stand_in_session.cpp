// Sessions of the stand-in back office: the login page, the login post, signed-in checks.
#include "mall/stand_in_impl.h"

namespace mall {

void StandInMall::Impl::redirect(httplib::Response& res, const std::string& location) {
  res.status = 302;
  res.set_header("Location", location);
  res.set_content("<a href=\"" + location + "\">" + location + "</a>", kHtml);
}

std::string StandInMall::Impl::start_session_locked(Session session) {
  const std::string left = random_token(random, 20), right = random_token(random, 20);
  const std::string id = left + ":" + right;
  sessions.emplace(id, std::move(session));
  session_ids.push_back(id);
  while (session_ids.size() > kMaxTokens) {
    sessions.erase(session_ids.front());
    session_ids.pop_front();
  }
  return left + "%3A" + right;
}

void StandInMall::Impl::set_session_cookie(httplib::Response& res, const std::string& id) {
  res.set_header("Set-Cookie", std::string(kSessionCookie) + "=" + id + "; path=/; HttpOnly");
}

std::optional<std::string> StandInMall::Impl::session_token(const httplib::Request& req) {
  const std::string id = cookie_value(req, kSessionCookie);
  std::lock_guard lock(mutex);
  auto it = sessions.find(id);
  if (id.empty() || it == sessions.end() || !it->second.signed_in) return std::nullopt;
  return it->second.token;
}

void StandInMall::Impl::login_page(const httplib::Request& req, httplib::Response& res,
                                   const std::string& error) {
  std::string id = cookie_value(req, kSessionCookie);
  std::string token;
  {
    std::lock_guard lock(mutex);
    auto it = sessions.find(id);
    if (id.empty() || it == sessions.end()) {
      token = random_token(random, 32);
      id = start_session_locked({token, false});
      set_session_cookie(res, id);
    } else {
      token = it->second.token;
    }
  }
  res.set_content(pages::login(token, error), kHtml);
}

void StandInMall::Impl::login_post(const httplib::Request& req, httplib::Response& res) {
  std::string token, account, password;
  for (const auto& [key, value] : parse_form(req.body)) {
    if (key == "_csrf-business" && token.empty()) token = value;
    if (key == "BusinessLoginFrom[username]" && account.empty()) account = value;
    if (key == "BusinessLoginFrom[password]" && password.empty()) password = value;
  }
  const std::string id = cookie_value(req, kSessionCookie);
  std::unique_lock lock(mutex);
  auto it = sessions.find(id);
  if (token.empty() || id.empty() || it == sessions.end() || it->second.token != token) {
    lock.unlock();
    res.status = 400;
    res.set_content(pages::not_found("Bad Request (#400): 无法验证您的数据提交。"), kHtml);
    return;
  }
  if (account != options.account || password != options.password) {
    lock.unlock();
    login_page(req, res, "账号或密码错误。");
    return;
  }
  // Signed in under a new id, as real back offices do; the form's token stays.
  sessions.erase(it);
  const std::string signed_in = start_session_locked({token, true});
  lock.unlock();
  set_session_cookie(res, signed_in);
  redirect(res, "/site/index");
}

}  // namespace mall
