#pragma once
// Previews step through a motion on a timer of their own; this keeps them at the motion's own
// speed whatever its frame rate.

namespace tavrel {

// The frame a player ticking every intervalMs shows after `frame`: as many frames as the motion
// shows in that time (*carry keeps the fraction between ticks), never past `last`; after `last`
// it starts again at `first`.
int NextFrameAtRate(int frame, int rate, int intervalMs, int first, int last, double* carry);

}  // namespace tavrel
