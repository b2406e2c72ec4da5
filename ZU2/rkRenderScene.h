#pragma once
// The render pass: one frame of a node tree through the current device.
#include "ZU2/rkNode.h"
#include "ZU2/rkUtil.h"

class rkHost;

// Starts a frame from the view (none keeps the device's view and projection), draws the
// visuals and places the lights of every shown, compiled node, then ends the frame and
// presents it to target (none: the frame stays in the back surface). 1 on success.
int rkRenderScene(rkNode* root, rkView* view, rkHost* target);
