// Files and folders as the tool finds them, installed or in a build tree.
#pragma once

#include <string>

namespace Vantrix {

bool IsDirectory(const std::string& path);
bool IsRegularFile(const std::string& path);

// A folder installed with the tool, whatever prefix the install was given: fromBin relative to
// the running executable's folder when it is there, else the configured install location, else
// the source tree's (a build tree).
std::string InstalledFolder(const char* fromBin, const char* installed, const char* source);

} // namespace Vantrix
