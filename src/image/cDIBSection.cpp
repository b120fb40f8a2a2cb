#include "image/cDIBSection.h"

#include <QDateTime>
#include <QPainter>
#include <QRandomGenerator>
#include <QSaveFile>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

bool cDIBSection::Create(std::int32_t lWidth, std::int32_t lHeight)
{
    ClearUp();
    if (lWidth < 1 || lHeight < 1)
        return false;
    // The row length must fit in 32 bits; the total is computed in 64 bits
    // because a 32-bit product overflows long before memory runs out.
    if (lWidth > (INT32_MAX - 3) / 3)
        return false;
    const std::uint64_t size = std::uint64_t(ScanLineBytes(lWidth)) * std::uint64_t(lHeight);
    if (size > (std::uint64_t(1) << 34))
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
    const QImage rgb =
        picThis.format() == QImage::Format_RGB888 ? picThis : picThis.convertToFormat(QImage::Format_RGB888);
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

namespace {

// Round to nearest with ties to even for 0 <= v < 2^51 under the default
// rounding mode: adding 1.5 * 2^52 leaves no fraction bits. Cheaper than a
// libm call in the inner loop and exactly the same result.
inline double RoundEvenD(double v)
{
    constexpr double kMagic = 6755399441055744.0;
    return (v + kMagic) - kMagic;
}

inline int RoundEven(double v)
{
    return int(RoundEvenD(v));
}

void PutLE16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}

void PutLE32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = std::uint8_t(v >> (8 * i));
}

} // namespace

std::shared_ptr<cDIBSection> cDIBSection::Resample(std::int32_t lNewHeight, std::int32_t lNewWidth) const
{
    if (IsEmpty())
        return nullptr;
    auto out = std::make_shared<cDIBSection>();
    if (!out->Create(lNewWidth, lNewHeight))
        return nullptr;
    if (lNewWidth == m_width && lNewHeight == m_height) {
        std::memcpy(out->m_bits.get(), m_bits.get(), ImageSize());
        return out;
    }

    // Scales and sample positions are held in single precision; the blend runs in double.
    const float xScale = float(double(m_width - 1) / double(lNewWidth));
    const float yScale = float(double(m_height - 1) / double(lNewHeight));

    struct Column
    {
        std::size_t off0, off1; // byte offsets of columns ix and ix + 1
        double dx;
    };
    std::vector<Column> cols(static_cast<std::size_t>(lNewWidth));
    for (std::int32_t x = 0; x < lNewWidth; ++x) {
        const float fx = float(x) * xScale;
        std::int32_t ix = std::int32_t(std::floor(fx));
        const float dx = fx - float(ix);
        ix = std::clamp(ix, 0, m_width - 1);
        // A 1-pixel-wide source (or a position on the last column) samples its last column again.
        const std::int32_t ix1 = std::min(ix + 1, m_width - 1);
        cols[std::size_t(x)] = {std::size_t(ix) * 3, std::size_t(ix1) * 3, double(dx)};
    }

    // When most source columns are sampled, blend each pair of source rows once
    // for the whole row (a straight loop the compiler vectorises) and only the
    // horizontal step per destination pixel; the rounding is the same either way.
    const bool wholeRow = std::int64_t(lNewWidth) * 2 >= m_width;
    std::vector<double> blended(wholeRow ? std::size_t(m_width) * 3 : 0);

    for (std::int32_t y = 0; y < lNewHeight; ++y) {
        const float fy = float(y) * yScale;
        std::int32_t iy = std::int32_t(std::floor(fy));
        const double dy = double(fy - float(iy));
        iy = std::clamp(iy, 0, m_height - 1);
        const std::int32_t iy1 = std::min(iy + 1, m_height - 1);
        const std::uint8_t* r0 = Row(iy);
        const std::uint8_t* r1 = Row(iy1);
        const double wy0 = 1.0 - dy;
        std::uint8_t* dst = out->Row(y);
        if (wholeRow) {
            double* bl = blended.data();
            const std::size_t n = blended.size();
            for (std::size_t j = 0; j < n; ++j)
                bl[j] = RoundEvenD(wy0 * r0[j] + dy * r1[j]);
            for (const Column& c : cols) {
                const double wx0 = 1.0 - c.dx;
                for (std::size_t ch = 0; ch < 3; ++ch) {
                    const int v = RoundEven(wx0 * bl[c.off0 + ch] + c.dx * bl[c.off1 + ch]);
                    dst[ch] = std::uint8_t(std::clamp(v, 0, 255));
                }
                dst += 3;
            }
            continue;
        }
        for (const Column& c : cols) {
            const double wx0 = 1.0 - c.dx;
            for (std::size_t ch = 0; ch < 3; ++ch) {
                // a and b stay whole numbers held in double: no conversion needed.
                const double a = RoundEvenD(wy0 * r0[c.off0 + ch] + dy * r1[c.off0 + ch]);
                const double b = RoundEvenD(wy0 * r0[c.off1 + ch] + dy * r1[c.off1 + ch]);
                const int v = RoundEven(wx0 * a + c.dx * b);
                dst[ch] = std::uint8_t(std::clamp(v, 0, 255));
            }
            dst += 3;
        }
    }
    return out;
}

bool cDIBSection::SavePicture(const QString& sFileName) const
{
    if (IsEmpty())
        return false;
    const std::uint64_t imageSize = ImageSize();
    if (imageSize + 58 > UINT32_MAX)
        return false;

    std::uint8_t fileHeader[14] = {'B', 'M'};
    PutLE32(fileHeader + 2, std::uint32_t(imageSize + 58));
    PutLE32(fileHeader + 10, 58);

    // 40-byte info header followed by one zero colour entry.
    std::uint8_t info[44] = {};
    PutLE32(info, 40);
    PutLE32(info + 4, std::uint32_t(m_width));
    PutLE32(info + 8, std::uint32_t(m_height));
    PutLE16(info + 12, 1);
    PutLE16(info + 14, 24);
    PutLE32(info + 20, std::uint32_t(imageSize));

    // The previous file survives any failed write.
    QSaveFile file(sFileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const auto put = [&file](const void* data, qint64 size) {
        return file.write(static_cast<const char*>(data), size) == size;
    };
    if (!put(fileHeader, sizeof fileHeader) || !put(info, sizeof info) ||
        !put(m_bits.get(), qint64(imageSize))) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

void cDIBSection::RandomiseBits(bool bGray)
{
    if (IsEmpty())
        return;
    QRandomGenerator rng(quint32(QTime::currentTime().msecsSinceStartOfDay()));
    const auto next = [&rng] { return std::uint8_t(RoundEven(rng.generateDouble() * 255.0)); };
    for (std::int32_t r = 0; r < m_height; ++r) {
        std::uint8_t* p = Row(r);
        for (std::int32_t x = 0; x < m_width; ++x, p += 3) {
            if (bGray) {
                p[0] = p[1] = p[2] = next();
            } else {
                p[0] = 0;
                p[1] = next();
                p[2] = next();
            }
        }
    }
}
