#pragma once

#include <QLabel>

// A label that acts as a link: blue, bold, underlined, with a hand cursor,
// and a click signal when the left button is released over it.
class TLinkLabel : public QLabel {
    Q_OBJECT
  public:
    explicit TLinkLabel(QWidget* Parent = nullptr);

  signals:
    void clicked();

  protected:
    void mouseReleaseEvent(QMouseEvent* Event) override;
};
