#include "image/PixelBuffer.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <thread>
#include <vector>

bool PixelBuffer::Create(std::int32_t width, std::int32_t height)
{
    return Allocate(width, height, true);
}

bool PixelBuffer::Allocate(std::int32_t width, std::int32_t height, bool zeroed)
{
    ClearUp();
    if (width < 1 || height < 1)
        return false;
    // The row length must fit in 32 bits; the total is computed in 64 bits
    // because a 32-bit product overflows long before memory runs out.
    if (width > (INT32_MAX - 3) / 3)
        return false;
    const std::uint64_t size = std::uint64_t(ScanLineBytes(width)) * std::uint64_t(height);
    if (size > (std::uint64_t(1) << 34))
        return false;
    // Buffers that are filled right away skip the zeroing pass.
    m_bits.reset(zeroed ? new (std::nothrow) std::uint8_t[size]() : new (std::nothrow) std::uint8_t[size]);
    if (!m_bits)
        return false;
    m_width = width;
    m_height = height;
    return true;
}

namespace {

// Formats whose pixels the buffer reads without a conversion.
bool IsDirectFormat(QImage::Format format)
{
    return format == QImage::Format_RGB32 || format == QImage::Format_RGB888 ||
           format == QImage::Format_BGR888;
}

} // namespace

bool PixelBuffer::CreateFromPicture(const QImage& picture)
{
    if (picture.isNull())
        return false;
    // 32-bit (what most readers give) and 24-bit pictures in either byte order
    // (the JPEG decoder gives the buffer's own) are read as they are; anything
    // else is converted once.
    const bool direct = IsDirectFormat(picture.format());
    const QImage rgb = direct ? picture : picture.convertToFormat(QImage::Format_RGB32);
    if (rgb.isNull() || !Allocate(rgb.width(), rgb.height(), false))
        return false;
    const std::int32_t padding = BytesPerScanLine() - 3 * m_width;
    for (std::int32_t y = 0; y < m_height; ++y) {
        std::uint8_t* dst = Row(m_height - 1 - y);
        if (rgb.format() == QImage::Format_RGB32) {
            const auto* src = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
            for (std::int32_t x = 0; x < m_width; ++x) {
                const QRgb p = src[x];
                dst[3 * x] = std::uint8_t(p);
                dst[3 * x + 1] = std::uint8_t(p >> 8);
                dst[3 * x + 2] = std::uint8_t(p >> 16);
            }
        } else if (rgb.format() == QImage::Format_BGR888) {
            std::memcpy(dst, rgb.constScanLine(y), 3 * std::size_t(m_width));
        } else {
            const uchar* src = rgb.constScanLine(y);
            for (std::int32_t x = 0; x < m_width; ++x) {
                dst[3 * x] = src[3 * x + 2];
                dst[3 * x + 1] = src[3 * x + 1];
                dst[3 * x + 2] = src[3 * x];
            }
        }
        std::memset(dst + 3 * m_width, 0, std::size_t(padding));
    }
    return true;
}

void PixelBuffer::ClearUp()
{
    m_bits.reset();
    m_width = 0;
    m_height = 0;
}

QImage PixelBuffer::ToImage() const
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

void PixelBuffer::PaintPicture(QPainter& painter, int left, int top) const
{
    if (IsEmpty())
        return;
    // Read the bottom-up memory as a top-down BGR image (vertically mirrored)
    // without copying, and draw it flipped back.
    const QImage view(m_bits.get(), m_width, m_height, BytesPerScanLine(), QImage::Format_BGR888);
    painter.save();
    painter.translate(left, top + m_height);
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

} // namespace

namespace {

// Source pixels seen the way the resampler addresses them: memory row r is the
// picture's r-th row from the bottom, each pixel `Stride` bytes with its blue,
// green and red bytes at B, G and R. A pixel buffer and a top-down decoded
// picture are both read in place through this view.
struct SourceRows
{
    const std::uint8_t* bottom; // memory row 0
    std::ptrdiff_t rowStep;     // bytes from one memory row to the next (negative for top-down pictures)
    std::int32_t width;
    std::int32_t height;
    const std::uint8_t* Row(std::int32_t r) const { return bottom + std::ptrdiff_t(r) * rowStep; }
};

template <int Stride, int B, int G, int R>
void ResampleRows(const SourceRows& src, PixelBuffer& out, std::int32_t yBegin, std::int32_t yEnd)
{
    const std::int32_t newWidth = out.Width();
    const std::int32_t newHeight = out.Height();
    // Scales and sample positions are held in single precision; the blend runs in double.
    const float xScale = float(double(src.width - 1) / double(newWidth));
    const float yScale = float(double(src.height - 1) / double(newHeight));

    struct Column
    {
        std::int32_t ix0, ix1; // source columns ix and ix + 1
        double dx;
    };
    std::vector<Column> cols(static_cast<std::size_t>(newWidth));
    for (std::int32_t x = 0; x < newWidth; ++x) {
        const float fx = float(x) * xScale;
        std::int32_t ix = std::int32_t(std::floor(fx));
        const float dx = fx - float(ix);
        ix = std::clamp(ix, 0, src.width - 1);
        // A 1-pixel-wide source (or a position on the last column) samples its last column again.
        const std::int32_t ix1 = std::min(ix + 1, src.width - 1);
        cols[std::size_t(x)] = {ix, ix1, double(dx)};
    }
    constexpr int kChannel[3] = {B, G, R};

    // When most source columns are sampled, blend each pair of source rows once
    // for the whole row and only the horizontal step per destination pixel;
    // the rounding is the same either way.
    const bool wholeRow = std::int64_t(newWidth) * 2 >= src.width;
    // Every byte of the two rows is blended in one straight loop the compiler
    // vectorises (a 32-bit source's fourth byte too; it is never read back).
    std::vector<double> blended(wholeRow ? std::size_t(src.width) * Stride : 0);

    for (std::int32_t y = yBegin; y < yEnd; ++y) {
        const float fy = float(y) * yScale;
        std::int32_t iy = std::int32_t(std::floor(fy));
        const double dy = double(fy - float(iy));
        iy = std::clamp(iy, 0, src.height - 1);
        const std::int32_t iy1 = std::min(iy + 1, src.height - 1);
        const std::uint8_t* r0 = src.Row(iy);
        const std::uint8_t* r1 = src.Row(iy1);
        const double wy0 = 1.0 - dy;
        std::uint8_t* dst = out.Row(y);
        // The buffer is not cleared beforehand: give the row padding its zeros here.
        std::memset(dst + 3 * std::size_t(newWidth), 0, std::size_t(out.BytesPerScanLine() - 3 * newWidth));
        if (wholeRow) {
            double* bl = blended.data();
            const std::size_t n = blended.size();
            for (std::size_t j = 0; j < n; ++j)
                bl[j] = RoundEvenD(wy0 * r0[j] + dy * r1[j]);
            for (const Column& c : cols) {
                const double wx0 = 1.0 - c.dx;
                const double* b0 = bl + Stride * std::size_t(c.ix0);
                const double* b1 = bl + Stride * std::size_t(c.ix1);
                for (int ch = 0; ch < 3; ++ch) {
                    const int v = RoundEven(wx0 * b0[kChannel[ch]] + c.dx * b1[kChannel[ch]]);
                    dst[ch] = std::uint8_t(std::clamp(v, 0, 255));
                }
                dst += 3;
            }
            continue;
        }
        for (const Column& c : cols) {
            const double wx0 = 1.0 - c.dx;
            const std::uint8_t* p00 = r0 + std::size_t(c.ix0) * Stride;
            const std::uint8_t* p01 = r0 + std::size_t(c.ix1) * Stride;
            const std::uint8_t* p10 = r1 + std::size_t(c.ix0) * Stride;
            const std::uint8_t* p11 = r1 + std::size_t(c.ix1) * Stride;
            for (int ch = 0; ch < 3; ++ch) {
                const int k = kChannel[ch];
                // a and b stay whole numbers held in double: no conversion needed.
                const double a = RoundEvenD(wy0 * p00[k] + dy * p10[k]);
                const double b = RoundEvenD(wy0 * p01[k] + dy * p11[k]);
                const int v = RoundEven(wx0 * a + c.dx * b);
                dst[ch] = std::uint8_t(std::clamp(v, 0, 255));
            }
            dst += 3;
        }
    }
}

// Fills `out` from the source; large pictures are split between two threads
// (the rows are independent, so the result is the same).
template <int Stride, int B, int G, int R>
void ResampleInto(const SourceRows& src, PixelBuffer& out)
{
    constexpr std::int64_t kThreadedPixels = 256 * 1024;
    const std::int32_t rows = out.Height();
    if (std::int64_t(out.Width()) * rows < kThreadedPixels || std::thread::hardware_concurrency() < 2) {
        ResampleRows<Stride, B, G, R>(src, out, 0, rows);
        return;
    }
    const std::int32_t half = rows / 2;
    std::thread lower([&src, &out, half] { ResampleRows<Stride, B, G, R>(src, out, 0, half); });
    ResampleRows<Stride, B, G, R>(src, out, half, rows);
    lower.join();
}

} // namespace

std::shared_ptr<PixelBuffer> PixelBuffer::Resampled(QSize size) const
{
    const std::int32_t newWidth = size.width();
    const std::int32_t newHeight = size.height();
    if (IsEmpty())
        return nullptr;
    auto out = std::make_shared<PixelBuffer>();
    // Every byte is written below (the copy, or each row with its padding).
    if (!out->Allocate(newWidth, newHeight, false))
        return nullptr;
    if (newWidth == m_width && newHeight == m_height) {
        std::memcpy(out->m_bits.get(), m_bits.get(), ImageSize());
        return out;
    }
    ResampleInto<3, 0, 1, 2>({m_bits.get(), BytesPerScanLine(), m_width, m_height}, *out);
    return out;
}

std::shared_ptr<PixelBuffer> PixelBuffer::ResampledPicture(const QImage& picture, QSize size)
{
    const std::int32_t newWidth = size.width();
    const std::int32_t newHeight = size.height();
    const bool direct = IsDirectFormat(picture.format());
    const QImage rgb = direct || picture.isNull() ? picture : picture.convertToFormat(QImage::Format_RGB32);
    if (rgb.isNull())
        return nullptr;
    auto out = std::make_shared<PixelBuffer>();
    if (rgb.width() == newWidth && rgb.height() == newHeight)
        return out->CreateFromPicture(rgb) ? out : nullptr;
    if (!out->Allocate(newWidth, newHeight, false))
        return nullptr;
    // The decoded picture is top-down: memory row 0 is its last scan line.
    const SourceRows src{rgb.constScanLine(rgb.height() - 1), -std::ptrdiff_t(rgb.bytesPerLine()),
                         rgb.width(), rgb.height()};
    if (rgb.format() == QImage::Format_RGB32)
        ResampleInto<4, 0, 1, 2>(src, *out); // 0xffRRGGBB stored as B, G, R, 0xff
    else if (rgb.format() == QImage::Format_BGR888)
        ResampleInto<3, 0, 1, 2>(src, *out);
    else
        ResampleInto<3, 2, 1, 0>(src, *out);
    return out;
}
