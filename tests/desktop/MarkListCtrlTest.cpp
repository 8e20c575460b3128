// The marking list view: the model adapter, marks kept in step with the selection both ways,
// the drawing rules, and a list of 100,000 rows.

#include "desktop/CMarkListCtrl.h"
#include "text/Cp932.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

using namespace palaverly;

namespace {

int Measure(std::string_view text) {
    return static_cast<int>(text.size()) * 7;
}

std::vector<std::string> Texts(std::initializer_list<const char*> utf8) {
    std::vector<std::string> texts;
    for (const char* t : utf8)
        texts.push_back(cp932::Sjis(t));
    return texts;
}

QPalette FixedPalette() {
    QPalette p;
    p.setColor(QPalette::Active, QPalette::Highlight, QColor(0, 0, 128));
    p.setColor(QPalette::Active, QPalette::HighlightedText, QColor(255, 255, 255));
    p.setColor(QPalette::Active, QPalette::Text, QColor(0, 0, 0));
    p.setColor(QPalette::Active, QPalette::Base, QColor(255, 255, 255));
    return p;
}

} // namespace

class MarkListCtrlTest : public QObject {
    Q_OBJECT
private slots:
    void modelFollowsTheList();
    void marksAndSelectionStayInStep();
    void singleSelectionListHasOneMark();
    void rowsAreDrawnByTheirRules();
    void modelRolesCarryColourAndFocus();
    void viewPaintsOnItsPalette();
    void columnsOutsideTheClipAreNotDrawn();
    void columnWidthsFollowTheList();
    void hundredThousandRows();
    void batchReachesTheViewAsOneRemovalAndOneInsertion();
    void batchLargerThanTheLimitDropsRowsTheViewNeverSaw();
    void viewFollowsNewRowsOnlyAtTheBottom();
};

void MarkListCtrlTest::modelFollowsTheList() {
    CMarkList list(CMarkList::Order::Sorted, CMarkList::Selection::Multiple, Measure);
    CMarkListCtrl view(list, 1032, true, Measure);
    QAbstractItemModelTester tester(&view.Model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    list.InsertColumn(cp932::Sjis("ﾊﾝﾄﾞﾙ"), 50);
    list.InsertColumn(cp932::Sjis("状態"), 80);
    list.InsertRow(Texts({"Carol", "普通"}), -1);
    list.InsertRow(Texts({"alice", "会議中"}), -1);
    list.InsertRow(Texts({"Bob", "普通"}), -1);
    list.UpdateRow(0, Texts({"zed", "外出"}));
    list.DeleteRow(1);
    QCOMPARE(view.Model().rowCount(), 2);
    QCOMPARE(view.Model().headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
             QStringLiteral("状態"));
    // alice became zed and moved to the end; Carol, then at row 1, went.
    QCOMPARE(view.Model().index(0, 0).data().toString(), QStringLiteral("Bob"));
    QCOMPARE(view.Model().index(1, 0).data().toString(), QStringLiteral("zed"));
    QCOMPARE(view.Model().index(1, 1).data().toString(), QStringLiteral("外出"));
    list.DeleteAllRows();
    QCOMPARE(view.Model().rowCount(), 0);
}

void MarkListCtrlTest::marksAndSelectionStayInStep() {
    CMarkList list(CMarkList::Order::Sorted, CMarkList::Selection::Multiple, Measure);
    list.InsertColumn("h", 50);
    CMarkListCtrl view(list, 1032, true, Measure);
    for (const char* h : {"a", "b", "c", "d"})
        list.InsertRow({h}, -1);
    // List to view.
    list.SetMark(1, true, true);
    list.SetMark(3, true, true);
    QVERIFY(view.selectionModel()->isRowSelected(1, {}));
    QVERIFY(view.selectionModel()->isRowSelected(3, {}));
    QVERIFY(!view.selectionModel()->isRowSelected(0, {}));
    // View to list: a plain click marks one row and unmarks the others.
    view.resize(300, 200);
    view.show();
    QApplication::processEvents();
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {},
                      view.visualRect(view.model()->index(2, 0)).center());
    QCOMPARE(list.CountMarks(), 1);
    QCOMPARE(list.FirstMarked(), 2);
    QVERIFY(list.IsFocused(2));
    // Ctrl+click adds one.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ControlModifier,
                      view.visualRect(view.model()->index(0, 0)).center());
    QCOMPARE(list.CountMarks(), 2);
    QCOMPARE(list.IsMarked(0), 1);
    // A row inserted above keeps the marks with their rows.
    list.InsertRow({"0"}, -1);
    QCOMPARE(list.IsMarked(1), 1);
    QVERIFY(view.selectionModel()->isRowSelected(1, {}));
    QVERIFY(view.selectionModel()->isRowSelected(3, {}));
    QCOMPARE(view.selectionModel()->selectedRows().size(), 2);
    // Marking from the program takes the focused state.
    list.SetMark(3, true, true);
    QVERIFY(!list.IsFocused(3));
}

void MarkListCtrlTest::singleSelectionListHasOneMark() {
    CMarkList list(CMarkList::Order::Unsorted, CMarkList::Selection::Single, Measure);
    list.InsertColumn("c", 50);
    CMarkListCtrl view(list, 1031, false, Measure);
    for (const char* t : {"x", "y", "z"})
        list.InsertRow({t}, -1);
    view.selectionModel()->select(view.model()->index(0, 0),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view.selectionModel()->select(view.model()->index(2, 0),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QCOMPARE(list.CountMarks(), 1);
    QCOMPARE(list.FirstMarked(), 2);
    list.SetMark(1, true, true);
    QCOMPARE(view.selectionModel()->selectedRows().size(), 1);
    QVERIFY(view.selectionModel()->isRowSelected(1, {}));
}

void MarkListCtrlTest::rowsAreDrawnByTheirRules() {
    CMarkList list(CMarkList::Order::Unsorted, CMarkList::Selection::Multiple, Measure);
    list.InsertColumn("a", 60);
    list.InsertColumn("b", 60);
    list.InsertRow({"red", "x"}, 0x0000FF); // 0x00BBGGRR: pure red
    list.InsertRow({"plain", "y"}, -1);
    list.InsertRow({"marked", "z"}, 0x0000FF);
    list.SetMark(2, true, false);
    CMarkListModel model(list);
    CMarkListDelegate delegate(Measure);
    const QPalette palette = FixedPalette();
    std::vector<CMarkListDelegate::ColumnSpan> columns{{0, 60}, {60, 60}};
    QImage image(120, 48, QImage::Format_RGB32);
    image.fill(Qt::green);
    QPainter painter(&image);
    for (int row = 0; row < 3; ++row) {
        CMarkListDelegate::RowState state;
        state.index = model.index(row, 0);
        state.selected = list.IsMarked(row) != 0;
        state.bounds = QRect(0, row * 16, 120, 16);
        state.clip = image.rect();
        QCOMPARE(delegate.DrawItem(painter, palette, state, columns), 2);
    }
    painter.end();
    // Text is antialiased: look for pixels clearly of the hue, not for the exact value.
    auto hasColour = [&](int row, QColor colour) {
        for (int y = row * 16; y < row * 16 + 16; ++y)
            for (int x = 0; x < 60; ++x) {
                QColor p = image.pixelColor(x, y);
                if (std::abs(p.red() - colour.red()) < 60 &&
                    std::abs(p.green() - colour.green()) < 60 &&
                    std::abs(p.blue() - colour.blue()) < 60)
                    return true;
            }
        return false;
    };
    // Not marked: white background, row colour or the palette's text colour.
    QCOMPARE(image.pixelColor(119, 1), QColor(Qt::white));
    QVERIFY(hasColour(0, QColor(255, 0, 0)));
    QVERIFY(!hasColour(1, QColor(255, 0, 0)));
    // Marked: the highlight, also without the focus, and the highlighted text colour.
    QCOMPARE(image.pixelColor(119, 33), QColor(0, 0, 128));
    QVERIFY(!hasColour(2, QColor(255, 0, 0)));
    // The dotted grey separator one pixel left of column 1, every other pixel.
    int grey = 0;
    for (int y = 0; y < 16; ++y)
        grey += image.pixelColor(59, y) == QColor(128, 128, 128);
    QVERIFY(grey >= 6 && grey <= 10);
    // Column 0's text starts after its 2-pixel inset.
    for (int y = 0; y < 16; ++y)
        QCOMPARE(image.pixelColor(1, y), QColor(Qt::white));
}

void MarkListCtrlTest::modelRolesCarryColourAndFocus() {
    CMarkList list(CMarkList::Order::Unsorted, CMarkList::Selection::Multiple, Measure);
    CMarkListModel model(list);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    list.InsertColumn("a", 60);
    list.InsertColumn("b", 60);
    list.InsertRow(Texts({"赤", "x"}), 0x0000FF);
    list.InsertRow(Texts({"plain", "y"}), -1);
    // The row colour is the foreground of every cell; -1 leaves it to the palette.
    QCOMPARE(model.index(0, 1).data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
    QVERIFY(!model.index(1, 0).data(Qt::ForegroundRole).isValid());
    QCOMPARE(model.index(0, 0).data(Qt::DisplayRole).toString(), QStringLiteral("赤"));
    list.SetFocusedRow(1);
    QVERIFY(model.index(1, 0).data(CMarkListModel::kFocusedRole).toBool());
    QVERIFY(!model.index(0, 0).data(CMarkListModel::kFocusedRole).toBool());
    // Marking takes the focused state, as the table says.
    list.SetMark(1, true, true);
    QVERIFY(!model.index(1, 0).data(CMarkListModel::kFocusedRole).toBool());
    list.UpdateRow(0, Texts({"青", "z"}));
    QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("青"));
    QCOMPARE(model.index(0, 0).data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
}

void MarkListCtrlTest::viewPaintsOnItsPalette() {
    CMarkList list(CMarkList::Order::Unsorted, CMarkList::Selection::Multiple, Measure);
    list.InsertColumn("a", 80);
    list.InsertColumn("b", 80);
    CMarkListCtrl view(list, 1032, true, Measure);
    list.InsertRow({"plain", "p"}, -1);
    list.InsertRow({"marked", "m"}, -1);
    list.InsertRow({"own", "o"}, 0x00FF00); // 0x00BBGGRR: pure green
    list.SetMark(1, true, true);
    for (const QColor& base : {QColor(30, 30, 40), QColor(250, 240, 200)}) {
        QPalette palette = FixedPalette();
        palette.setColor(QPalette::Active, QPalette::Base, base);
        palette.setColor(QPalette::Inactive, QPalette::Base, base);
        palette.setColor(QPalette::Active, QPalette::Text, QColor(200, 200, 255));
        view.setPalette(palette);
        view.resize(300, 200);
        QImage image(view.size(), QImage::Format_RGB32);
        image.fill(Qt::black);
        view.render(&image);
        auto rowRect = [&](int row) {
            QRect r = view.visualRect(view.model()->index(row, 0));
            return QRect(view.viewport()->mapTo(&view, r.topLeft()), r.size());
        };
        // The empty right end of a row shows the background of its kind.
        const int x = rowRect(0).left() + 200;
        QCOMPARE(image.pixelColor(x, rowRect(0).center().y()), base);
        QCOMPARE(image.pixelColor(x, rowRect(1).center().y()), QColor(0, 0, 128));
        QCOMPARE(image.pixelColor(x, rowRect(2).center().y()), base);
        // Texts: the palette's text colour for -1, the row's own colour for a concrete one.
        auto hasHue = [&](int row, QColor colour) {
            const QRect r = rowRect(row).adjusted(0, 0, 160 - rowRect(row).width(), 0);
            for (int py = r.top(); py <= r.bottom(); ++py)
                for (int px = r.left(); px <= r.right(); ++px) {
                    const QColor p = image.pixelColor(px, py);
                    if (std::abs(p.red() - colour.red()) < 50 &&
                        std::abs(p.green() - colour.green()) < 50 &&
                        std::abs(p.blue() - colour.blue()) < 50)
                        return true;
                }
            return false;
        };
        QVERIFY(hasHue(0, QColor(200, 200, 255)));
        QVERIFY(hasHue(2, QColor(0, 255, 0)));
        QVERIFY(!hasHue(0, QColor(0, 255, 0)));
    }
}

void MarkListCtrlTest::columnsOutsideTheClipAreNotDrawn() {
    CMarkList list(CMarkList::Order::Unsorted, CMarkList::Selection::Multiple, Measure);
    for (int c = 0; c < 5; ++c)
        list.InsertColumn("c", 100);
    list.InsertRow({"a", "b", "c", "d", "e"}, -1);
    CMarkListModel model(list);
    CMarkListDelegate delegate(Measure);
    std::vector<CMarkListDelegate::ColumnSpan> columns;
    for (int c = 0; c < 5; ++c)
        columns.push_back({c * 100, 100});
    QImage image(500, 16, QImage::Format_RGB32);
    QPainter painter(&image);
    CMarkListDelegate::RowState state;
    state.index = model.index(0, 0);
    state.bounds = QRect(0, 0, 500, 16);
    state.clip = QRect(210, 0, 50, 16);                                      // inside column 2 only
    QCOMPARE(delegate.DrawItem(painter, FixedPalette(), state, columns), 2); // column 0 and 2
    state.clip = QRect(0, 0, 500, 16);
    QCOMPARE(delegate.DrawItem(painter, FixedPalette(), state, columns), 5);
}

void MarkListCtrlTest::columnWidthsFollowTheList() {
    CMarkList list(CMarkList::Order::Unsorted, CMarkList::Selection::Single, Measure);
    CMarkListCtrl view(list, 1031, false, Measure);
    list.InsertColumn("a", 50);
    list.InsertColumn("b", 50);
    QCOMPARE(view.header()->sectionSize(1), 50);
    list.InsertRow({"x", std::string(20, 'w')}, -1); // 140 + 16 pixels
    QCOMPARE(view.header()->sectionSize(1), 156);
    view.header()->resizeSection(0, 90); // the user drags a divider
    QCOMPARE(list.ColumnWidth(0), 90);
}

void MarkListCtrlTest::hundredThousandRows() {
    CMarkList list(CMarkList::Order::Unsorted, CMarkList::Selection::Single, Measure);
    for (int c = 0; c < 5; ++c)
        list.InsertColumn("c", 50);
    CMarkListCtrl view(list, 1031, false, Measure);
    view.resize(400, 300);
    view.show();
    const int childrenBefore = static_cast<int>(view.findChildren<QWidget*>().size());
    for (int i = 0; i < 100000; ++i) {
        list.InsertRow({std::to_string(i), "b", "c", "d", "e"}, -1);
        if (i % 10000 == 0)
            QApplication::processEvents();
    }
    QApplication::processEvents();
    QCOMPARE(view.model()->rowCount(), 100000);
    // No widget per row, and the newest row has been scrolled into view.
    QCOMPARE(static_cast<int>(view.findChildren<QWidget*>().size()), childrenBefore);
    QVERIFY(view.viewport()->rect().intersects(view.visualRect(view.model()->index(99999, 0))));
    QVERIFY(!view.visualRect(view.model()->index(0, 0)).intersects(view.viewport()->rect()));
}

namespace {

// A log-like list: rows appended below, the oldest dropped once `limit` rows are held.
void AddCapped(CMarkList& list, int limit, int value) {
    while (list.RowCount() >= limit)
        list.DeleteRow(0);
    list.InsertRow({std::to_string(value), "b", "c", "d", "e"}, -1);
}

// The model shows exactly the list's rows, in order.
void CompareModelWithList(const CMarkListModel& model, const CMarkList& list) {
    QCOMPARE(model.rowCount(), list.RowCount());
    for (int r = 0; r < list.RowCount(); ++r)
        QCOMPARE(model.data(model.index(r, 0), Qt::DisplayRole).toString(),
                 QString::fromStdString(list.Text(r, 0)));
}

} // namespace

void MarkListCtrlTest::batchReachesTheViewAsOneRemovalAndOneInsertion() {
    CMarkList list(CMarkList::Order::Unsorted, CMarkList::Selection::Single, Measure);
    for (int c = 0; c < 5; ++c)
        list.InsertColumn("c", 50);
    CMarkListCtrl view(list, 1031, false, Measure);
    QAbstractItemModelTester tester(&view.Model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (int i = 0; i < 20; ++i)
        AddCapped(list, 30, i);
    QSignalSpy inserted(&view.Model(), &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&view.Model(), &QAbstractItemModel::rowsRemoved);
    list.BeginBatch();
    for (int i = 20; i < 45; ++i)
        AddCapped(list, 30, i);
    QCOMPARE(inserted.count(), 0); // held back until the batch ends
    list.EndBatch();
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed[0][1].toInt(), 0);
    QCOMPARE(removed[0][2].toInt(), 14);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted[0][1].toInt(), 5);
    QCOMPARE(inserted[0][2].toInt(), 29);
    CompareModelWithList(view.Model(), list);

    // A change that cannot wait makes the views catch up first.
    inserted.clear();
    list.BeginBatch();
    AddCapped(list, 30, 45);
    list.SetMark(list.RowCount() - 1, true, true);
    QCOMPARE(inserted.count(), 1);
    QVERIFY(view.selectionModel()->isRowSelected(list.RowCount() - 1, {}));
    AddCapped(list, 30, 46);
    list.EndBatch();
    QCOMPARE(inserted.count(), 2);
    CompareModelWithList(view.Model(), list);
}

void MarkListCtrlTest::batchLargerThanTheLimitDropsRowsTheViewNeverSaw() {
    CMarkList list(CMarkList::Order::Unsorted, CMarkList::Selection::Single, Measure);
    for (int c = 0; c < 5; ++c)
        list.InsertColumn("c", 50);
    CMarkListCtrl view(list, 1031, false, Measure);
    QAbstractItemModelTester tester(&view.Model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (int i = 0; i < 10; ++i)
        AddCapped(list, 30, i);
    list.BeginBatch();
    for (int i = 10; i < 200; ++i)
        AddCapped(list, 30, i);
    list.EndBatch();
    CompareModelWithList(view.Model(), list);
    QCOMPARE(list.Text(0, 0), std::string("170"));
}

void MarkListCtrlTest::viewFollowsNewRowsOnlyAtTheBottom() {
    CMarkList list(CMarkList::Order::Unsorted, CMarkList::Selection::Single, Measure);
    for (int c = 0; c < 5; ++c)
        list.InsertColumn("c", 50);
    CMarkListCtrl view(list, 1031, false, Measure);
    view.resize(400, 200);
    view.show();
    auto addBatch = [&](int from, int to) {
        list.BeginBatch();
        for (int i = from; i < to; ++i)
            AddCapped(list, 300, i);
        list.EndBatch();
        QApplication::processEvents();
        QApplication::processEvents();
    };
    auto topRowText = [&] {
        return view.model()->data(view.indexAt(QPoint(2, 2)), Qt::DisplayRole).toString();
    };
    addBatch(0, 100);
    QScrollBar* bar = view.verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum()); // at the bottom: new rows are followed
    addBatch(100, 150);
    QCOMPARE(bar->value(), bar->maximum());
    QVERIFY(view.viewport()->rect().intersects(view.visualRect(view.model()->index(149, 0))));

    // Scrolled up to read: new rows do not move the view, nor do old ones that go.
    view.scrollTo(view.model()->index(120, 0), QAbstractItemView::PositionAtTop);
    QApplication::processEvents();
    const QString reading = topRowText();
    QCOMPARE(reading, QString("120"));
    addBatch(150, 250);
    QCOMPARE(topRowText(), reading);
    addBatch(250, 350); // the first 50 rows go
    QCOMPARE(list.Text(0, 0), std::string("50"));
    QCOMPARE(topRowText(), reading);

    // Back at the bottom, it follows again.
    bar->setValue(bar->maximum());
    addBatch(350, 360);
    QCOMPARE(bar->value(), bar->maximum());
}

QTEST_MAIN(MarkListCtrlTest)
#include "MarkListCtrlTest.moc"
