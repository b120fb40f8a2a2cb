#pragma once

#include <QString>
#include <functional>

class QWidget;

// What an open-file dialog is asked for. The tabs go through an injectable
// function so that tests can answer without a real dialog.
struct OpenFileRequest
{
    QString title;
    QString initialFolder;
    QString fileName;
    QString filter;
};

// The filter of every picture dialog.
inline const QString kImageFilesFilter =
    QStringLiteral("Image files (bmp,jpg,jpeg,png,gif,tga) (*.bmp *.jpg *.jpeg *.png *.gif *.tga "
                   "*.BMP *.JPG *.JPEG *.PNG *.GIF *.TGA)");

// Returns the chosen file, or an empty text when the dialog was cancelled.
using OpenFileFunction = std::function<QString(QWidget* parent, const OpenFileRequest& request)>;

// The desktop's open-file dialog.
QString ShowOpenFileDialog(QWidget* parent, const OpenFileRequest& request);

// The desktop's save-file dialog (asks before replacing a file); the same
// request and answer as the open dialog.
QString ShowSaveFileDialog(QWidget* parent, const OpenFileRequest& request);
