#include "gui/ElidedLabel.h"

#include <QPainter>
#include <QStyle>

QString TElidedLabel::shownText() const {
    return fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width());
}

void TElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawFrame(&painter);
    style()->drawItemText(&painter, contentsRect(),
                          static_cast<int>(alignment() | Qt::TextSingleLine), palette(),
                          isEnabled(), shownText(), foregroundRole());
}
