// Media clips (videos and pictures) and the sound track.
#include <algorithm>
#include <filesystem>

#include "settings/FileNameRules.h"
#include "settings/StringIds.h"
#include "timeline/ClipPlacement.h"
#include "timeline/ClipRules.h"
#include "timeline/ModelFiles.h"
#include "timeline/TimelineModel.h"

namespace tavrel {

namespace fs = std::filesystem;
using model_files::RemoveFile;

EditResult CTimelineModel::AddMediaFile(const std::string& path, int frameCount, bool video) {
    const int failure = video ? strings::kAviAddFailed : strings::kImageAddFailed;
    return RunEdit(video ? kEditAddVideo : kEditAddImage, [&] {
        const auto& media = project_.mediaClips;
        if (std::any_of(media.begin(), media.end(),
                        [&](const MediaClip& c) { return c.Contains(view_.currentFrame); })) {
            return EditResult::Refused(strings::kMediaAlreadyAtFrame);
        }
        if (path.size() > kMaxEnteringPathLength) {
            return EditResult::Refused(strings::kPathTooLong);
        }
        if (!IsValidFileName(fs::path(path).filename().string())) {
            return EditResult::Refused(strings::kMediaNameRefused);
        }
        if (frameCount < 1 || (!video && frameCount != 1)) {
            return EditResult::Refused(FileMessage(
                failure, path,
                video ? "no frame of it can be read" : "it cannot be read as a picture"));
        }
        if (frameCount > kMaxFrame + 1) return EditResult::Refused(strings::kMediaBeyondEnd);
        MediaClip clip;
        clip.header = video ? MediaClip::kHeaderVideo : MediaClip::kHeaderImage;
        clip.SetFrames(0, frameCount - 1);
        std::vector<std::string> removedNames;
        std::string copied;
        int position = -1;
        bool cancelled = false;
        const Message failed = PlaceClip<MediaClip>(
            project_.mediaClips, clip, view_.currentFrame, kMediaInsert, nullptr, decisions_,
            removedNames,
            [&](MediaClip& c) {
                ImportResult file = workingDirectory_.CopyIn(path, failure);
                c.fileName = copied = file.path;
                return file.message;
            },
            &position, &cancelled);
        if (failed || cancelled) {
            if (!copied.empty()) RemoveFile(copied);
            return EditResult::Refused(failed);
        }
        selectedMedia_ = position;
        return EditResult::Done();
    });
}

EditResult CTimelineModel::MoveMediaClip(int position, int newFirst) {
    const MediaClip* clip = MediaClipAtPosition(position);
    if (!clip || clip->firstFrame == newFirst) return EditResult::Refused();
    const int newLast = newFirst + clip->Length() - 1;
    if (newFirst < 0 || newLast > kMaxFrame) return EditResult::Refused();
    // The media track shows one clip at a time: media clips never overlap.
    int i = 0;
    for (const MediaClip& other : project_.mediaClips) {
        if (i++ != position && Overlaps(other, newFirst, newLast)) return EditResult::Refused();
    }
    return RunEdit(kEditMoveMedia, [&] {
        MediaClip moved = *project_.mediaClips.At(position);
        project_.mediaClips.RemoveCurrent();
        moved.SetFrames(newFirst, newLast);
        selectedMedia_ = project_.mediaClips.InsertSorted(moved);
        return EditResult::Done();
    });
}

EditResult CTimelineModel::SetSoundFile(const std::string& path) {
    if (!hasProject_) return EditResult::Refused();
    // The new sound comes in before the old one goes: a failed copy keeps the sound track.
    const ImportResult copy = workingDirectory_.CopyIn(path, strings::kSoundLoadFailed);
    if (!copy) return EditResult::Refused(copy.message);
    workingDirectory_.RemoveFilesWithExtension("wav", copy.path);
    project_.soundFile = copy.path;
    ++revision_;
    return EditResult::Done();
}

}  // namespace tavrel
