#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <cstdint>
#include <memory>

class QPainter;

// The one in-memory picture type: 24-bit pixels in blue, green, red order,
// rows stored bottom-up (memory row 0 is the picture's bottom row), every row
// padded to a multiple of 4 bytes. All pixel work runs over the raw rows.
class PixelBuffer
{
public:
    PixelBuffer() = default;
    ~PixelBuffer() { ClearUp(); }
    PixelBuffer(const PixelBuffer&) = delete;
    PixelBuffer& operator=(const PixelBuffer&) = delete;

    // Releases what the buffer held and makes a new one; the pixels are zero.
    // Refuses (false, buffer empty) a width or height below 1 or a size that
    // does not fit in memory.
    bool Create(std::int32_t width, std::int32_t height);
    // Fills the buffer from a decoded picture of any format (alpha dropped:
    // transparent pixels are expected to be flattened by the decoder).
    bool CreateFromPicture(const QImage& picture);

    std::int32_t BytesPerScanLine() const { return ScanLineBytes(m_width); }
    static std::int32_t ScanLineBytes(std::int32_t width) { return (3 * width + 3) & ~3; }
    std::int32_t Width() const { return m_width; }
    std::int32_t Height() const { return m_height; }
    QSize Size() const { return QSize(m_width, m_height); }
    bool IsEmpty() const { return !m_bits; }
    std::size_t ImageSize() const { return std::size_t(BytesPerScanLine()) * std::size_t(m_height); }

    std::uint8_t* Bits() { return m_bits.get(); }
    const std::uint8_t* Bits() const { return m_bits.get(); }
    // Start of memory row r (row 0 = bottom row of the picture).
    std::uint8_t* Row(std::int32_t r)
    {
        return m_bits.get() + std::size_t(r) * std::size_t(BytesPerScanLine());
    }
    const std::uint8_t* Row(std::int32_t r) const
    {
        return m_bits.get() + std::size_t(r) * std::size_t(BytesPerScanLine());
    }

    // A new buffer of the given size holding this picture scaled bilinearly;
    // an exact copy when the size is unchanged. Null when the new buffer cannot
    // be made or this one is empty.
    std::shared_ptr<PixelBuffer> Resampled(QSize size) const;
    // The same as CreateFromPicture followed by Resampled, read straight from the
    // decoded picture without the full-size copy in between.
    static std::shared_ptr<PixelBuffer> ResampledPicture(const QImage& picture, QSize size);

    // Releases the pixel memory; safe on an empty buffer.
    void ClearUp();

    // A top-down QImage sharing this buffer's memory is not possible (rows are
    // bottom-up), so drawing flips the view while painting.
    void PaintPicture(QPainter& painter, int left, int top) const;
    // A top-down copy as a QImage (RGB888), for tests and tools.
    QImage ToImage() const;

private:
    bool Allocate(std::int32_t width, std::int32_t height, bool zeroed);

    std::unique_ptr<std::uint8_t[]> m_bits;
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
};

using PixelBufferPtr = std::shared_ptr<PixelBuffer>;
