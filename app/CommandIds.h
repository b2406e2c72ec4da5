#pragma once
// Menu command identifiers the mediator routes.
#include <iterator>

namespace tavrel::command {
constexpr int kNewProject = 32771;
constexpr int kOpenProject = 32772;
constexpr int kOption = 32777;
constexpr int kDelete = 32805;
constexpr int kManipulation = 32826;
constexpr int kCameraFront = 32827;
constexpr int kCameraBack = 32828;
constexpr int kCameraLeft = 32832;
constexpr int kCameraRight = 32829;
constexpr int kCameraUp = 32830;
constexpr int kCameraDown = 32831;
constexpr int kArrange = 40004;
constexpr int kFill3D = 40034;
constexpr int kDocument1 = 40012;
constexpr int kDocument2 = 40013;
constexpr int kDocument3 = 40035;
constexpr int kUpdateCheck = 40014;
constexpr int kGalleryCommand = 40015;
// The 3D window's tools (camera move, zoom, rotate, object move, rotate), the object move's
// axis constraints (x, y, z, x and y, all) and the rotation axes (X, Y, Z), each in order.
constexpr int kToolFirst = 32960;
constexpr int kToolLast = 32964;
constexpr int kConstraintFirst = 32965;
constexpr int kConstraintLast = 32969;
constexpr int kAxisFirst = 32970;
constexpr int kAxisLast = 32972;
// The 3D window's views of other frames: ghosts and motion paths on or off, the number of
// ghosts on each side (1-8) and the frames between them (kGhostSteps), each in order.
constexpr int kGhosts = 32990;
constexpr int kMotionPaths = 32991;
constexpr int kGhostCountFirst = 32992;
constexpr int kGhostCountLast = 32999;
constexpr int kGhostStepFirst = 33000;
constexpr int kGhostSteps[] = {1, 2, 3, 5, 10, 20, 30};
constexpr int kGhostStepLast = kGhostStepFirst + int(std::size(kGhostSteps)) - 1;
constexpr int kViewsFirst = kGhosts;
constexpr int kViewsLast = kGhostStepLast;
constexpr int kNothing3D = 40031;
constexpr int kEditCut = 57635;
constexpr int kEditCopy = 57634;
constexpr int kEditPaste = 57637;
constexpr int kEditSelectAll = 57642;
constexpr int kEditUndo = 57643;
constexpr int kEditRedo = 57644;
constexpr int kAbout = 57664;
constexpr int kExit = 57665;
constexpr int kHelp = 57666;
}  // namespace tavrel::command
