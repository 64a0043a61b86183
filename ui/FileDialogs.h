#pragma once
// The window asks for file names through this seam, so that tests answer
// instead of a modal dialog.
#include <QString>

class QWidget;

struct FileDialogRequest {
    QString caption;
    QString filter;        // Qt form: "Tab files (*.tab)"
    QString defaultSuffix; // without the dot
    QString proposedName;  // save dialogs: the name offered
};

class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // Empty when the user cancelled.
    virtual QString openFileName(QWidget *parent, const FileDialogRequest &request) = 0;
    virtual QString saveFileName(QWidget *parent, const FileDialogRequest &request) = 0;
};

// The platform's dialogs.
class QtFileDialogs : public FileDialogs {
public:
    QString openFileName(QWidget *parent, const FileDialogRequest &request) override;
    QString saveFileName(QWidget *parent, const FileDialogRequest &request) override;
};
