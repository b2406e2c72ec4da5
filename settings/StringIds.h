#pragma once
// Identifiers of the string table (resources/Vesk/strings.tsv). Messages that an operation
// returns carry one of these; the window layer looks the text up and shows it.
namespace tavrel::strings {

// Project files.
constexpr int kProjectBadClipLine = 61204;
constexpr int kProjectBadHeader = 61241;
constexpr int kProjectBadSoundLine = 61245;
constexpr int kProjectBadLastLine = 61246;
constexpr int kProjectBadMotionCount = 61249;
constexpr int kProjectBadMediaLine = 61250;
constexpr int kProjectBadMediaCount = 61251;
constexpr int kMotionFileUnusable = 61229;
constexpr int kMediaFileUnusable = 61230;
constexpr int kSoundLoadFailed = 61247;
constexpr int kProjectClipMisplaced = 62120;  // %MotionFiles
constexpr int kProjectMediaOverlap = 62122;   // %ClipFiles

// Edits of the motion and media tracks.
constexpr int kClipOverlapQuestion = 61217;
constexpr int kMediaOverlapQuestion = 61218;
constexpr int kClipBlendQuestion = 61219;
constexpr int kPasteNameQuestion = 61225;
constexpr int kPasteNoName = 61226;
constexpr int kCropImpossible = 61240;
constexpr int kAviAddFailed = 61278;
constexpr int kAlignImpossible = 61281;
constexpr int kSplitFailed = 61282;
constexpr int kMediaAlreadyAtFrame = 61308;
constexpr int kImageAddFailed = 61321;
constexpr int kInvalidFileName = 61325;
constexpr int kMediaNameRefused = 61329;
constexpr int kPathTooLong = 61356;
constexpr int kClipBeyondEnd = 61358;
constexpr int kFrameBeyondEnd = 61359;
constexpr int kShiftBeyondEnd = 61360;
constexpr int kMediaBeyondEnd = 61362;
constexpr int kMediaShiftBeyondEnd = 61363;

// File reports and file names.
constexpr int kMissingMotionFiles = 61370;  // %MotionFiles
constexpr int kMissingSourceFiles = 61371;  // %MotionFiles
constexpr int kFileNameTooLong = 61373;     // %FilenameLengthLimit
constexpr int kUnusedFiles = 61380;         // %UnusedFiles

// Working directory, library and new projects.
constexpr int kNewProjectBase = 61298;
constexpr int kProjectExtension = 61299;
constexpr int kNativeMotionExtension = 61301;
constexpr int kRegistryKeyName = 61331;
constexpr int kWorkingFolderInner = 61344;
constexpr int kWorkingDirFailed = 61345;  // %WorkingDir
constexpr int kWorkingFolderOuter = 61357;
constexpr int kNoTempPath = 61381;
constexpr int kNewProjectTitle = 61388;
constexpr int kLibraryPoseFolder = 61389;

// Messages of our own, for failures the older numbering has no text for.
constexpr int kPasteNameTaken = 62001;
constexpr int kCopyFailed = 62002;
constexpr int kClipEditFailed = 62003;
constexpr int kMissingMediaFiles = 62004;  // %ClipFiles
constexpr int kPoseClipFailed = 62005;
// A motion of another skeleton was brought onto ours without some of its joints.
constexpr int kJointsLeftOut = 62006;  // %FileName %Joints
// A scene file of several takes was dropped: which take comes in.
constexpr int kChooseTake = 62007;
// A scene file of several skeletons was brought in by the one taken (and maybe without some of
// its joints).
constexpr int kSkeletonTaken = 62008;             // %FileName %Note
constexpr int kSkeletonTakenJointsLeftOut = 62009;  // %FileName %Note %Joints
// Mirror and repeat of the selected clip: why they were refused, and the number of repeats.
constexpr int kMirrorImpossible = 62010;  // %Reason
constexpr int kRepeatImpossible = 62011;
constexpr int kRepeatQuestion = 62012;
// A project's speed curves could not be read; its clips play their files as saved.
constexpr int kSpeedSectionDamaged = 62013;  // %Reason
constexpr int kPasteLengthChanged = 62121;
constexpr int kAvatarNotLoaded = 62140;

// File dialog filters of the media track: every video and picture format the readers take.
constexpr int kVideoFilter = 62300;
constexpr int kPictureFilter = 62301;

// The gallery: folder tree, thumbnails and their file commands.
constexpr int kDeleteFileQuestion = 61266;
constexpr int kDeleteFilesQuestion = 61267;
constexpr int kPasteNameClash = 61269;  // %FileName
constexpr int kNewFolderBase = 61302;
constexpr int kAcceptedExtensions = 61307;
constexpr int kDeleteFolderQuestion = 61322;
constexpr int kFolderInUse = 61327;
constexpr int kLibraryFolderMissing = 62420;  // %Folder
constexpr int kFolderNotCreated = 62421;
constexpr int kFolderNotRenamed = 62422;
constexpr int kFolderNotTrashed = 62423;
constexpr int kFilesNotTrashed = 62424;
constexpr int kFilesNotPasted = 62425;
constexpr int kFileNotRenamed = 62426;
constexpr int kRenameUnlistedQuestion = 62431;  // %FileName
constexpr int kBlendSnapped = 62432;            // %Distance, %Dropped
constexpr int kBlendDistance = 62433;           // %Distance
constexpr int kLayerLimit = 62580;
constexpr int kLayerClipOverlap = 62581;
constexpr int kLayerWeightRange = 62582;
constexpr int kLayerMaskEmpty = 62583;
constexpr int kLayerKeySegment = 62584;
constexpr int kLayerKeyOnMotion = 62585;
constexpr int kLayerNoKey = 62586;
constexpr int kLayerSectionDamaged = 62587;  // %Reason
constexpr int kSaveWithoutLayers = 62588;
constexpr int kLayerClipLeftOut = 62589;  // %FileName
constexpr int kLayerLabel = 62590;        // %Number
constexpr int kLayerClipOwnFrames = 62591;
constexpr int kLayerWeightQuestion = 62592;
constexpr int kLayerEaseQuestion = 62593;
constexpr int kLayerSegmentsMenu = 62594;
constexpr int kThumbnailsTitle = 62427;
constexpr int kPreviewTitle = 62428;
constexpr int kFoldersTitle = 62429;

}  // namespace tavrel::strings
