#include "app/session/value_parser.h"

#include <params/typed_number.h>

#include <cstdio>
#include <string>

#include "common/errors.h"

namespace nacrelle::tools {

namespace {

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

bool isScriptName(std::string_view name) {
    if (name.empty()) return false;
    for (char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '_';
        if (!ok) return false;
    }
    return true;
}

void requireScriptName(std::string_view name, std::string_view text) {
    if (!isScriptName(name)) {
        throw BadValue("malformed parameter name in " + quoted(text) +
                         ": expected letters, digits or '_' before the '='");
    }
}

}  // namespace

double parseNumber(std::string_view text, std::string_view what) {
    double value = 0.0;
    std::string error;
    if (!standin::ReadTypedNumber(text, value, error)) {
        throw BadValue(std::string(what) + ": " + error);
    }
    return value;
}

long parseInteger(std::string_view text, std::string_view what) {
    long value = 0;
    std::string error;
    if (!standin::ReadTypedInteger(text, value, error)) {
        throw BadValue(std::string(what) + ": " + error);
    }
    return value;
}

bool parseSwitch(std::string_view text, std::string_view what) {
    const std::string_view t = trimmed(text);
    for (std::string_view on : {"on", "true", "yes", "1"}) {
        if (t == on) return true;
    }
    for (std::string_view off : {"off", "false", "no", "0"}) {
        if (t == off) return false;
    }
    throw BadValue(std::string(what) + ": " + quoted(text) +
                     " is not a switch (on/off, true/false, yes/no, 1/0)");
}

Vector3 parseVector(std::string_view text, std::string_view what) {
    const std::size_t first = text.find(',');
    const std::size_t second = first == std::string_view::npos ? first : text.find(',', first + 1);
    if (second == std::string_view::npos || text.find(',', second + 1) != std::string_view::npos) {
        throw BadValue(std::string(what) + ": " + quoted(text) +
                         " is not a vector: expected three numbers as X,Y,Z");
    }
    return {parseNumber(text.substr(0, first), what),
            parseNumber(text.substr(first + 1, second - first - 1), what),
            parseNumber(text.substr(second + 1), what)};
}

std::string formatNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

Assignment parseAssignment(std::string_view text) {
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        throw BadValue("malformed assignment " + quoted(text) + ": expected NAME=VALUE");
    }
    const std::string_view name = trimmed(text.substr(0, equals));
    requireScriptName(name, text);
    const std::string_view value = trimmed(text.substr(equals + 1));
    if (value.empty()) throw BadValue("missing value in " + quoted(text));
    return {std::string(name), std::string(value)};
}

KeyAssignment parseKey(std::string_view text) {
    const std::size_t at = text.find('@');
    const std::size_t equals = text.find('=');
    if (at == std::string_view::npos || equals == std::string_view::npos || equals < at) {
        throw BadValue("malformed key " + quoted(text) + ": expected NAME@FRAME=VALUE");
    }
    const std::string_view name = trimmed(text.substr(0, at));
    requireScriptName(name, text);
    const std::string_view frameText = text.substr(at + 1, equals - at - 1);
    double frame = 0.0;
    try {
        frame = parseNumber(frameText, "key frame");
    } catch (const BadValue&) {
        throw BadValue("malformed key " + quoted(text) + ": the frame " +
                         quoted(trimmed(frameText)) + " is not a number");
    }
    const std::string_view value = trimmed(text.substr(equals + 1));
    if (value.empty()) throw BadValue("missing value in " + quoted(text));
    return {std::string(name), frame, std::string(value)};
}

bool readTypedNumber(std::string_view text, double& value, std::string& error) {
    return standin::ReadTypedNumber(text, value, error);
}

bool readTypedInteger(std::string_view text, long& value, std::string& error) {
    return standin::ReadTypedInteger(text, value, error);
}

}  // namespace nacrelle::tools
