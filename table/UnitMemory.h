#pragma once
// What the unit holds of the table: the image it stores (found at
// identification, or written and verified) and the one its working memory
// holds (sent, or read back). While they differ, edits live only until the
// unit is switched off.
#include <QByteArray>

class UnitMemory {
public:
    // Found at identification (the unit is taken to hold what it stored),
    // or stored with a verified write.
    void stored(const QByteArray &image)
    {
        stored_ = image;
        working_ = image;
        left_.clear();
    }
    // Sent to the working memory only.
    void sent(const QByteArray &image) { working_ = image; }
    // Read from the working memory: that tells what it holds, not what the
    // unit stores, so edits sent before stay unstored.
    void read(const QByteArray &image)
    {
        if (stored_.isEmpty())
            stored_ = image;
        working_ = image;
    }
    // The user knows and leaves them there: not asked again until the
    // working memory changes.
    void leave() { left_ = working_; }
    // Another unit, or one whose table is not known (after a firmware update).
    void forget()
    {
        stored_.clear();
        working_.clear();
        left_.clear();
    }
    bool unstored() const { return !working_.isEmpty() && working_ != stored_ && working_ != left_; }

private:
    QByteArray stored_, working_, left_;
};
