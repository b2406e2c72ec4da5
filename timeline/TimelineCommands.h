#pragma once
// Command identifiers of the timeline's buttons, keys and context menu.
namespace tavrel::commands {

constexpr int kPlayAll = 32806;
constexpr int kPlayRange = 32884;
constexpr int kStop = 32807;
constexpr int kStopToStart = 32812;
constexpr int kFrameBack = 32808;
constexpr int kFrameForward = 32809;
constexpr int kGoFirst = 32810;
constexpr int kGoLast = 32811;
constexpr int kZoomIn = 32871;
constexpr int kZoomOut = 32873;
constexpr int kZoomReset = 32875;
constexpr int kLoop = 40003;
constexpr int kOverview = 40007;
constexpr int kCollapse = 40009;
constexpr int kAddImages = 32813;
constexpr int kAddVideo = 32814;
constexpr int kLoadSound = 32816;
constexpr int kVolume = 32817;
constexpr int kSplit = 32861;
constexpr int kCrop = 32865;
constexpr int kAlign = 32863;
constexpr int kAddMotion = 32835;
constexpr int kAddPose = 32833;
constexpr int kAddInitialPose = 32836;
constexpr int kAddCurrentPose = 32838;
constexpr int kColleagueRequest = 32867;
constexpr int kCheckFiles = 32879;

// The motion track's context menu.
constexpr int kCurveLinear = 32853;
constexpr int kCurveEaseIn = 32854;
constexpr int kCurveEaseOut = 32855;
constexpr int kCurveCurve = 32856;
constexpr int kCurveInertial = 32857;
// The curve items in the order of the curve types.
constexpr int kCurveCommands[] = {kCurveLinear, kCurveEaseIn, kCurveEaseOut, kCurveCurve,
                                  kCurveInertial};
constexpr int kMenuSplit = 32845;
constexpr int kCopy[] = {32841, 32848};
constexpr int kCut[] = {32843, 32850};
constexpr int kDelete[] = {32844, 32851};
constexpr int kPaste[] = {32842, 32849, 32852};
constexpr int kReverse = 32846;
constexpr int kClipRequest = 32847;
constexpr int kMenuAddMotion = 32837;
constexpr int kMenuAddPose = 32839;
constexpr int kMenuAddInitialPose = 32858;
constexpr int kMenuAddCurrentPose = 32878;
constexpr int kSetInMark = 32880;
constexpr int kSetOutMark = 32881;
constexpr int kClearInMark = 32882;
constexpr int kClearOutMark = 32883;
constexpr int kGoInMark = 40002;
constexpr int kGoOutMark = 40005;
// The selected clip's switches.
constexpr int kKeepOwnPlace = 40040;
constexpr int kKeepFeetPlanted = 40041;
constexpr int kNewClipsKeepFeet = 40042;  // the setting for clips yet to be dropped
constexpr int kKeepInStep = 40043;        // a blend's: its clips' steps brought together
constexpr int kBlendAtBestPoint = 40044;  // a blend moved to where its motions are most alike
constexpr int kMirror = 40045;
constexpr int kRepeat = 40046;  // asks how many times

// The layers: added and removed from the motion track's menu or a layer's; a layer clip's
// menu; the frame ruler's menu over a layer for its keys.
constexpr int kAddLayer = 40050;
constexpr int kRemoveLayer = 40051;
constexpr int kLayerAdditive = 40052;
constexpr int kLayerOverride = 40053;
// Weights 1, 0.75, 0.5, 0.25 and 0.
constexpr int kLayerWeights[] = {40054, 40055, 40056, 40057, 40058};
constexpr int kLayerEase = 40059;  // eased in and out over kLayerEaseFrames
constexpr int kLayerNoEase = 40060;
constexpr int kLayerEaseFrames = 10;
// The body masks, in the order of kBodyMaskPresets.
constexpr int kLayerMasks[] = {40061, 40062, 40063, 40064, 40065, 40066, 40067, 40068};
constexpr int kRemoveLayerClip = 40069;
constexpr int kDeleteKeys = 40070;    // the keys at the clicked frame
constexpr int kClearKeys = 40071;     // the key clip at the clicked frame, with its keys
constexpr int kMoveKeysHere = 40072;  // the keys at the current frame to the clicked one
constexpr int kLayerWeightAsk = 40073;  // asks the weight in percent
constexpr int kLayerEaseAsk = 40074;    // asks the ease's frames
// One body segment in or out of the clip's mask: kLayerSegment + the standard segment.
constexpr int kLayerSegment = 40080;
// The selected clip's speed curve, in the order of the SpeedCurve values.
constexpr int kSpeedCommands[] = {40100, 40101, 40102, 40103};

// Align the selected clip at a body segment: the pairs of identifiers, in the order of
// CTimelineModel::kAlignSegments.
constexpr int kAlignAt[6][2] = {{40001, 40006}, {32834, 32825}, {32924, 32928},
                                {32925, 32929}, {32926, 32930}, {32927, 32931}};

}  // namespace tavrel::commands
