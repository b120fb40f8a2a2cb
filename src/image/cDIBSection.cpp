#include "image/cDIBSection.h"

#include <QPainter>

#include <cstring>
#include <new>

bool cDIBSection::Create(std::int32_t lWidth, std::int32_t lHeight)
{
    ClearUp();
    if (lWidth < 1 || lHeight < 1)
        return false;
    // 64-bit arithmetic: a 32-bit product overflows long before memory runs out.
    const std::uint64_t size = std::uint64_t(ScanLineBytes(lWidth)) * std::uint64_t(lHeight);
    if (lWidth > (INT32_MAX - 3) / 3 || size > (std::uint64_t(1) << 34))
        return false;
    m_bits.reset(new (std::nothrow) std::uint8_t[size]());
    if (!m_bits)
        return false;
    m_width = lWidth;
    m_height = lHeight;
    return true;
}

bool cDIBSection::CreateFromPicture(const QImage& picThis)
{
    if (picThis.isNull())
        return false;
    const QImage rgb = picThis.format() == QImage::Format_RGB888 ? picThis
                                                                 : picThis.convertToFormat(QImage::Format_RGB888);
    if (rgb.isNull() || !Create(rgb.width(), rgb.height()))
        return false;
    for (std::int32_t y = 0; y < m_height; ++y) {
        const uchar* src = rgb.constScanLine(y);
        std::uint8_t* dst = Row(m_height - 1 - y);
        for (std::int32_t x = 0; x < m_width; ++x) {
            dst[3 * x] = src[3 * x + 2];
            dst[3 * x + 1] = src[3 * x + 1];
            dst[3 * x + 2] = src[3 * x];
        }
    }
    return true;
}

void cDIBSection::ClearUp()
{
    m_bits.reset();
    m_width = 0;
    m_height = 0;
}

QImage cDIBSection::ToImage() const
{
    if (IsEmpty())
        return {};
    QImage out(m_width, m_height, QImage::Format_RGB888);
    for (std::int32_t y = 0; y < m_height; ++y) {
        const std::uint8_t* src = Row(m_height - 1 - y);
        uchar* dst = out.scanLine(y);
        for (std::int32_t x = 0; x < m_width; ++x) {
            dst[3 * x] = src[3 * x + 2];
            dst[3 * x + 1] = src[3 * x + 1];
            dst[3 * x + 2] = src[3 * x];
        }
    }
    return out;
}

void cDIBSection::PaintPicture(QPainter& painter, int lDestLeft, int lDestTop) const
{
    if (IsEmpty())
        return;
    // Read the bottom-up memory as a top-down BGR image (vertically mirrored)
    // without copying, and draw it flipped back.
    const QImage view(m_bits.get(), m_width, m_height, BytesPerScanLine(), QImage::Format_BGR888);
    painter.save();
    painter.translate(lDestLeft, lDestTop + m_height);
    painter.scale(1, -1);
    painter.drawImage(0, 0, view);
    painter.restore();
}

// TODO(image): Resample, SavePicture, RandomiseBits
