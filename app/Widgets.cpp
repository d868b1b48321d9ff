#include "Widgets.h"

#include <QMouseEvent>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace tirevo {

BitBtn::BitBtn(const QString& caption, const QIcon& glyph, QWidget* parent) : QPushButton(caption, parent)
{
    setIcon(glyph);
    setIconSize(QSize(24, 24));
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
}

void BitBtn::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    option.icon = QIcon();
    painter.drawControl(QStyle::CE_PushButtonBevel, option);

    const QSize glyphSize = iconSize();
    const QPixmap glyph =
        icon().pixmap(glyphSize, devicePixelRatio(), isEnabled() ? QIcon::Normal : QIcon::Disabled);
    const int glyphTop = (height() - glyphSize.height()) / 2;
    painter.drawPixmap(kGlyphLeft, glyphTop, glyph);

    const int captionLeft = kGlyphLeft + glyphSize.width() + kCaptionGap;
    const QRect captionRect(captionLeft, 0, width() - captionLeft, height());
    painter.drawItemText(captionRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, palette(),
                         isEnabled(), text(), QPalette::ButtonText);

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(4, 4, -4, -4);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

void ClickLabel::paintEvent(QPaintEvent* event)
{
    // The picture is made just after the frame that first shows the label:
    // the window's first frame comes sooner, and a page that is left at once
    // (the About page, when the only meter connects) never decodes it.
    if (loader_ && !loadQueued_) {
        loadQueued_ = true;
        QMetaObject::invokeMethod(this, &ClickLabel::LoadPicture, Qt::QueuedConnection);
    }
    QLabel::paintEvent(event);
}

void ClickLabel::LoadPicture()
{
    loadQueued_ = false;
    if (!loader_ || !isVisible())
        return;
    const auto loader = std::move(loader_);
    loader_ = nullptr;
    setPixmap(loader());
}

}  // namespace tirevo
