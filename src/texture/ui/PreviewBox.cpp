#include "texture/ui/PreviewBox.h"

#include <QMouseEvent>
#include <QPainter>

PreviewBox::PreviewBox(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("scrPreview"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::PointingHandCursor);
}

void PreviewBox::Show(PixelBufferPtr picture, int left)
{
    m_picture = std::move(picture);
    m_left = left;
    update();
}

void PreviewBox::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(32, 32, 32));
    if (m_picture && !m_picture->IsEmpty()) {
        m_picture->PaintPicture(painter, m_left, 0);
        return;
    }
    painter.setPen(QColor(170, 170, 170));
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, tr("Choose a picture with Browse..."));
}

void PreviewBox::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QWidget::mouseReleaseEvent(event);
}
