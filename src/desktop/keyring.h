#pragma once
// The desktop's keyring (the Secret Service, through QtKeychain) as the
// keeper of the shops' passwords: one entry per account and back-office host
// under the service "weihe-orders". Asked on the window's thread only (a
// short wait of its own); anywhere else, or with no session bus, or when no
// keyring answers, it keeps nothing and the settings file keeps the password.
//
// Usage: desktop::Keyring keyring;
//        if (keyring.available()) settings.set_password_keeper(&keyring);

#include <QString>

#include "core/settings.h"

namespace desktop {

class Keyring : public app::PasswordKeeper {
 public:
  // Whether a keyring answers on the session bus (asked once, then remembered).
  bool available();

  std::optional<app::Text> read(const app::Text& account, const app::Text& host) override;
  bool write(const app::Text& account, const app::Text& host, const app::Text& password) override;

 private:
  std::optional<bool> m_available;
};

}  // namespace desktop
