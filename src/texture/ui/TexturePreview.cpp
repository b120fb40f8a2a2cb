#include "texture/ui/TexturePreview.h"

#include "texture/ReplacementPreview.h"

#include <QPainter>

namespace {

constexpr int kCheckerSquare = 8;

void PaintCheckerboard(QPainter& painter, const QRect& area)
{
    painter.save();
    painter.setClipRect(area);
    painter.fillRect(area, QColor(255, 255, 255));
    for (int y = area.top(); y <= area.bottom(); y += kCheckerSquare)
        for (int x = area.left() + ((y - area.top()) / kCheckerSquare % 2) * kCheckerSquare;
             x <= area.right(); x += 2 * kCheckerSquare)
            painter.fillRect(QRect(x, y, kCheckerSquare, kCheckerSquare), QColor(204, 204, 204));
    painter.restore();
}

} // namespace

TexturePreview::TexturePreview(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TexturePreview::Show(const QImage& picture, const QString& text)
{
    m_picture = picture;
    m_shown = QImage();
    m_text = text;
    update();
}

QRect TexturePreview::PictureRect() const
{
    const QSize size = PreviewDisplaySize(m_picture.size(), contentsRect().size() - QSize(2, 2));
    if (size.isEmpty())
        return {};
    QRect area(QPoint(0, 0), size);
    area.moveCenter(contentsRect().center());
    return area;
}

void TexturePreview::paintEvent(QPaintEvent*)
{
    // A dark box, like the Screens tab's preview, against which the
    // checkerboard of transparent parts stands out.
    QPainter painter(this);
    painter.fillRect(rect(), QColor(32, 32, 32));
    const QRect area = PictureRect();
    if (area.isEmpty()) {
        painter.setPen(QColor(200, 200, 200));
        painter.drawText(contentsRect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap, m_text);
        return;
    }
    PaintCheckerboard(painter, area);
    if (m_shown.size() != area.size()) {
        // Enlarged: every texel a square of whole pixels; reduced: smoothly.
        m_shown = area.width() >= m_picture.width()
                      ? m_picture.scaled(area.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation)
                      : m_picture.scaled(area.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    painter.drawImage(area.topLeft(), m_shown);
}
