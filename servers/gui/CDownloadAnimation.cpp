#include "servers/gui/CDownloadAnimation.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

constexpr int kFrameMs = 40;
constexpr int kFramesPerFlight = 40; // 1.6 seconds from the server into the box
constexpr int kFolders = 3;          // in the air at once, evenly spaced
constexpr QSize kSize(280, 84);
constexpr double kTopRoom = 12; // above the highest point of a flight

const QColor kServerBody(0x4A, 0x5A, 0x70);
const QColor kServerFace(0x62, 0x75, 0x8F);
const QColor kLight(0x7C, 0xE0, 0x6A);
const QColor kFolderBack(0xD9, 0xA4, 0x2E);
const QColor kFolderFront(0xF2, 0xC2, 0x4F);
const QColor kFolderEdge(0x9C, 0x72, 0x1A);
const QColor kBoxInside(0x8A, 0x5E, 0x33);
const QColor kBoxFront(0xC4, 0x8C, 0x55);
const QColor kBoxEdge(0x7A, 0x52, 0x2C);

} // namespace

CDownloadAnimation::CDownloadAnimation(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_timer.setInterval(kFrameMs);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        ++m_nFrame;
        update();
    });
}

QSize CDownloadAnimation::sizeHint() const {
    return kSize;
}

void CDownloadAnimation::showEvent(QShowEvent* event) {
    m_timer.start();
    QWidget::showEvent(event);
}

void CDownloadAnimation::hideEvent(QHideEvent* event) {
    m_timer.stop();
    QWidget::hideEvent(event);
}

void CDownloadAnimation::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double h = height();
    const QRectF server(8, h - 60, 40, 54);
    const QRectF box(width() - 80, h - 34, 68, 28);
    PaintServer(painter, server);
    PaintBoxBack(painter, box);
    // Each folder leaves the top of the server and drops into the box along a parabola.
    const QPointF from(server.center().x(), server.top() + 6);
    const QPointF to(box.center().x(), box.top() + 10);
    const double arc = (from.y() + to.y()) / 2 - kTopRoom;
    for (int folder = 0; folder < kFolders; ++folder) {
        const int phase = (m_nFrame + folder * kFramesPerFlight / kFolders) % kFramesPerFlight;
        const double t = static_cast<double>(phase) / kFramesPerFlight;
        const QPointF centre(from.x() + (to.x() - from.x()) * t,
                             from.y() + (to.y() - from.y()) * t - arc * 4 * t * (1 - t));
        PaintFolder(painter, centre, (t - 0.5) * 50);
    }
    PaintBoxFront(painter, box);
}

void CDownloadAnimation::PaintServer(QPainter& painter, const QRectF& box) const {
    painter.setPen(QPen(kServerBody.darker(130), 1));
    painter.setBrush(kServerBody);
    painter.drawRoundedRect(box, 4, 4);
    const bool blink = (m_nFrame / 5) % 2 == 0;
    for (int slot = 0; slot < 3; ++slot) {
        const QRectF face(box.left() + 5, box.top() + 8 + slot * 15, box.width() - 10, 10);
        painter.setPen(Qt::NoPen);
        painter.setBrush(kServerFace);
        painter.drawRoundedRect(face, 2, 2);
        painter.setBrush(blink == (slot % 2 == 0) ? kLight : kLight.darker(250));
        painter.drawEllipse(QPointF(face.right() - 5, face.center().y()), 2.2, 2.2);
    }
}

void CDownloadAnimation::PaintFolder(QPainter& painter, const QPointF& centre, double tilt) const {
    painter.save();
    painter.translate(centre);
    painter.rotate(tilt);
    painter.setPen(QPen(kFolderEdge, 1));
    QPainterPath back;
    back.moveTo(-10, -6);
    back.lineTo(-10, -8);
    back.lineTo(-3, -8);
    back.lineTo(-1, -6);
    back.lineTo(10, -6);
    back.lineTo(10, 7);
    back.lineTo(-10, 7);
    back.closeSubpath();
    painter.setBrush(kFolderBack);
    painter.drawPath(back);
    painter.setBrush(kFolderFront);
    painter.drawRoundedRect(QRectF(-10, -3, 20, 10), 1.5, 1.5);
    painter.restore();
}

void CDownloadAnimation::PaintBoxBack(QPainter& painter, const QRectF& box) const {
    painter.setPen(QPen(kBoxEdge, 1));
    painter.setBrush(kBoxInside);
    // The open top seen from slightly above, and the flaps folded outwards.
    painter.drawPolygon(QPolygonF({box.topLeft(), box.topRight(), box.topRight() + QPointF(-6, -8),
                                   box.topLeft() + QPointF(6, -8)}));
    painter.setBrush(kBoxFront.darker(110));
    painter.drawPolygon(QPolygonF(
        {box.topLeft(), box.topLeft() + QPointF(6, -8), box.topLeft() + QPointF(-10, -14)}));
    painter.drawPolygon(QPolygonF(
        {box.topRight(), box.topRight() + QPointF(-6, -8), box.topRight() + QPointF(10, -14)}));
}

void CDownloadAnimation::PaintBoxFront(QPainter& painter, const QRectF& box) const {
    painter.setPen(QPen(kBoxEdge, 1));
    painter.setBrush(kBoxFront);
    painter.drawRect(box);
    painter.setPen(QPen(kBoxEdge, 1, Qt::DashLine));
    painter.drawLine(QPointF(box.center().x(), box.top() + 3),
                     QPointF(box.center().x(), box.bottom() - 3));
}
