#pragma once

#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <chrono>

// The program's picture while it starts up. It goes after a few seconds or at the first key
// press or mouse button press anywhere in the program; that press does nothing else.
class CSplashWindow : public QWidget {
    Q_OBJECT

  public:
    static constexpr std::chrono::milliseconds kDisplayTime{3000};

    // Allows one showing; the showing uses the permission up, so the picture appears at most
    // once however often a main window is made.
    static void EnableSplashScreen(bool enable);
    // Centred on the screen (or on the owner when that is visible) and painted before this
    // returns. Does nothing when not enabled or already shown, or without the picture.
    static void ShowSplashScreen(QWidget* owner,
                                 std::chrono::milliseconds displayTime = kDisplayTime);
    static bool IsShown();
    static void HideSplashScreen();

    ~CSplashWindow() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    CSplashWindow(QWidget* owner, QPixmap picture, std::chrono::milliseconds displayTime);
    void CentreOver(const QWidget* owner);

    QPixmap m_picture;
    QPointer<QWidget> m_pOwner;
    QTimer m_timer;

    static bool s_bEnabled;
    static CSplashWindow* s_pWindow;
};
