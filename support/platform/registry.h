// The registry stand-in: a small key=value text file in the user's configuration folder
// ($XDG_CONFIG_HOME/torq/registry, default ~/.config/torq/registry), holding the same keys and
// values the registration writes. Sections name keys ("[key]"); "@" is a key's default value.
#pragma once
#include <string>

namespace torq::platform {

// The file's full path ("" when neither XDG_CONFIG_HOME nor HOME is set).
std::string RegistryFile();
// Reads a value; 0, ENOENT when the key or value is absent, or another errno value.
int RegistryQueryString(const std::string& key, const std::string& name, std::string& value);
// Creates the key when needed and sets the value (an empty name is the default value);
// 0 or an errno value. The file is replaced as a whole, so a failed write changes nothing.
int RegistrySetString(const std::string& key, const std::string& name, const std::string& value);

}  // namespace torq::platform
