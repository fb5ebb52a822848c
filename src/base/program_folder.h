#pragma once

#include <string>

namespace tessmol {

// Folder of the running executable, without a trailing slash: the program's data files
// live beside it. Empty when the operating system does not say.
std::string ExecutableFolder();

}  // namespace tessmol
