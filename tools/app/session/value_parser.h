// Parsing of the values users type on the command line: numbers, switches,
// vectors, `NAME=VALUE` assignments and `NAME@FRAME=VALUE` keys. Every
// malformed text is a BadValue that quotes it and says what was expected.
#pragma once

#include <string>
#include <string_view>

namespace nacrelle::tools {

/// `NAME=VALUE`: a parameter's script name and its value as typed.
struct Assignment {
    std::string name;
    std::string value;
};

/// `NAME@FRAME=VALUE`: a key of an animated parameter.
struct KeyAssignment {
    std::string name;
    double frame;
    std::string value;
};

struct Vector3 {
    double x, y, z;
};

/// A finite decimal number that fills the whole text, read as every typed
/// number is (params/typed_number.h). `what` names the option or value for
/// the error message.
double parseNumber(std::string_view text, std::string_view what);

/// A whole number that fills the whole text.
long parseInteger(std::string_view text, std::string_view what);

/// on/off, true/false, yes/no or 1/0.
bool parseSwitch(std::string_view text, std::string_view what);

/// Three numbers separated by commas: "X,Y,Z".
Vector3 parseVector(std::string_view text, std::string_view what);

/// A number as messages quote it: up to 9 significant digits ("0.5", "1e+12").
std::string formatNumber(double value);

/// A number or a whole number as the host reads a typed value: false, with
/// `error` saying why, for text that is none. For the command line's own
/// conversion of option values.
bool readTypedNumber(std::string_view text, double& value, std::string& error);
bool readTypedInteger(std::string_view text, long& value, std::string& error);

Assignment parseAssignment(std::string_view text);
KeyAssignment parseKey(std::string_view text);

}  // namespace nacrelle::tools
