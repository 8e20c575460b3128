#pragma once
// The per-user base folders of the XDG layout.

#include <filesystem>

namespace palaverly {

/// $HOME, else the home folder of the account; "." when neither is known.
std::filesystem::path HomeFolder();

/// $XDG_CONFIG_HOME, else ~/.config. A relative or empty variable counts as unset.
std::filesystem::path XdgConfigHome();

/// $XDG_DATA_HOME, else ~/.local/share. A relative or empty variable counts as unset.
std::filesystem::path XdgDataHome();

} // namespace palaverly
