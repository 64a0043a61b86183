#include "link/MessageSink.h"

#include <atomic>
#include <cstdio>

namespace {
std::atomic<MessageSink *> g_sink{nullptr};
}

void showMessage(const QString &text)
{
    if (MessageSink *sink = g_sink.load())
        sink->showMessage(text);
    else
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

int ask(const QString &text, const QStringList &answers)
{
    if (MessageSink *sink = g_sink.load())
        return sink->ask(text, answers);
    return int(answers.size()) - 1;
}

MessageSink *setMessageSink(MessageSink *sink)
{
    return g_sink.exchange(sink);
}
