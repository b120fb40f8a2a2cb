#include "controls/ThemedFrame.h"

#include "controls/Edges.h"
#include "controls/ProgressBarMath.h"

#include <QEvent>
#include <QFontMetrics>
#include <QImage>
#include <QKeySequence>
#include <QPainter>
#include <QShortcutEvent>
#include <QStyle>
#include <QStyleOptionFrame>

namespace {

constexpr int kThemedIndent = 9;
constexpr int kThemedGap = 2;
constexpr int kClassicIndent = 4;
constexpr int kClassicGap = 1;
constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextShowMnemonic;

} // namespace

ThemedFrame::ThemedFrame(QWidget* parent) : QWidget(parent)
{
    connect(this, &QObject::objectNameChanged, this, [this] {
        if (!m_captionSet)
            CaptionChanged();
    });
    CaptionChanged();
}

ThemedFrame::ThemedFrame(const QString& caption, QWidget* parent) : ThemedFrame(parent)
{
    SetCaption(caption);
}

bool ThemedFrame::Enabled() const
{
    return !testAttribute(Qt::WA_ForceDisabled);
}

void ThemedFrame::SetEnabled(bool enabled)
{
    setEnabled(enabled);
    update();
}

QString ThemedFrame::Caption() const
{
    return m_captionSet ? m_caption : objectName();
}

void ThemedFrame::SetCaption(const QString& caption)
{
    m_caption = caption;
    m_captionSet = true;
    CaptionChanged();
}

bool ThemedFrame::Themed() const
{
    if (m_themedOverride)
        return *m_themedOverride;
    return style()->name().compare(QLatin1String("windows"), Qt::CaseInsensitive) != 0;
}

void ThemedFrame::SetThemedOverride(std::optional<bool> themed)
{
    m_themedOverride = themed;
    CaptionChanged();
}

QString ThemedFrame::MeasuredText(const QString& caption)
{
    if (caption.isEmpty())
        return QStringLiteral(" ");
    QString text;
    text.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&')) {
            if (i + 1 < caption.size() && caption[i + 1] == QLatin1Char('&'))
                text += caption[++i];
            continue;
        }
        text += caption[i];
    }
    return text;
}

ThemedFrame::Geometry ThemedFrame::Layout() const
{
    Geometry g;
    const bool themed = Themed();
    g.indent = themed ? kThemedIndent : kClassicIndent;
    g.gap = themed ? kThemedGap : kClassicGap;
    const QFontMetrics fm(font());
    const QString text = MeasuredText(Caption());
    g.captionSize = QSize(fm.horizontalAdvance(text), fm.height());
    const int top = ProgressBarMath::RoundHalfEven(g.captionSize.height() / 2.0);
    g.frameRect = QRect(0, top, width(), height() - top);
    g.captionRect = QRect(QPoint(g.indent, 0), g.captionSize);
    if (!Caption().isEmpty())
        g.gapRect = QRect(g.indent - g.gap, 0, g.captionSize.width() + 2 * g.gap, g.captionSize.height());
    return g;
}

void ThemedFrame::CaptionChanged()
{
    const int cy = QFontMetrics(font()).height();
    setContentsMargins(8, cy + 4, 8, 8);

    if (m_shortcutId != 0)
        releaseShortcut(m_shortcutId);
    m_shortcutId = 0;
    const QKeySequence mnemonic = QKeySequence::mnemonic(Caption());
    if (!mnemonic.isEmpty())
        m_shortcutId = grabShortcut(mnemonic);
    updateGeometry();
    update();
}

int ThemedFrame::StyleFrameOffset(const QRect& frameRect)
{
    // Some styles draw the group-box line a distance below the rectangle they
    // are given (they leave room for a title above it). Draw it once into a
    // scratch image and look where the line lands, so the line can be placed
    // exactly at the frame's top.
    const QString fontKey = font().key();
    if (m_offsetStyle == style() && m_offsetFontKey == fontKey && m_offsetWidth == frameRect.width())
        return m_offset;
    m_offsetStyle = style();
    m_offsetFontKey = fontKey;
    m_offsetWidth = frameRect.width();
    m_offset = 0;

    const int probeHeight = 4 * QFontMetrics(font()).height() + 64;
    QImage probe(QSize(std::max(frameRect.width(), 32), probeHeight), QImage::Format_ARGB32_Premultiplied);
    if (probe.isNull())
        return m_offset;
    probe.fill(Qt::transparent);
    {
        QPainter p(&probe);
        QStyleOptionFrame opt;
        opt.initFrom(this);
        opt.rect = QRect(0, 0, probe.width(), probe.height());
        opt.lineWidth = 1;
        opt.midLineWidth = 0;
        style()->drawPrimitive(QStyle::PE_FrameGroupBox, &opt, &p, this);
    }
    const int column = probe.width() / 2;
    for (int y = 0; y < probe.height() / 2; ++y) {
        if (qAlpha(probe.pixel(column, y)) != 0) {
            m_offset = y;
            break;
        }
    }
    return m_offset;
}

void ThemedFrame::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const Geometry g = Layout();
    const QColor back = palette().color(backgroundRole());
    p.fillRect(rect(), back);

    const bool themed = Themed();
    if (themed) {
        QStyleOptionFrame opt;
        opt.initFrom(this);
        opt.rect = g.frameRect.adjusted(0, -StyleFrameOffset(g.frameRect), 0, 0);
        opt.lineWidth = 1;
        opt.midLineWidth = 0;
        p.save();
        p.setClipRect(g.frameRect);
        style()->drawPrimitive(QStyle::PE_FrameGroupBox, &opt, &p, this);
        p.restore();
    } else {
        Edges::DrawEdge(p, g.frameRect, Edges::Kind::Etched, palette());
    }

    const QString caption = Caption();
    if (caption.isEmpty())
        return;
    p.fillRect(g.gapRect, back);
    if (themed) {
        style()->drawItemText(&p, g.captionRect, kTextFlags, palette(), isEnabled(), caption,
                              QPalette::WindowText);
    } else if (isEnabled()) {
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(g.captionRect, kTextFlags, caption);
    } else {
        // The classic disabled look: an embossed caption, highlight below right, shadow on top.
        p.setPen(palette().color(QPalette::Light));
        p.drawText(g.captionRect.translated(1, 1), kTextFlags, caption);
        p.setPen(palette().color(QPalette::Dark));
        p.drawText(g.captionRect, kTextFlags, caption);
    }
}

void ThemedFrame::changeEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::StyleChange:
        CaptionChanged();
        break;
    case QEvent::EnabledChange:
    case QEvent::PaletteChange:
        update();
        break;
    default:
        break;
    }
    QWidget::changeEvent(event);
}

bool ThemedFrame::event(QEvent* event)
{
    if (event->type() == QEvent::Shortcut) {
        auto* shortcut = static_cast<QShortcutEvent*>(event);
        if (shortcut->shortcutId() == m_shortcutId) {
            for (QWidget* w = nextInFocusChain(); w && w != this; w = w->nextInFocusChain()) {
                if (isAncestorOf(w) && w->isEnabled() && w->isVisible() &&
                    (w->focusPolicy() & Qt::TabFocus)) {
                    w->setFocus(Qt::ShortcutFocusReason);
                    break;
                }
            }
            return true;
        }
    }
    return QWidget::event(event);
}

QSize ThemedFrame::minimumSizeHint() const
{
    const Geometry g = Layout();
    const QSize own(g.indent * 2 + g.captionSize.width() + 2 * g.gap, g.captionSize.height() + 8);
    return QWidget::minimumSizeHint().expandedTo(own);
}
