// Numbers as users type them, read by one rule wherever they are typed: the
// command line, a panel's edit field, the studio. Decimal only: blanks
// around, one sign, digits with a point and an exponent. Hexadecimal, "inf"
// and "nan" are not numbers here; a value beyond the double range is out of
// range, not infinite.
#pragma once

#include <string>
#include <string_view>

namespace standin {

/// Reads `text` into `value`; false with `error` set (the text quoted as
/// typed, shortened when long, and what is wrong with it) otherwise.
bool ReadTypedNumber(std::string_view text, double& value, std::string& error);

/// As ReadTypedNumber, for a whole number that fits a long.
bool ReadTypedInteger(std::string_view text, long& value, std::string& error);

/// `text` in double quotes for a message: at most its first 24 characters,
/// then "..." and the full length.
std::string QuoteTyped(std::string_view text);

}  // namespace standin
