#include "link/Ziravbroadcaster.h"

void TZiravBroadcaster::broadcast(TMessage &message)
{
    current_ = &message;
    // Index loop: the list is read afresh each step, as a handler may subscribe.
    for (std::size_t i = 0; i < subscribers_.size(); ++i)
        subscribers_[i]->handleMessage(message);
}
