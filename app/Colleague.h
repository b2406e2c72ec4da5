#pragma once
// Base of every colleague of the mediator. The edit commands reach the colleague whose window
// was activated last; each colleague answers for its own window.

namespace tavrel {

class CMediatorSeam;

enum class EditCommand { Undo, Redo, Copy, Cut, Paste, Delete, SelectAll };

class CColleague {
public:
    explicit CColleague(CMediatorSeam* mediator) : mediator_(mediator) {}
    virtual ~CColleague() = default;
    CColleague(const CColleague&) = delete;
    CColleague& operator=(const CColleague&) = delete;

    bool SetMediator(CMediatorSeam* mediator) {
        mediator_ = mediator;
        return true;
    }
    virtual bool Initialize() { return true; }

    // Carries out an edit command; false when this window has nothing to do for it.
    virtual bool Edit(EditCommand) { return false; }
    // Whether the command is available now (its menu item and button are enabled).
    virtual bool CanEdit(EditCommand) const { return false; }

    int created = 0;  // 1 once the colleague's frame exists (the gallery sets it)

protected:
    CMediatorSeam* mediator_;
};

}  // namespace tavrel
