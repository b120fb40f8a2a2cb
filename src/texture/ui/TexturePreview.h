#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

// The Textures tab's preview box: the picture about to be written, at the
// selected texture's size, over a checkerboard where the mask makes it
// transparent; small textures enlarged in whole-pixel steps, large ones
// reduced to fit. Without a picture it shows a short text instead.
class TexturePreview : public QWidget
{
    Q_OBJECT
public:
    explicit TexturePreview(QWidget* parent = nullptr);

    // picture at the texture's own size (ARGB32); a null picture shows text.
    void Show(const QImage& picture, const QString& text = QString());
    const QImage& Picture() const { return m_picture; }
    const QString& Text() const { return m_text; }
    // Where the picture is drawn inside the box.
    QRect PictureRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_picture;
    QImage m_shown; // m_picture at the size drawn, made once per picture and size
    QString m_text;
};
