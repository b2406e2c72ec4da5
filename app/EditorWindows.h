#pragma once
// Puts the timeline and the gallery into their frames and joins them to the mediator; called
// once the mediator and its frames stand (start-up's connectWindows).

namespace tavrel {

class CProjectFileCommands;
class CTavrelMediator;

// False when a window could not be made (its frame keeps the empty pane).
bool ConnectEditorWindows(CTavrelMediator* mediator);

// Save, export and the autosave work on the mediator's timeline; a video takes the 3D
// window's camera and background.
void ConnectFileCommands(CProjectFileCommands* commands, CTavrelMediator* mediator);

}  // namespace tavrel
