#pragma once

#include <QLabel>

// A one-line label that draws a text too long for it cut at its end with
// "…", never in the middle of a letter; text() and the tooltip keep the
// whole text.
class TElidedLabel : public QLabel {
    Q_OBJECT
  public:
    using QLabel::QLabel;

    // The text as drawn.
    QString shownText() const;

  protected:
    void paintEvent(QPaintEvent* Event) override;
};
