#pragma once
// The per-user data folder, where the files kept beside the program on other systems live:
// the settings file, the scene reader's INI file, the extracted data files, the default
// motion library.
#include <string>
#include <string_view>

namespace tavrel {

// $TAVREL_HOME when set, else $XDG_DATA_HOME/Tavrel, else ~/.local/share/Tavrel; without a
// trailing separator.
std::string UserDataFolder();

// Where files that can be made again are kept (the gallery's pictures): $TAVREL_HOME/cache when
// TAVREL_HOME is set, so a portable or test run keeps everything under one folder; else
// $XDG_CACHE_HOME/Tavrel, else ~/.cache/Tavrel. Without a trailing separator.
std::string UserCacheFolder();

// The data the program is shipped with: share/tavrel beside the folder of the running binary
// (the avatar, Init.chb, the sample motion library in Motion/).
std::string BundledDataFolder();

// Where the avatar's files are read from: the per-user data folder once it holds them (start-up
// extracts them there), else the bundled data.
std::string AvatarDataFolder();

// The default motion library (Motion in the per-user data folder) is filled from the bundled
// sample library when it does not exist yet, so that a new user sees motions at once. An
// existing folder is left as it is, even when empty. Returns whether the folder exists.
bool EnsureDefaultMotionLibrary(const std::string& library, const std::string& samples);

// $TMPDIR when set, else /tmp.
std::string SystemTempPath();

// Makes the folder with mode 0700, or accepts it when it already is a folder of this user (its
// mode then narrowed to 0700). A link, or anything another user owns, is refused: in a shared
// folder another user could have put it there to make us write where they choose.
bool MakePrivateFolder(const std::string& path);

// This user's own folder in the temporary folder temp (the system's when empty), tavrel-<uid>,
// made private. Several users share the temporary folder, and a fixed name there can be taken
// by whoever came first: when that name is another user's, not a folder, a link, or a folder
// that was open to others, the user's own folder under their home is used instead
// (tmp in UserCacheFolder(), made private). Empty when neither can be had.
std::string UserTempFolder(std::string_view temp = {});
std::string UserTempFolderName();

// Where a running editor's sockets and locks go: $XDG_RUNTIME_DIR when it is a folder of this
// user's closed to others, else UserTempFolder(). Empty when there is none.
std::string UserRuntimeFolder();

}  // namespace tavrel
