#pragma once
// Amounts of money exactly, in fen (hundredths of a yuan), as the table's
// sorting reads them: "¥1,234.50", "￥88", "39.9元", "１２.００". Never a
// floating-point number, so sums come out to the fen.
//
// Usage: if (auto fen = amount_fen(cell)) revenue += *fen;
//        out["revenue"] = yuan_text(revenue);   // "1234.50"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace report {

// Nothing when the text is no amount. A third decimal rounds half up.
std::optional<std::int64_t> amount_fen(std::string_view utf8);
// "1234.50", "-0.30", "0.00".
std::string yuan_text(std::int64_t fen);

}  // namespace report
