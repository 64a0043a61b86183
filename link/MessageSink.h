#pragma once
// The one seam for modal user messages. The window installs a sink that shows
// a message box with one OK button; tests install a recording sink, so that no
// test blocks on a dialog and the order of messages can be checked.
#include <QString>
#include <QStringList>

class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void showMessage(const QString &text) = 0;
    // A question with its answers (button texts, the last one cancels);
    // returns the index of the answer chosen. A sink that cannot ask cancels.
    virtual int ask(const QString &text, const QStringList &answers) { Q_UNUSED(text); return int(answers.size()) - 1; }
};

// Shows text through the installed sink; with none installed the text goes to stderr.
void showMessage(const QString &text);
// Asks through the installed sink; with none installed the last answer (cancel).
int ask(const QString &text, const QStringList &answers);
// Installs a sink (not owned); returns the previous one. nullptr restores stderr.
MessageSink *setMessageSink(MessageSink *sink);

// A sink that only records, for tests and the command-line companion.
class RecordingSink : public MessageSink {
public:
    void showMessage(const QString &text) override { messages.append(text); }
    // Records the question and gives the next prepared answer (none left: cancel).
    int ask(const QString &text, const QStringList &answers) override
    {
        questions.append(text);
        return replies.isEmpty() ? int(answers.size()) - 1 : replies.takeFirst();
    }
    QStringList messages;
    QStringList questions;
    QList<int> replies;
};

// Installs a sink for the lifetime of a scope.
class ScopedMessageSink {
public:
    explicit ScopedMessageSink(MessageSink *sink) : previous_(setMessageSink(sink)) {}
    ~ScopedMessageSink() { setMessageSink(previous_); }
    ScopedMessageSink(const ScopedMessageSink &) = delete;
    ScopedMessageSink &operator=(const ScopedMessageSink &) = delete;
private:
    MessageSink *previous_;
};
