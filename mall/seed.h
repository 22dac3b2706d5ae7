#pragma once
// Deterministic sample data for the stand-in mall: the same seed always gives
// the same orders, addresses and withdrawals, so tests can rely on them.
//
// Usage: mall::Seeder seeder(20170104);
//        Order o = seeder.order(1001, 20);

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "mall/pages.h"
#include "mall/stand_in_mall.h"

namespace mall {

class Seeder {
 public:
  explicit Seeder(std::uint32_t seed) : m_random(seed) {}

  // An order with the given numeric id and state; fields that only exist in
  // later states (payment time, tracking number) are filled accordingly.
  Order order(int id, int state, const std::string& store);
  // The state of the i-th seeded order (from 0): every twelve orders hold five
  // to ship, two unpaid, three to receive and two done, so the counts differ.
  static int seeded_state(int i);

  static std::vector<pages::Address> addresses();
  static std::vector<Withdrawal> paid_withdrawals();
  static std::vector<Withdrawal> pending_withdrawals();

 private:
  std::uint32_t next(std::uint32_t bound) { return m_random() % bound; }
  std::string money(int cents) const;

  std::mt19937 m_random;
};

}  // namespace mall
