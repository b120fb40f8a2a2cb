#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>
#include <optional>

class QStyle;

// The captioned group frame that holds other controls. With a themed desktop
// style the style's own group-box frame is drawn; with the classic style an
// etched groove. Either way the frame's top line runs through the middle of the
// caption, which sits at a fixed indent with a small cleared gap around it.
class ThemedFrame : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(bool Themed READ Themed)

public:
    explicit ThemedFrame(QWidget* parent = nullptr);
    explicit ThemedFrame(const QString& caption, QWidget* parent = nullptr);

    // Disabling the frame disables the input of every control inside it and greys the caption.
    bool Enabled() const;
    void SetEnabled(bool enabled);
    // "&" marks the next letter as the mnemonic (underlined; Alt+letter focuses
    // the first control inside). Until set, the caption is the object name.
    QString Caption() const;
    void SetCaption(const QString& caption);
    // True unless the widget's style is the plain classic one ("windows") or the
    // look has been forced with SetThemedOverride.
    bool Themed() const;
    void SetThemedOverride(std::optional<bool> themed);

    // Where the parts of the frame go for the current caption, font and size.
    struct Geometry
    {
        QSize captionSize; // measured caption (cx, cy)
        QRect frameRect;   // the frame's outline
        QRect captionRect; // where the caption is drawn
        QRect gapRect;     // cleared behind the caption; empty for an empty caption
        int indent = 0;
        int gap = 0;
    };
    Geometry Layout() const;

    // The caption as it is measured: mnemonic marks removed ("&&" stands for a
    // literal "&"), or one space when the caption is empty.
    static QString MeasuredText(const QString& caption);

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void CaptionChanged();
    int StyleFrameOffset(const QRect& frameRect);

    QString m_caption;
    bool m_captionSet = false;
    std::optional<bool> m_themedOverride;
    int m_shortcutId = 0;

    // How far below the given rectangle's top the style draws its group-box
    // line, measured once per style, font and width.
    const QStyle* m_offsetStyle = nullptr;
    QString m_offsetFontKey;
    int m_offsetWidth = -1;
    int m_offset = 0;
};
