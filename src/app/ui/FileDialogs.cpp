#include "app/ui/FileDialogs.h"

#include <QDir>
#include <QFileDialog>

QString ShowOpenFileDialog(QWidget* parent, const OpenFileRequest& request)
{
    QString start = request.initialFolder;
    if (!request.fileName.isEmpty())
        start = start.isEmpty() ? request.fileName : QDir(start).filePath(request.fileName);
    return QFileDialog::getOpenFileName(parent, request.title, start, request.filter);
}
