#include "gui/LinkLabel.h"

#include <QMouseEvent>

TLinkLabel::TLinkLabel(QWidget* Parent) : QLabel(Parent) {
    QPalette p = palette();
    p.setColor(QPalette::WindowText, Qt::blue);
    setPalette(p);
    setCursor(Qt::PointingHandCursor);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* Event) {
    if (Event->button() == Qt::LeftButton && rect().contains(Event->position().toPoint())) {
        emit clicked();
    }
    QLabel::mouseReleaseEvent(Event);
}
