#include "mainwnd/CSplashWindow.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QSvgRenderer>

#include <utility>

namespace {

const QString kPicturePath = QStringLiteral(":/pictures/splash.svg");

// The picture at the screen's pixel density; null when the resource is missing or broken.
QPixmap RenderPicture(qreal pixelRatio) {
    QSvgRenderer renderer(kPicturePath);
    if (!renderer.isValid())
        return {};
    QPixmap picture(renderer.defaultSize() * pixelRatio);
    picture.setDevicePixelRatio(pixelRatio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    renderer.render(&painter, QRectF(QPointF(), renderer.defaultSize()));
    return picture;
}

bool IsPress(QEvent::Type type) {
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonDblClick:
        return true;
    default:
        return false;
    }
}

} // namespace

bool CSplashWindow::s_bEnabled = false;
CSplashWindow* CSplashWindow::s_pWindow = nullptr;

void CSplashWindow::EnableSplashScreen(bool enable) {
    s_bEnabled = enable;
}

void CSplashWindow::ShowSplashScreen(QWidget* owner, std::chrono::milliseconds displayTime) {
    if (!s_bEnabled || s_pWindow != nullptr)
        return;
    s_bEnabled = false;
    const QScreen* screen = QGuiApplication::primaryScreen();
    QPixmap picture = RenderPicture(screen ? screen->devicePixelRatio() : 1.0);
    if (picture.isNull())
        return;
    s_pWindow = new CSplashWindow(owner, std::move(picture), displayTime);
    s_pWindow->show();
    // Start-up goes on with long steps before the event loop runs: paint now.
    s_pWindow->repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

bool CSplashWindow::IsShown() {
    return s_pWindow != nullptr;
}

void CSplashWindow::HideSplashScreen() {
    if (s_pWindow == nullptr)
        return;
    CSplashWindow* window = std::exchange(s_pWindow, nullptr);
    qApp->removeEventFilter(window);
    window->hide();
    if (window->m_pOwner && window->m_pOwner->isVisible())
        window->m_pOwner->repaint();
    // Hiding may happen inside the window's own event filter.
    window->deleteLater();
}

CSplashWindow::CSplashWindow(QWidget* owner, QPixmap picture, std::chrono::milliseconds displayTime)
    : QWidget(owner, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus),
      m_picture(std::move(picture)), m_pOwner(owner) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Keys keep going to the window that had them; the splash only watches.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setCursor(Qt::ArrowCursor);
    setFixedSize(m_picture.deviceIndependentSize().toSize());
    CentreOver(owner);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &CSplashWindow::HideSplashScreen);
    m_timer.start(displayTime);
    qApp->installEventFilter(this);
}

CSplashWindow::~CSplashWindow() {
    // Deleted with its owner while still shown.
    if (s_pWindow == this) {
        s_pWindow = nullptr;
        qApp->removeEventFilter(this);
    }
}

void CSplashWindow::CentreOver(const QWidget* owner) {
    QRect area;
    if (owner != nullptr && owner->isVisible())
        area = owner->frameGeometry();
    else if (const QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->geometry();
    move(area.center() - rect().center());
}

bool CSplashWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        // Claimed, so that a key that is a shortcut arrives as a key press, which is consumed.
        event->accept();
        return true;
    }
    if (!IsPress(event->type()))
        return QWidget::eventFilter(watched, event);
    HideSplashScreen();
    return true;
}

void CSplashWindow::paintEvent(QPaintEvent*) {
    QPainter(this).drawPixmap(0, 0, m_picture);
}
