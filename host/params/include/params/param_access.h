// Stand-in access to parameter blocks beyond the SDK interface: addressing
// parameters by script name (as scripts and the command line do), setting a
// value clamped into its range (as panel controls do) and reading keys.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "iparamb2.h"

namespace standin {

/// One key of an animated parameter.
struct ParamKey {
    TimeValue time = 0;
    float value = 0.0f;
};

/// A parameter value read by script name.
struct ScriptValue {
    ParamType2 type = static_cast<ParamType2>(TYPE_FLOAT);
    float f = 0.0f;
    int i = 0;
    ReferenceTarget* ref = nullptr;

    /// The value as a script shows it: "250", "1.5", "true", "none" or the
    /// object's class name.
    std::string ToText() const;
};

/// The definition of the parameter of `pb` with script name `scriptName`
/// (ignoring ASCII case), or null.
const ParamDef* FindParamByScriptName(IParamBlock2& pb, std::string_view scriptName);

/// Sets parameter `scriptName` at time t from text: a number for TYPE_FLOAT and
/// TYPE_INT ("2.5", "1e3"), for TYPE_BOOL "true"/"false"/"on"/"off"/"1"/"0".
/// A value outside the parameter's p_range is refused, as is text that is not
/// a value of the parameter's type. On refusal nothing changes, `error` names
/// the parameter and the problem (e.g. "thicknessmax: 5000 is outside the
/// range 0 to 3000") and the result is false.
bool SetParamByScriptName(IParamBlock2& pb, std::string_view scriptName, std::string_view text,
                          TimeValue t, std::string& error);
/// The same from a number.
bool SetParamByScriptName(IParamBlock2& pb, std::string_view scriptName, double value, TimeValue t,
                          std::string& error);
/// Sets parameter `scriptName` at time t as the host's scripting does: any
/// value its type can hold, whatever its range. A float takes NaN and the
/// infinities; an integer or a boolean any 32-bit integer (a fraction is cut
/// towards zero, as scripts convert it). Refused, with `error` set, only for
/// an unknown name, an object parameter, or a number no 32-bit integer holds.
/// Tests and fuzzers reach the module through this path, so that it never
/// relies on the checks of the path above.
bool SetParamAsScript(IParamBlock2& pb, std::string_view scriptName, double value, TimeValue t,
                      std::string& error);
/// Reads parameter `scriptName` at time t; false with `error` set for an
/// unknown name.
bool GetParamByScriptName(IParamBlock2& pb, std::string_view scriptName, TimeValue t,
                          ScriptValue& value, std::string& error);

/// Sets a TYPE_FLOAT or TYPE_INT parameter to `value` limited to its p_range,
/// the way a panel control takes typed input. FALSE when SetValue refuses.
BOOL SetValueClamped(IParamBlock2& pb, ParamID id, TimeValue t, float value);
BOOL SetValueClamped(IParamBlock2& pb, ParamID id, TimeValue t, int value);
/// The same from an entry in double precision, limited before it is narrowed
/// to the parameter's type, so that a huge entry cannot overflow the type
/// first; an integer is rounded half away from zero. FALSE, with nothing
/// stored, for a value that the type cannot hold once limited.
BOOL SetValueClamped(IParamBlock2& pb, ParamID id, TimeValue t, double value);

/// The keys of parameter `id`, by time; empty when it is not animated.
std::vector<ParamKey> ParamKeys(IParamBlock2& pb, ParamID id);
/// Removes the key of parameter `id` at t; removing the only key leaves its
/// value as the parameter's constant value. False when there is no such key.
bool DeleteParamKey(IParamBlock2& pb, ParamID id, TimeValue t);

/// `value` in the shortest text that reads back as the same float ("0.2", "3000").
std::string FormatFloat(float value);

}  // namespace standin
