#pragma once
// A window timer with an identifier unique in the program, taken from a table of 999 (1 to 999)
// when the timer is made and given back when it is destroyed. The timer's events reach the
// owner through a handler; giving the timer another owner stops it first.
#include <QObject>
#include <functional>

namespace tavrel {

class CRTimer : public QObject {
public:
    static constexpr int kMaxIdentifiers = 999;

    // Called on each tick with the timer's identifier, as the owner's timer message.
    using Handler = std::function<void(int identifier)>;

    explicit CRTimer(QObject* owner = nullptr, int intervalMs = 1);
    ~CRTimer() override;
    CRTimer(const CRTimer&) = delete;
    CRTimer& operator=(const CRTimer&) = delete;

    // 0 when every identifier was taken when the timer was made.
    int Identifier() const { return identifier_; }
    QObject* Owner() const { return owner_; }
    void SetOwner(QObject* owner);
    int Interval() const { return intervalMs_; }
    // Takes effect at the next start.
    void SetInterval(int ms) { intervalMs_ = ms; }
    void SetHandler(Handler handler) { handler_ = std::move(handler); }

    // False without an identifier or an owner.
    bool Start();
    void Stop();
    bool IsRunning() const { return running_; }

    // Number of identifiers in use in the program.
    static int IdentifiersInUse();

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    QObject* owner_;
    int identifier_;
    int intervalMs_;
    int qtTimer_ = 0;
    bool running_ = false;
    Handler handler_;
};

}  // namespace tavrel
