#pragma once

#include <string>

#include "app/gui/CHelpDialog.h"
#include "platform/ProgramFolder.h"

class QGridLayout;

// The About box: program name and version, the machine's memory and the free space of the
// file system that holds the program folder.
class CAboutDialog : public CHelpDialog {
    Q_OBJECT

  public:
    static constexpr uint32_t kTemplateId = 100;
    static constexpr uint32_t kMemoryField = 1011;
    static constexpr uint32_t kDiskField = 1012;

    // `folder` is the folder whose file system is described.
    explicit CAboutDialog(QWidget* parent = nullptr, const std::string& folder = ProgramFolder());

  private:
    void AddFigure(QGridLayout* grid, int row, const QString& label, uint32_t controlId,
                   const std::string& text);
};
