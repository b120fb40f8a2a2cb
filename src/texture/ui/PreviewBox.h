#pragma once

#include "image/PixelBuffer.h"

#include <QWidget>

// The preview box scrPreview: shows one picture buffer at (left, 0) on a dark
// background, like a small screen, and reports clicks.
class PreviewBox : public QWidget
{
    Q_OBJECT
public:
    explicit PreviewBox(QWidget* parent = nullptr);

    void Show(PixelBufferPtr picture, int left);
    const PixelBufferPtr& Picture() const { return m_picture; }
    int PictureLeft() const { return m_left; }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    PixelBufferPtr m_picture;
    int m_left = 0;
};
