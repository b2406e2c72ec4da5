#pragma once
// The gallery's command numbers: its toolbar, its window's keys and the edit menu that the
// main window routes to it name them alike.
namespace tavrel::gallery_command {
constexpr int kCopy = 32904;
constexpr int kPaste = 32908;
constexpr int kDelete = 32909;
constexpr int kRename = 32912;
constexpr int kNewFolder = 32913;
constexpr int kDeleteFolder = 32915;
constexpr int kRenameFolder = 32917;
constexpr int kRefresh = 32919;
constexpr int kCut = 32920;
// The View menu's choice of picture size, usual or larger.
constexpr int kSmallThumbnails = 32980;
constexpr int kLargeThumbnails = 32981;
}  // namespace tavrel::gallery_command
