#include "gui/ElidedLabel.h"

#include <QEvent>

namespace zelvant {

ElidedLabel::ElidedLabel(QWidget *parent)
    : QLabel(parent)
{
    // The label's width comes from the window, never from the value: a
    // long value must not push the window's buttons off the screen.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
}

void ElidedLabel::setFullText(const QString &text)
{
    m_fullText = text;
    setToolTip(text);
    elide();
}

QSize ElidedLabel::minimumSizeHint() const
{
    return QSize(0, QLabel::minimumSizeHint().height());
}

QSize ElidedLabel::sizeHint() const
{
    return QSize(fontMetrics().horizontalAdvance(m_fullText), QLabel::sizeHint().height());
}

void ElidedLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    elide();
}

void ElidedLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        elide();
}

void ElidedLabel::elide()
{
    const int room = contentsRect().width() - 2 * margin() - std::max(0, indent());
    const QString shown =
        fontMetrics().horizontalAdvance(m_fullText) <= room
            ? m_fullText
            : fontMetrics().elidedText(m_fullText, Qt::ElideMiddle, std::max(room, 0));
    if (shown != text())
        QLabel::setText(shown);
}

} // namespace zelvant
