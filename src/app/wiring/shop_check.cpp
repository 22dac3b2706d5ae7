#include "app/wiring/shop_check.h"

#include <unistd.h>

#include <atomic>
#include <filesystem>

#include "app/headless/memory_form.h"
#include "backoffice/login.h"

namespace app {

namespace {

// The in-memory window, keeping the status line the login leaves.
class CheckForm : public MemoryForm {
 public:
  void show_status(const Text& text) override { status = text; }
  Text status;
};

// A settings file of its own in a fresh folder, gone afterwards: the login
// writes the account it tried, which must not land in the merchant's file.
class ScratchSettings {
 public:
  ~ScratchSettings() {
    std::error_code ignored;
    std::filesystem::remove_all(m_dir, ignored);
  }
  Settings& settings() { return m_settings; }

 private:
  static std::filesystem::path fresh_dir() {
    static std::atomic<int> counter{0};
    const auto dir = std::filesystem::temp_directory_path() /
                     ("weihe-check-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::error_code ignored;
    std::filesystem::create_directories(dir, ignored);
    return dir;
  }
  std::filesystem::path m_dir = fresh_dir();  // before the settings it holds
  Settings m_settings{m_dir / "配置文件.ini"};
};

}  // namespace

ShopCheck check_shop(const Shop& shop) {
  ScratchSettings scratch;
  CheckForm form;
  web::HttpSession session;
  Context ctx{form, scratch.settings(), shop.hosts};
  Shop tried = shop;
  tried.first = false;  // its own session, whichever shop it is
  serve_shop(ctx, tried, &session);
  form.set_text("编辑框1", shop.account);
  form.set_text("编辑框2", shop.password);
  ShopCheck check;
  check.logged_in = backoffice::login(ctx);
  check.said = form.status.empty() ? web::gbk("登录失败") : form.status;
  return check;
}

}  // namespace app
