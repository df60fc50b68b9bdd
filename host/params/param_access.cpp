// Parameters by script name: typed reading, parsing, clamped setting.
#include "params/param_access.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "param_block2.h"
#include "params/typed_number.h"

namespace standin {
namespace {

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string_view trim(std::string_view text) {
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!text.empty() && space(text.front())) text.remove_prefix(1);
    while (!text.empty() && space(text.back())) text.remove_suffix(1);
    return text;
}

std::string formatDouble(double value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string nameOf(const ParamDef& def) { return def.int_name.ToUTF8(); }

std::string rangeText(const ParamDef& def) {
    if (def.type == TYPE_FLOAT) {
        return FormatFloat(def.range_low.f) + " to " + FormatFloat(def.range_high.f);
    }
    return std::to_string(def.range_low.i) + " to " + std::to_string(def.range_high.i);
}

bool refuse(std::string& error, const ParamDef& def, const std::string& problem) {
    error = nameOf(def) + ": " + problem;
    return false;
}

}  // namespace

std::string FormatFloat(float value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string ScriptValue::ToText() const {
    switch (static_cast<int>(type)) {
        case TYPE_FLOAT:
            return FormatFloat(f);
        case TYPE_INT:
            return std::to_string(i);
        case TYPE_BOOL:
            return i ? "true" : "false";
        default: {
            if (!ref) return "none";
            MSTR name;
            ref->GetClassName(name, false);
            return name.isNull() ? "object" : name.ToUTF8();
        }
    }
}

const ParamDef* FindParamByScriptName(IParamBlock2& pb, std::string_view scriptName) {
    ParamBlockDesc2* desc = pb.GetDesc();
    if (!desc) return nullptr;
    const WStr wide = WStr::FromUTF8(std::string(scriptName));
    const int index = desc->NameToIndex(wide.data());
    return index < 0 ? nullptr : &desc->ParamDefAt(index);
}

namespace {

const ParamDef* findOrExplain(IParamBlock2& pb, std::string_view scriptName, std::string& error) {
    const ParamDef* def = FindParamByScriptName(pb, scriptName);
    if (!def) {
        const ParamBlockDesc2* desc = pb.GetDesc();
        error = "no parameter named \"" + std::string(scriptName) + "\" in block \"" +
                (desc ? desc->int_name.ToUTF8() : std::string()) + "\"";
    }
    return def;
}

}  // namespace

bool SetParamByScriptName(IParamBlock2& pb, std::string_view scriptName, double value, TimeValue t,
                          std::string& error) {
    const ParamDef* def = findOrExplain(pb, scriptName, error);
    if (!def) return false;
    const std::string shown = formatDouble(value);
    if (!std::isfinite(value)) return refuse(error, *def, shown + " is not a finite number");
    BOOL stored = FALSE;
    switch (static_cast<int>(def->type)) {
        case TYPE_FLOAT: {
            // Compared as stored: the single-precision bounds are what the
            // definition's double literals became (0.2 is 0.2f here).
            const float f = static_cast<float>(value);
            if (def->has_range && !(f >= def->range_low.f && f <= def->range_high.f)) {
                return refuse(error, *def, shown + " is outside the range " + rangeText(*def));
            }
            if (!std::isfinite(f)) return refuse(error, *def, shown + " is too large for a float");
            stored = pb.SetValue(def->ID, t, f);
            break;
        }
        case TYPE_INT:
            if (value != std::floor(value)) {
                return refuse(error, *def, shown + " is not a whole number");
            }
            if (def->has_range && (value < def->range_low.i || value > def->range_high.i)) {
                return refuse(error, *def, shown + " is outside the range " + rangeText(*def));
            }
            if (value < std::numeric_limits<std::int32_t>::min() ||
                value > std::numeric_limits<std::int32_t>::max()) {
                return refuse(error, *def, shown + " is too large for an integer");
            }
            stored = pb.SetValue(def->ID, t, static_cast<int>(value));
            break;
        case TYPE_BOOL:
            if (value != 0.0 && value != 1.0) {
                return refuse(error, *def, shown + " is not 0 or 1 (false or true)");
            }
            stored = pb.SetValue(def->ID, t, static_cast<int>(value));
            break;
        default:
            return refuse(error, *def, "an object parameter cannot be set from a number");
    }
    if (!stored) return refuse(error, *def, "the block refused the value");
    return true;
}

bool SetParamByScriptName(IParamBlock2& pb, std::string_view scriptName, std::string_view text,
                          TimeValue t, std::string& error) {
    const ParamDef* def = findOrExplain(pb, scriptName, error);
    if (!def) return false;
    const std::string_view value = trim(text);
    const std::string quoted = "\"" + std::string(text) + "\"";
    switch (static_cast<int>(def->type)) {
        case TYPE_FLOAT:
        case TYPE_INT: {
            double number = 0.0;
            std::string why;
            if (!ReadTypedNumber(text, number, why)) return refuse(error, *def, why);
            return SetParamByScriptName(pb, scriptName, number, t, error);
        }
        case TYPE_BOOL: {
            const std::string word = lowerAscii(value);
            if (word == "true" || word == "on" || word == "1") {
                return SetParamByScriptName(pb, scriptName, 1.0, t, error);
            }
            if (word == "false" || word == "off" || word == "0") {
                return SetParamByScriptName(pb, scriptName, 0.0, t, error);
            }
            return refuse(error, *def, quoted + " is not true or false");
        }
        default:
            return refuse(error, *def, "an object parameter cannot be set from text");
    }
}

bool GetParamByScriptName(IParamBlock2& pb, std::string_view scriptName, TimeValue t,
                          ScriptValue& value, std::string& error) {
    const ParamDef* def = findOrExplain(pb, scriptName, error);
    if (!def) return false;
    value = ScriptValue();
    value.type = def->type;
    Interval valid = FOREVER;
    BOOL ok = FALSE;
    switch (static_cast<int>(def->type)) {
        case TYPE_FLOAT:
            ok = pb.GetValue(def->ID, t, value.f, valid);
            break;
        case TYPE_INT:
        case TYPE_BOOL:
            ok = pb.GetValue(def->ID, t, value.i, valid);
            break;
        default:
            ok = pb.GetValue(def->ID, t, value.ref, valid);
            break;
    }
    if (!ok) return refuse(error, *def, "the value cannot be read");
    return true;
}

bool SetParamAsScript(IParamBlock2& pb, std::string_view scriptName, double value, TimeValue t,
                      std::string& error) {
    const ParamDef* def = findOrExplain(pb, scriptName, error);
    if (!def) return false;
    BOOL stored = FALSE;
    switch (static_cast<int>(def->type)) {
        case TYPE_FLOAT:
            stored = pb.SetValue(def->ID, t, static_cast<float>(value));
            break;
        case TYPE_INT:
        case TYPE_BOOL: {
            const double whole = std::trunc(value);
            if (!(whole >= std::numeric_limits<std::int32_t>::min() &&
                  whole <= std::numeric_limits<std::int32_t>::max())) {
                return refuse(error, *def, formatDouble(value) + " is not a 32-bit integer");
            }
            stored = pb.SetValue(def->ID, t, static_cast<int>(whole));
            break;
        }
        default:
            return refuse(error, *def, "an object parameter cannot be set from a number");
    }
    if (!stored) return refuse(error, *def, "the block refused the value");
    return true;
}

BOOL SetValueClamped(IParamBlock2& pb, ParamID id, TimeValue t, float value) {
    const ParamBlockDesc2* desc = pb.GetDesc();
    const ParamDef* def = desc ? desc->FindParamDef(id) : nullptr;
    if (!def) return FALSE;
    if (def->type == TYPE_INT) {
        if (!std::isfinite(value)) return FALSE;
        const double rounded = std::nearbyint(static_cast<double>(value));
        const double limited = std::clamp(rounded, double(std::numeric_limits<int>::min()),
                                          double(std::numeric_limits<int>::max()));
        return SetValueClamped(pb, id, t, static_cast<int>(limited));
    }
    if (def->type == TYPE_FLOAT && def->has_range && !std::isnan(value)) {
        value = std::clamp(value, def->range_low.f, def->range_high.f);
    }
    // A control takes numbers: the block would keep NaN or an infinity.
    if (!std::isfinite(value)) return FALSE;
    return pb.SetValue(id, t, value);
}

BOOL SetValueClamped(IParamBlock2& pb, ParamID id, TimeValue t, int value) {
    const ParamBlockDesc2* desc = pb.GetDesc();
    const ParamDef* def = desc ? desc->FindParamDef(id) : nullptr;
    if (!def) return FALSE;
    if (def->type == TYPE_FLOAT) return SetValueClamped(pb, id, t, static_cast<float>(value));
    if (def->type == TYPE_INT && def->has_range) {
        value = std::clamp(value, static_cast<int>(def->range_low.i),
                           static_cast<int>(def->range_high.i));
    }
    return pb.SetValue(id, t, value);
}

BOOL SetValueClamped(IParamBlock2& pb, ParamID id, TimeValue t, double value) {
    const ParamBlockDesc2* desc = pb.GetDesc();
    const ParamDef* def = desc ? desc->FindParamDef(id) : nullptr;
    if (!def || std::isnan(value)) return FALSE;
    const bool integer = def->type == TYPE_INT;
    if (!integer && def->type != TYPE_FLOAT) return FALSE;
    if (def->has_range) {
        const double low = integer ? def->range_low.i : def->range_low.f;
        const double high = integer ? def->range_high.i : def->range_high.f;
        value = std::clamp(value, low, high);
    }
    if (integer) {
        if (!(value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max())) {
            return FALSE;
        }
        return pb.SetValue(id, t, static_cast<int>(std::lround(value)));
    }
    if (std::fabs(value) > std::numeric_limits<float>::max()) return FALSE;
    return pb.SetValue(id, t, static_cast<float>(value));
}

std::vector<ParamKey> ParamKeys(IParamBlock2& pb, ParamID id) {
    const auto* ours = dynamic_cast<const ParamBlock2*>(&pb);
    return ours ? ours->Keys(id) : std::vector<ParamKey>();
}

bool DeleteParamKey(IParamBlock2& pb, ParamID id, TimeValue t) {
    auto* ours = dynamic_cast<ParamBlock2*>(&pb);
    return ours != nullptr && ours->DeleteKey(id, t);
}

}  // namespace standin
