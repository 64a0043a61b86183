#pragma once
// What the unit holds of the table: the image it stores (read from it, or
// written and verified) and the one last sent to its working memory only.
// While they differ, edits live only until the unit is switched off.
#include <QByteArray>

class UnitMemory {
public:
    // Read from the unit, or stored in it with a verified write.
    void stored(const QByteArray &image)
    {
        stored_ = image;
        sent_.clear();
    }
    // Sent to the working memory only.
    void sent(const QByteArray &image) { sent_ = image; }
    // The user knows and leaves them there: not asked again.
    void leave() { sent_.clear(); }
    // Another unit, or one whose table is not known (after a firmware update).
    void forget()
    {
        stored_.clear();
        sent_.clear();
    }
    bool unstored() const { return !sent_.isEmpty() && sent_ != stored_; }

private:
    QByteArray stored_, sent_;
};
