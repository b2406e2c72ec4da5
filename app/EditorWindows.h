#pragma once
// Puts the timeline and the gallery into their frames and joins them to the mediator; called
// once the mediator and its frames stand (start-up's connectWindows).
class CTavrelMediator;

// False when a window could not be made (its frame keeps the empty pane).
bool ConnectEditorWindows(CTavrelMediator* mediator);
