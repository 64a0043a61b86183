#pragma once
// Application messages and their synchronous broadcaster. Objects do not call
// each other for events that concern several of them: the sender fills a
// record and every subscriber, in subscription order, handles it or ignores it.
#include <cstdint>
#include <vector>

#include <QString>

enum TMessageId : std::uint32_t {
    kMsgBase = 32768,
    kMsgStartLiveData = 32771,
    kMsgStopLiveData = 32772,
    kMsgSetComPort = 32773,
    kMsgDashData = 32774,
    kMsgAutocorrection = 32775,
    kMsgSmoothing = 32776,
    kMsgCorrectionWindow = 32777,
};

// Every record begins with its id; the payload follows.
struct TMessage {
    explicit TMessage(std::uint32_t messageId) : id(messageId) {}
    std::uint32_t id;
};

struct TMsgStartLiveData : TMessage {
    explicit TMsgStartLiveData(int type = 0) : TMessage(kMsgStartLiveData), sensorType(type) {}
    std::int32_t sensorType; // index in the oxygen sensor chooser
};

struct TMsgStopLiveData : TMessage {
    TMsgStopLiveData() : TMessage(kMsgStopLiveData) {}
};

struct TMsgSetComPort : TMessage {
    explicit TMsgSetComPort(const QString &name = QString()) : TMessage(kMsgSetComPort), portName(name) {}
    QString portName;
    std::uint32_t spare1 = 0; // never read
    std::uint32_t spare2 = 0; // never read
};

struct TMsgDashData : TMessage {
    TMsgDashData() : TMessage(kMsgDashData) {}
    std::int32_t converter = 0; // output code
    std::int32_t maf = 0;       // air-flow input code
    std::int32_t tps = 0;       // throttle input code, raw
    std::int32_t slot0 = 0;     // intake-air input; bit 0 idle switch, bit 1 full-load switch
    std::int32_t slot2 = 0;     // signed
    std::int32_t slot1 = 0;     // coolant input
    std::int32_t auxOut = 0;
    std::int32_t marker = 0;    // 0 or 128
    QString tpsText;            // e.g. "123N2.41V"
    std::int32_t rpm = 0;
    std::int32_t o2 = 0;
    QString o2Text;
    QString o2Text2;            // not shown
    std::int32_t o2Colour = 0;
    std::int32_t o2Gauge = 0;
};

struct TMsgAutocorrection : TMessage {
    TMsgAutocorrection() : TMessage(kMsgAutocorrection) {}
    std::int32_t windowStart = 0;
    std::int32_t windowEnd = 0;
    std::int32_t step = 0;
    std::uint32_t commit = 0;  // only the low byte counts
    std::int32_t stateColour = 0;
    std::uint32_t discard = 0; // only the low byte counts
    // Why the loop waits or refuses (autotune::Reason; 0: it does not).
    std::int32_t reason = 0;
    bool commitSet() const { return (commit & 0xFF) != 0; }
    bool discardSet() const { return (discard & 0xFF) != 0; }
};

struct TMsgSmoothing : TMessage {
    explicit TMsgSmoothing(int v = 255) : TMessage(kMsgSmoothing), value(v) {}
    static constexpr int kNoChange = 255;
    std::int32_t value;
};

struct TMsgCorrectionWindow : TMessage {
    TMsgCorrectionWindow(bool clear = false, int pos = 0)
        : TMessage(kMsgCorrectionWindow), clearFlag(clear ? 1u : 0u), position(pos) {}
    std::uint32_t clearFlag; // only the low byte counts
    std::int32_t position;
    bool clearSet() const { return (clearFlag & 0xFF) != 0; }
};

class TSubscriber {
public:
    virtual ~TSubscriber() = default;
    // Runs the handler for the record's id; ids without a handler are ignored.
    virtual void handleMessage(TMessage &message) = 0;
};

class TZiravBroadcaster {
public:
    void subscribe(TSubscriber *subscriber) { subscribers_.push_back(subscriber); }
    // Delivers to every subscriber in order and returns after the last one.
    // An exception from a handler ends the broadcast and reaches the sender.
    void broadcast(TMessage &message);
    TMessage *currentMessage() const { return current_; }
    const std::vector<TSubscriber *> &subscribers() const { return subscribers_; }

private:
    std::vector<TSubscriber *> subscribers_;
    TMessage *current_ = nullptr;
};
