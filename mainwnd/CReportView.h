#pragma once

#include <QTableView>

// A table view that looks and acts like a report-style list view: whole rows, one selected at a
// time, no grid and no row headers, every row as tall as the font needs. Rows of one fixed
// height keep insertion and scrolling cheap however many rows there are; a list view would lay
// all its rows out again after every insertion.
class CReportView : public QTableView {
    Q_OBJECT

  public:
    explicit CReportView(QWidget* parent = nullptr);

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void FitRowHeight();
};
