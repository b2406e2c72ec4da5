#pragma once
// Named placeholders in message texts ("%WorkingDir", "%MotionFiles", ...) and their values.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavrel {

inline constexpr std::string_view kFilenameLengthLimitToken = "%FilenameLengthLimit";
inline constexpr std::string_view kWorkingDirToken = "%WorkingDir";
inline constexpr std::string_view kMotionFilesToken = "%MotionFiles";
inline constexpr std::string_view kClipFilesToken = "%ClipFiles";
inline constexpr std::string_view kUnusedFilesToken = "%UnusedFiles";
inline constexpr std::string_view kHelpFilenameToken = "%HelpFilename";
inline constexpr std::string_view kFileNameToken = "%FileName";
inline constexpr std::string_view kFileNamesToken = "%FileNames";
inline constexpr std::string_view kFolderToken = "%Folder";
inline constexpr std::string_view kJointsToken = "%Joints";
inline constexpr std::string_view kNoteToken = "%Note";
inline constexpr std::string_view kReasonToken = "%Reason";

using PlaceholderValues = std::vector<std::pair<std::string, std::string>>;

// Replaces every occurrence of each token by its value in one pass, so that a value which
// itself contains a token (a file name, say) is never replaced again.
std::string ReplacePlaceholders(std::string_view text, const PlaceholderValues& values);

// Names one per line, as the file reports list them.
std::string JoinLines(const std::vector<std::string>& names);

}  // namespace tavrel
