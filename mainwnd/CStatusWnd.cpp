#include "mainwnd/CStatusWnd.h"

#include <QVBoxLayout>

#include "app/gui/DisplayText.h"
#include "engine/UnknownLineCount.h"
#include "mainwnd/CElidedLabel.h"
#include "mainwnd/CProgressPanel.h"
#include "mainwnd/CWideProgressBar.h"
#include "platform/CStringTable.h"
#include "platform/StringIds.h"

namespace {

constexpr uint32_t kRedrawEveryLines = 5;
constexpr uint32_t kRedrawLastLines = 3;

} // namespace

CStatusWnd::CStatusWnd(QWidget* parent) : QWidget(parent), m_pPanel(new CProgressPanel(this)) {
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->addWidget(m_pPanel);
}

void CStatusWnd::SetGroup(const std::string& group) {
    m_pPanel->GroupBar().SetProgress(0, 0);
    m_pPanel->Field(CProgressPanel::kGroupName).SetText(DisplayText(group));
}

void CStatusWnd::SetGroupProgress(uint32_t current, uint32_t first, uint32_t last) {
    // An article below the start (a pending one) counts as the start, a range that ends
    // before it as empty.
    const uint32_t maximum = last >= first ? last - first : 0;
    const uint32_t value = current >= first ? current - first : 0;
    m_pPanel->GroupBar().SetProgress(maximum, value);
}

void CStatusWnd::SetArticle(const std::string& messageId, const std::string& author,
                            const std::string& subject, const std::string& fileName) {
    m_pPanel->ArticleBar().SetProgress(0, 0);
    m_pPanel->Field(CProgressPanel::kMessageId).SetText(DisplayText(messageId));
    m_pPanel->Field(CProgressPanel::kAuthor).SetText(DisplayText(author));
    m_pPanel->Field(CProgressPanel::kSubject).SetText(DisplayText(subject));
    m_pPanel->Field(CProgressPanel::kFileName).SetText(DisplayText(fileName));
    m_pPanel->Field(CProgressPanel::kMultipart)
        .SetText(QString::fromStdString(CStringTable::Load(ids::kNo)));
}

void CStatusWnd::SetMultipart(int part, int total) {
    m_pPanel->Field(CProgressPanel::kMultipart)
        .SetText(QStringLiteral("%1/%2").arg(part).arg(total));
}

void CStatusWnd::SetArticleProgress(uint32_t lines, uint32_t expected) {
    if (lines % kRedrawEveryLines != 0 && expected - lines >= kRedrawLastLines)
        return;
    if (expected == kUnknownLineCount)
        m_pPanel->ArticleBar().SetCount(lines);
    else
        m_pPanel->ArticleBar().SetProgress(expected, lines);
}
