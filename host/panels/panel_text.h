// How a panel shows numbers and object names.
#pragma once

#include <string>

#include "ref.h"

namespace standin::detail {

/// What a map button shows for `object`: its name, else its class name;
/// "None" for null.
std::string DisplayNameOf(ReferenceTarget* object);
/// `value` as a panel shows it: whole numbers without a fraction, others as
/// the shortest text that reads back as the same float.
std::string NumberText(double value);

}  // namespace standin::detail
