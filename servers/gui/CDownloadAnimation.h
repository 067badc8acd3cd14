#pragma once

#include <QTimer>
#include <QWidget>

// The download dialog's animation: newsgroup folders fly from the server into a box, round
// after round, while the widget is visible.
class CDownloadAnimation : public QWidget {
    Q_OBJECT

  public:
    explicit CDownloadAnimation(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    // The frames drawn since the animation started, for a look at whether it runs.
    int Frame() const { return m_nFrame; }
    bool IsRunning() const { return m_timer.isActive(); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void PaintServer(QPainter& painter, const QRectF& box) const;
    void PaintFolder(QPainter& painter, const QPointF& centre, double tilt) const;
    void PaintBoxBack(QPainter& painter, const QRectF& box) const;
    void PaintBoxFront(QPainter& painter, const QRectF& box) const;

    QTimer m_timer;
    int m_nFrame = 0;
};
