#pragma once
// The abstract mediator: every window's colleague talks to the others only through it.

namespace tavrel {

class CColleague;

class CMediator {
public:
    virtual ~CMediator() = default;
    virtual bool CreateColleagues() = 0;
    virtual void DestroyColleagues() = 0;
    virtual bool SetActiveColleague(CColleague* colleague) = 0;
};

}  // namespace tavrel
