#include "mainwnd/COutputWindow.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QStyle>

#include <array>
#include <string_view>

#include "mainwnd/PrimaryScreenWidth.h"
#include "options/CSettings.h"
#include "platform/CProfile.h"

namespace {

// The Lines column fits five digits with a blank either side.
constexpr char kLinesColumnSample[] = " 88888 ";

constexpr std::array<std::string_view, CArticleListModel::kColumnCount> kWidthNames = {
    "nFileNameWidth", "nLineWidth", "nAuthorWidth", "nSubjectWidth"};

} // namespace

COutputWindow::COutputWindow(QWidget* parent) : CReportView(parent) {
    setModel(&m_model);
    setHorizontalScrollMode(ScrollPerPixel);
    // Headings that only name their columns: no sorting, no moving, no highlighting.
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setSectionsMovable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    SetFirstStartWidths();

    connect(&m_paintTimer, &QTimer::timeout, this, &COutputWindow::ShowNewRows);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &COutputWindow::SelectionChanged);
}

void COutputWindow::SetFirstStartWidths() {
    const int lines = fontMetrics().horizontalAdvance(QString::fromLatin1(kLinesColumnSample));
    const int rest = PrimaryScreenWidth() - lines -
                     style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const int quarter = rest / 4;
    horizontalHeader()->resizeSection(CArticleListModel::kFileName, quarter);
    horizontalHeader()->resizeSection(CArticleListModel::kLines, lines);
    horizontalHeader()->resizeSection(CArticleListModel::kAuthor, quarter);
    horizontalHeader()->resizeSection(CArticleListModel::kSubject, rest - 2 * quarter);
}

void COutputWindow::AddArticle(const std::string& fileName, uint32_t lines,
                               const std::string& author, const std::string& subject) {
    m_model.Append({fileName, lines, author, subject});
    if (m_paintTimer.Schedule())
        setUpdatesEnabled(false);
}

void COutputWindow::DeleteAllItems() {
    const bool hadSelection = HasSelection();
    m_paintTimer.stop();
    setUpdatesEnabled(true);
    m_model.Clear();
    // A model reset clears the selection without telling anyone.
    if (hadSelection)
        emit SelectionChanged();
}

void COutputWindow::ShowNewRows() {
    if (!HasSelection())
        scrollTo(m_model.index(m_model.rowCount() - 1, 0), EnsureVisible);
    setUpdatesEnabled(true);
}

void COutputWindow::SaveSettings(bool load, CProfile& profile) {
    for (int column = 0; column < CArticleListModel::kColumnCount; ++column) {
        const std::string_view name = kWidthNames[static_cast<std::size_t>(column)];
        const auto width = static_cast<uint32_t>(horizontalHeader()->sectionSize(column));
        if (!load) {
            profile.WriteProfileInt(CSettings::kSection, name, width);
            continue;
        }
        const uint32_t stored = profile.GetProfileInt(CSettings::kSection, name, width);
        horizontalHeader()->resizeSection(column, static_cast<int>(stored & 0xffffu));
    }
}

bool COutputWindow::HasSelection() const {
    return selectionModel()->hasSelection();
}

std::string COutputWindow::SelectedText(int column) const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    if (rows.isEmpty())
        return {};
    return m_model.RawText(rows.first().row(), column);
}

void COutputWindow::SetContextMenu(QMenu* menu) {
    m_pContextMenu = menu;
}

void COutputWindow::contextMenuEvent(QContextMenuEvent* event) {
    if (!m_pContextMenu)
        return;
    m_pContextMenu->exec(event->globalPos());
    event->accept();
}
