#pragma once

#include <QApplication>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/gui/CContextHelp.h"
#include "support/TestApplication.h"

// The help file of the repository, the one shipped beside the program.
inline std::string RepositoryHelpFile() {
    return std::string(GW_FIXTURES_DIR) + "/../../res/Gleanwick.hlp";
}

// The GUI application with the repository's help file loaded.
inline void UseRepositoryHelp() {
    TestApplication<QApplication>();
    CContextHelp::UseHelpFile(RepositoryHelpFile());
}

// Catches the help popups shown while it lives, instead of showing them.
class PopupRecorder {
  public:
    struct Popup {
        QWidget* control;
        QString text;
    };

    PopupRecorder() {
        CContextHelp::InstallPopup([this](QWidget* control, const QString& text) {
            m_popups.push_back({control, text});
        });
    }
    ~PopupRecorder() { CContextHelp::InstallPopup(nullptr); }
    PopupRecorder(const PopupRecorder&) = delete;
    PopupRecorder& operator=(const PopupRecorder&) = delete;

    const std::vector<Popup>& Popups() const { return m_popups; }

  private:
    std::vector<Popup> m_popups;
};

// The title of a topic of the loaded help file, as its popup shows it.
inline QString TopicTitle(uint32_t id) {
    const HelpTopic* topic = CContextHelp::HelpFile().Find(id);
    return topic != nullptr ? QString::fromStdString(topic->title) : QString();
}

// Runs `user` on the modal dialog once it is open, as a person at the keyboard would.
inline void WhenOpen(std::function<void(QWidget*)> user) {
    QTimer::singleShot(0, [user] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        user(dialog);
    });
}
