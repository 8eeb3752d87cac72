#pragma once
// Rounding of the values the program shows and stores, on their decimal
// digits: the shortest text that reads back as the value (what the
// operator's page said), not its binary expansion. 2.675f is "2.675" and
// rounds to 2.68, where the binary 2.67499995... would give 2.67.

namespace zelvant {

// Half away from zero: -12.5f -> -12.5, 3.456 -> 3.46 (two decimals),
// 0.35f -> 0.4 (one). Non-finite values come back unchanged; no "-0".
double roundDecimals(float value, int decimals);
double roundDecimals(double value, int decimals);

// Half to even, as the spreadsheet exports round: 0.125 -> 0.12.
double roundHalfEven(float value, int decimals);
double roundHalfEven(double value, int decimals);

} // namespace zelvant
