#pragma once
// Placing a new clip on a track (motion or media): refused beyond the timeline's end; where it
// overlaps clips the user chooses to replace them or to shift every clip from the first one
// overlapped on aside, or, where the overlap keeps the cross-fade rules of a move, to blend over
// it. One rule for both tracks.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "settings/Message.h"
#include "settings/StringIds.h"
#include "timeline/ClipRules.h"
#include "timeline/CursorList.h"
#include "timeline/UserDecisions.h"

namespace tavrel {

// The messages of inserting a clip on one track.
struct InsertMessages {
    int frameBeyond;  // the current frame lies beyond the last frame
    int clipBeyond;   // the clip would end beyond it
    int question;     // replace or shift?
    int shiftBeyond;  // a shifted clip would end beyond it
    int blendQuestion;  // blend, replace or shift? (0: the track never blends)
};

inline constexpr InsertMessages kMotionInsert = {strings::kFrameBeyondEnd, strings::kClipBeyondEnd,
                                          strings::kClipOverlapQuestion, strings::kShiftBeyondEnd,
                                          strings::kClipBlendQuestion};
inline constexpr InsertMessages kMediaInsert = {strings::kFrameBeyondEnd, strings::kMediaBeyondEnd,
                                         strings::kMediaOverlapQuestion,
                                         strings::kMediaShiftBeyondEnd, 0};

// Clips shifted aside for a new one start this many frames after its end.
inline constexpr int kShiftGap = 5;

template <class Clip>
bool Overlaps(const Clip& clip, int first, int last) {
    return RangesOverlap(first, last, clip.firstFrame, clip.lastFrame);
}

// Clips moved later by a placement: those from frame `from` on, by `by` frames.
struct ClipShift {
    int from = 0;
    int by = 0;
};

// Places a clip of frames 0 to length - 1 at atFrame on a track, asking whether overlapped
// clips are replaced or shifted, or blended with where canBlend(first, last) allows it (and
// ids.blendQuestion names the question); prepare brings its file in. Returns the message of a
// refusal; on success *position is the new clip's position and *answered what the user chose
// (kReplace where nothing was overlapped) and *shifted the clips it moved. The caller's edit frame
// undoes partial work.
template <class Clip>
Message PlaceClip(CCursorList<Clip>& list, Clip clip, int atFrame, const InsertMessages& ids,
                  const std::function<bool(int, int)>& canBlend, CUserDecisions& decisions,
                  std::vector<std::string>& removedNames,
                  const std::function<Message(Clip&)>& prepare, int* position, bool* cancelled,
                  OverlapChoice* answered = nullptr, ClipShift* shifted = nullptr) {
    if (atFrame < 0 || atFrame > kMaxFrame) return MakeMessage(ids.frameBeyond);
    const int first = atFrame;
    const int last = atFrame + clip.Length() - 1;
    if (last > kMaxFrame) return MakeMessage(ids.clipBeyond);

    const bool overlap = std::any_of(list.begin(), list.end(),
                                     [&](const Clip& c) { return Overlaps(c, first, last); });
    OverlapChoice choice = OverlapChoice::kReplace;
    if (overlap) {
        const bool offerBlend = ids.blendQuestion && canBlend && canBlend(first, last);
        choice = decisions.AskOverlap(offerBlend ? ids.blendQuestion : ids.question, offerBlend);
        // A blend nobody offered is no answer.
        if (choice == OverlapChoice::kCancel || (choice == OverlapChoice::kBlend && !offerBlend)) {
            *cancelled = true;
            return {};
        }
    }
    if (answered) *answered = choice;
    // Shifting: from the first overlapped clip in time on, every clip moves by one amount.
    int shiftCount = 0;
    int shift = 0;
    if (overlap && choice == OverlapChoice::kShift) {
        int p = list.Count() - 1;
        for (auto it = list.rbegin(); it != list.rend(); ++it, --p) {
            if (Overlaps(*it, first, last)) {
                shift = last - it->firstFrame + kShiftGap;
                shiftCount = p + 1;
                break;
            }
        }
        auto moving = list.begin();
        for (int i = 0; i < shiftCount; ++i, ++moving) {
            if (moving->lastFrame + shift > kMaxFrame) return MakeMessage(ids.shiftBeyond);
        }
    }
    if (Message failed = prepare(clip)) return failed;

    if (overlap && choice == OverlapChoice::kReplace) {
        for (Clip* c = list.First(); c;) {
            if (!Overlaps(*c, first, last)) {
                c = list.Next();
                continue;
            }
            removedNames.push_back(c->fileName);
            const bool wasLast = list.Position() == list.Count() - 1;
            list.RemoveCurrent();
            c = wasLast ? nullptr : list.Current();
        }
    }
    if (shifted && shiftCount) *shifted = {list.At(shiftCount - 1)->firstFrame, shift};
    Clip* moving = shiftCount ? list.First() : nullptr;
    for (int i = 0; i < shiftCount; ++i, moving = list.Next()) {
        moving->SetFrames(moving->firstFrame + shift, moving->lastFrame + shift);
    }
    clip.SetFrames(first, last);
    *position = list.InsertSorted(clip);
    return {};
}

}  // namespace tavrel
