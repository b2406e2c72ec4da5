#pragma once
// The main window, seen from the mediator: what its colleagues see of it, and what the
// mediator itself asks of it. The main window implements it, so the mediator needs no header
// of the main window's.
#include "app/ColleagueSeams.h"

class QString;
class QWidget;

namespace tavrel {

class CMediatorFrameSeam : public CMainFrameSeam {
public:
    // An opened project's file goes first in the recent-file list.
    virtual void AddRecentFile(const QString& path) = 0;
    virtual void InvertCheckMark(int id) = 0;
    // The window's caption: the program, the project and its unsaved mark.
    virtual QString Caption() const = 0;
    virtual void SetCaption(const QString& caption) = 0;
    // What the mediator's dialogs and message boxes open over.
    virtual QWidget* DialogParent() = 0;
};

}  // namespace tavrel
