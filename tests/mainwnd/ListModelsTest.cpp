#include "mainwnd/CArticleListModel.h"
#include "mainwnd/CLogListModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include "engine/UnknownLineCount.h"

namespace {

using Tester = QAbstractItemModelTester;
constexpr auto kFatal = QAbstractItemModelTester::FailureReportingMode::Fatal;

QString Shown(const QAbstractItemModel& model, int row, int column = 0) {
    return model.data(model.index(row, column)).toString();
}

TEST(LogListModelTest, AppendsInBatchesAndClears) {
    CLogListModel model;
    Tester tester(&model, kFatal);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

    model.Append({"Connecting to news.example.com"});
    model.Append({"Checking group alt.binaries.test for attachments",
                  "Already decoded \x1b[2Jcat.jpg",
                  "Gr\xfc\xdf"
                  "e"});
    model.Append({});

    ASSERT_EQ(model.rowCount(), 4);
    ASSERT_EQ(inserted.count(), 2); // the empty batch announces nothing
    EXPECT_EQ(inserted.at(1).at(1).toInt(), 1);
    EXPECT_EQ(inserted.at(1).at(2).toInt(), 3);
    EXPECT_EQ(Shown(model, 0), QStringLiteral("Connecting to news.example.com"));
    EXPECT_EQ(Shown(model, 2), QString::fromUtf8(u8"Already decoded \ufffd[2Jcat.jpg"));
    EXPECT_EQ(Shown(model, 3), QString::fromUtf8(u8"Grüße"));
    EXPECT_EQ(model.Line(3), "Gr\xfc\xdf"
                             "e");

    model.Clear();
    EXPECT_EQ(model.rowCount(), 0);
    model.Append({"Extract Complete"});
    EXPECT_EQ(Shown(model, 0), QStringLiteral("Extract Complete"));
}

TEST(ArticleListModelTest, FourLeftAlignedColumnsWithTheirHeadings) {
    CArticleListModel model;
    Tester tester(&model, kFatal);
    const QStringList expected = {"FileName", "Lines", "Author", "Subject"};
    ASSERT_EQ(model.columnCount(), 4);
    for (int column = 0; column < 4; ++column) {
        EXPECT_EQ(model.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(),
                  expected[column]);
        EXPECT_EQ(model.headerData(column, Qt::Horizontal, Qt::TextAlignmentRole).toInt(),
                  int(Qt::AlignLeft | Qt::AlignVCenter));
    }
    model.Append({"a.jpg", 1234, "me", "pic"});
    EXPECT_EQ(model.data(model.index(0, CArticleListModel::kLines), Qt::TextAlignmentRole).toInt(),
              int(Qt::AlignLeft | Qt::AlignVCenter));
}

TEST(ArticleListModelTest, RowsKeepTheirBytesAndShowScreenText) {
    CArticleListModel model;
    Tester tester(&model, kFatal);
    model.Append({"cat.jpg", 1234, "Jos\xe9 <jose@example.com>",
                  "cat \xe2\x80\xae"
                  "gpj.exe"});
    model.Append({"empty.txt", 0, "a", "b"});
    model.Append({"big.iso", kUnknownLineCount - 1, "a", "b"});
    model.Append({"nolines.bin", kUnknownLineCount, "a", "b"});

    ASSERT_EQ(model.rowCount(), 4);
    EXPECT_EQ(Shown(model, 0, CArticleListModel::kFileName), QStringLiteral("cat.jpg"));
    EXPECT_EQ(Shown(model, 0, CArticleListModel::kLines), QStringLiteral("1234"));
    EXPECT_EQ(Shown(model, 0, CArticleListModel::kAuthor),
              QString::fromUtf8(u8"José <jose@example.com>"));
    EXPECT_EQ(Shown(model, 0, CArticleListModel::kSubject),
              QString::fromUtf8(u8"cat \ufffdgpj.exe"));
    EXPECT_EQ(model.RawText(0, CArticleListModel::kAuthor), "Jos\xe9 <jose@example.com>");
    EXPECT_EQ(model.RawText(0, CArticleListModel::kSubject), "cat \xe2\x80\xae"
                                                             "gpj.exe");
    EXPECT_EQ(Shown(model, 1, CArticleListModel::kLines), QStringLiteral("0"));
    EXPECT_EQ(Shown(model, 2, CArticleListModel::kLines), QStringLiteral("4294967294"));
    EXPECT_EQ(Shown(model, 3, CArticleListModel::kLines), QStringLiteral("?"));

    model.Clear();
    EXPECT_EQ(model.rowCount(), 0);
    model.Append({"next.jpg", 7, "b", "c"});
    EXPECT_EQ(Shown(model, 0, CArticleListModel::kFileName), QStringLiteral("next.jpg"));
}

} // namespace
