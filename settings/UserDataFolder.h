#pragma once
// The per-user data folder, where the files kept beside the program on other systems live:
// the settings file, the scene reader's INI file, the extracted data files, the default
// motion library.
#include <string>

namespace tavrel {

// $TAVREL_HOME when set, else $XDG_DATA_HOME/Tavrel, else ~/.local/share/Tavrel; without a
// trailing separator.
std::string UserDataFolder();

}  // namespace tavrel
