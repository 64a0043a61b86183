#include "ui/FileDialogs.h"

#include <QFileDialog>

namespace {
QString run(QWidget *parent, const FileDialogRequest &request, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(parent, request.caption, QString(), request.filter);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.proposedName.isEmpty())
        dialog.selectFile(request.proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}
} // namespace

QString QtFileDialogs::openFileName(QWidget *parent, const FileDialogRequest &request)
{
    return run(parent, request, QFileDialog::AcceptOpen);
}

QString QtFileDialogs::saveFileName(QWidget *parent, const FileDialogRequest &request)
{
    return run(parent, request, QFileDialog::AcceptSave);
}
