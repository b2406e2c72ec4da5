#pragma once
// The question before a changed project is replaced or the program ends: save it, discard the
// changes or stay. The asking and the saving are the caller's (a dialog and the Save command in
// the program, answers in tests); the rule of when to ask and what each answer lets happen is
// here.
#include <functional>
#include <string>

namespace tavrel {

enum class SaveAnswer { kSave, kDiscard, kCancel };

class CUnsavedChangesGuard {
public:
    using Question = std::function<SaveAnswer(const std::string& projectName)>;
    // Writes the project; false when it was not written (failed or cancelled by the user).
    using Save = std::function<bool()>;
    // The changes are given up: what kept them for a crash may go.
    using Discarded = std::function<void()>;

    CUnsavedChangesGuard(Question ask, Save save, Discarded discarded = {});

    // Whether the project may go now. An unchanged one goes without a question; a changed one
    // only once it was saved or the user chose to discard it.
    bool MayLeave(bool modified, const std::string& projectName) const;

private:
    Question ask_;
    Save save_;
    Discarded discarded_;
};

}  // namespace tavrel
