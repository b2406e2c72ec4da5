#pragma once
// String identifiers of the timeline windows' own texts.
namespace tavrel::strings {

constexpr int kNotWaveFile = 61348;
constexpr int kDragToResize = 62380;
constexpr int kAlignMenu = 62381;
constexpr int kSpeedMenu = 62441;
constexpr int kNotMotionFiles = 62382;
// Row labels: motion, media, sound, frame ruler, and the scroll bar of the view (it scrolls,
// it sets no frame: the ruler does).
constexpr int kRowLabels[] = {62383, 62384, 62385, 62386, 62387};
// Open-file dialogs: a title and a filter for each kind of file, in FileKind order.
constexpr int kOpenTitles[] = {62388, 62390, 62392, 62394, 62396};
constexpr int kOpenFilters[] = {62389, 62391, 62393, 62395, 62397};
constexpr int kReplaceButton = 62398;
constexpr int kShiftButton = 62399;
constexpr int kNoMixer = 62569;
constexpr int kBlendButton = 62419;
// The word before the current frame's number in its readout.
constexpr int kFrameWord = 62430;
// Before the marked range in the readout: what Space plays.
constexpr int kMarksWord = 62440;
// Captions of the panel's buttons start here (in the panel's button order).
constexpr int kButtonCaptions = 62400;

}  // namespace tavrel::strings
