#include "app/ui/FileDialogs.h"

#include <QDir>
#include <QFileDialog>

namespace {

QString StartPath(const OpenFileRequest& request)
{
    QString start = request.initialFolder;
    if (!request.fileName.isEmpty())
        start = start.isEmpty() ? request.fileName : QDir(start).filePath(request.fileName);
    return start;
}

} // namespace

QString ShowOpenFileDialog(QWidget* parent, const OpenFileRequest& request)
{
    return QFileDialog::getOpenFileName(parent, request.title, StartPath(request), request.filter);
}

QString ShowSaveFileDialog(QWidget* parent, const OpenFileRequest& request)
{
    return QFileDialog::getSaveFileName(parent, request.title, StartPath(request), request.filter);
}
