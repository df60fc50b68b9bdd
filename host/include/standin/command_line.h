// A program's command-line arguments in UTF-8 on every platform.
#pragma once

#include <string>
#include <vector>

namespace standin {

/// The arguments of the running program, argv[0] first, in UTF-8. Where the
/// system hands narrow arguments over in a legacy code page (Windows), they
/// are read again from the system's UTF-16 command line; elsewhere they are
/// argv as given.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

}  // namespace standin
