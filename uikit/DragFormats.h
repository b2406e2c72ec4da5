#pragma once
// The formats the editor's windows drag between themselves.

namespace tavrel::ui {

// Motion file paths dragged from the gallery onto the timeline (one per line).
inline constexpr const char* kMotionFilesMime = "application/x-tavrel-motion-files";

}  // namespace tavrel::ui
