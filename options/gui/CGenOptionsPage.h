#pragma once

#include <QString>

#include <functional>
#include <vector>

#include "app/gui/CHelpPropertyPage.h"

struct CSettings;
class CSettingCheckBox;
class QLineEdit;
class QPushButton;

// The Options sheet's "General" page: the program's flags and the decode folder.
class CGenOptionsPage : public CHelpPropertyPage {
    Q_OBJECT

  public:
    static constexpr uint32_t kTemplateId = 141;
    static constexpr uint32_t kDeleteFails = 1060;
    static constexpr uint32_t kCheckVer = 1061;
    static constexpr uint32_t kBackupNewsrc = 1062;
    static constexpr uint32_t kGroupDirs = 1063;
    static constexpr uint32_t kLog = 1064;
    static constexpr uint32_t kAutoStart = 1065;
    static constexpr uint32_t kAutoExit = 1066;
    static constexpr uint32_t kDecodeDir = 1067;
    static constexpr uint32_t kBrowse = 1068;

    // Asks for a folder, starting at `current`; an empty text when the user cancelled.
    using FolderChooser = std::function<QString(QWidget* parent, const QString& current)>;

    // Shows a copy of `settings`, which Apply writes back.
    explicit CGenOptionsPage(CSettings& settings, QWidget* parent = nullptr);

    // Replaces the folder browser (the system's folder dialog) that "Browse..." opens.
    void SetFolderChooser(FolderChooser chooser) { m_chooseFolder = std::move(chooser); }

    // Refuses an empty decode folder: it would become the root folder.
    bool Validate() override;
    // Stores every value; the decode folder gets its closing '/' here.
    void Apply() override;

  private:
    void Browse();

    CSettings& m_settings;
    std::vector<CSettingCheckBox*> m_checks;
    QLineEdit* m_pDecodeDir = nullptr;
    QPushButton* m_pBrowse = nullptr;
    FolderChooser m_chooseFolder;
};
