// The result view offscreen: rows stay while a run counts, scrolling, selection and
// copy, keys, row counts up to the largest int, the horizontal range, shading.
#include "apptest.h"
#include "resultview.h"

#include <limits>
#include <memory>

namespace {

// Rows "row N" in any number, grown by row insertion as the results model does;
// row `longRow` is long, every 7th is refused (red). Counts the display look-ups.
class NumberedModel : public QAbstractListModel
{
public:
    int longRow = -1;
    mutable qint64 displayCalls = 0;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override { return parent.isValid() ? 0 : m_rows; }

    QVariant data(const QModelIndex &index, int role) const override
    {
        const int row = index.row();
        if (!index.isValid() || row >= m_rows)
            return QVariant();
        if (role == Qt::DisplayRole) {
            ++displayCalls;
            return QStringLiteral("row %1").arg(row) + QString(row == longRow ? 400 : 0, QLatin1Char('w'));
        }
        return role == Qt::BackgroundRole && row % 7 == 6 ? QBrush(QColor(255, 0, 0, 128)) : QVariant();
    }

    void growTo(int rows)
    {
        beginInsertRows(QModelIndex(), m_rows, rows - 1);
        m_rows = rows;
        endInsertRows();
    }

private:
    int m_rows = 0;
};

QString text(const QModelIndex &index) { return index.data().toString(); }

// Viewport y of the middle of the row at `position` from the top, and the row shown there.
int rowY(const ResultView &view, int position) { return position * view.rowHeight() + view.rowHeight() / 2; }
QModelIndex shownAt(const ResultView &view, int position) { return view.indexAt(QPoint(2, rowY(view, position))); }

bool showWith(ResultView &view, QAbstractItemModel *model, QSize size = QSize(300, 200))
{
    view.resize(size);
    view.setModel(model);
    view.show();
    return QTest::qWaitForWindowExposed(&view);
}

} // namespace

class TestResultView : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<CLog> m_log;
    std::unique_ptr<ResultView> m_view;
    CStringListModel *m_model = nullptr;
    int m_every = 1;

    // A log of `count` records "rec=N" shown through a results model; the filter keeps
    // every record, or (`sparse`) every 100th, so the run makes many turns of the loop.
    bool openNumbered(int count, int perSecond, bool sparse = false)
    {
        m_every = sparse ? 100 : 1;
        m_view.reset(); // the previous tab goes before the log it shows
        const QString path = m_dir.filePath(QStringLiteral("numbered-%1-%2.mlog").arg(count).arg(perSecond));
        writeRecords(path, count, [=](int i, MlogRecord &record) {
            record.time = 1780000000 + quint32(i / perSecond);
            record.payload = "rec=" + QByteArray::number(i);
        });
        m_log.reset(new CLog);
        m_log->readLog(path);
        CFilterPtr filter(new CFilter(QStringLiteral("numbered")));
        filter->setLists({{}, {}, {}, {}, {}, {sparse ? QStringLiteral("rec=\\d*00$") : QStringLiteral("rec=")}});
        m_view.reset(createResultView(nullptr));
        m_model = new CStringListModel(m_log.get(), filter, m_view.get());
        testModel(m_model);
        connect(m_view->verticalScrollBar(), &QScrollBar::valueChanged, m_model, &CStringListModel::scrollMoved);
        m_model->scrollMoved(0);
        return m_log->recordCount() == count && showWith(*m_view, m_model, QSize(500, 300));
    }

    // The end of the text of result row `row`: every 100th is records 100, 200 ...
    QString recordEnd(int row) const
    {
        return QStringLiteral(" rec=%1").arg(m_every == 1 ? qint64(row) : (qint64(row) + 1) * m_every);
    }

private slots:
    void initTestCase() { startApp("vrelview-resultview"); }

    // At every turn of the event loop the run makes once rows are announced:
    // the top rows are on screen with their texts, painted as before, and
    // the scroll bar has grown with the rows without moving them.
    void rowsStayWhileRunCounts()
    {
        QVERIFY(openNumbered(1000000, 1, true));
        ResultView &view = *m_view;
        QScrollBar *bar = view.verticalScrollBar();
        int checks = 0, counts = 0, lastRows = 0, top = 0;
        QImage shown;
        QString failure;
        QTimer probe;
        connect(&probe, &QTimer::timeout, this, [&] {
            const int rows = m_model->rowCount();
            if (rows < 4 || !failure.isEmpty())
                return;
            ++checks;
            counts += rows != lastRows;
            lastRows = rows;
            const QModelIndex first = shownAt(view, 0);
            if (first.row() != top || !text(first).endsWith(recordEnd(top)) || !text(shownAt(view, 3)).endsWith(recordEnd(top + 3)))
                failure = QStringLiteral("top row %1 \"%2\"").arg(first.row()).arg(text(first));
            else if (bar->value() != top || bar->maximum() != std::max(0, rows - view.visibleRows()))
                failure = QStringLiteral("scroll bar %1 of %2 for %3 rows").arg(bar->value()).arg(bar->maximum()).arg(rows);
            const QImage image = view.viewport()->grab(QRect(0, 0, 200, 4 * view.rowHeight())).toImage();
            if (!shown.isNull() && image != shown)
                failure = QStringLiteral("the top rows were painted differently at %1 rows").arg(rows);
            shown = image;
            // Once the count has grown, the user scrolls a little.
            if (counts >= 2 && top == 0 && rows >= 100 + view.visibleRows()) {
                bar->setValue(top = 100);
                shown = QImage();
            }
        });
        probe.start(0);
        m_model->runFilter();
        probe.stop();
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QVERIFY2(checks >= 3 && counts >= 2 && top == 100, qPrintable(QStringLiteral("%1 checks, %2 counts").arg(checks).arg(counts)));
        QCOMPARE(m_model->rowCount(), 9999);
        QCoreApplication::processEvents();
        QCOMPARE(bar->maximum(), 9999 - view.visibleRows());
        QVERIFY(bar->value() == 100 && text(shownAt(view, 0)).endsWith(recordEnd(100)));
    }

    // Rows the view scrolls to, and a selection that outlives the model's
    // window moving away and back, through to a copy.
    void scrollToAndSelection()
    {
        QVERIFY(openNumbered(20000, 20));
        m_model->runFilter();
        ResultView &view = *m_view;
        QScrollBar *bar = view.verticalScrollBar();
        const int last = m_model->rowCount() - 1, bottom = view.visibleRows() - 1;
        const int cases[][3] = {// row, hint, position on screen
                                {last, QAbstractItemView::EnsureVisible, bottom},
                                {10000, QAbstractItemView::PositionAtBottom, bottom},
                                {10000, QAbstractItemView::PositionAtCenter, bottom / 2},
                                {0, QAbstractItemView::PositionAtBottom, 0}};
        for (const auto &c : cases) {
            // From the other end of the rows, so that the model's window must move.
            bar->setValue(c[0] < 10000 ? bar->maximum() : 0);
            view.scrollTo(m_model->index(c[0], 0), QAbstractItemView::ScrollHint(c[1]));
            const QModelIndex shown = shownAt(view, c[2]);
            QCOMPARE(shown.row(), c[0]);
            QVERIFY2(text(shown).endsWith(recordEnd(c[0])), qPrintable(text(shown)));
            QVERIFY(view.visualRect(shown).top() >= 0 && view.visualRect(shown).bottom() < view.viewport()->height());
        }
        const QModelIndex third = m_model->index(3, 0);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, view.visualRect(third).center());
        bar->setValue(bar->maximum());
        QVERIFY(text(third).isEmpty());
        bar->setValue(0);
        QCOMPARE(view.selectionModel()->selectedIndexes(), QModelIndexList{third});
        QApplication::clipboard()->clear();
        QTest::keySequence(&view, QKeySequence::Copy);
        QVERIFY(text(third).endsWith(recordEnd(3)));
        QCOMPARE(QApplication::clipboard()->text(), text(third));
    }

    // Row counts up to the largest int, and the keys that move through them.
    void largestRowCount()
    {
        const int most = std::numeric_limits<int>::max();
        NumberedModel model; // no model tester here: it visits every inserted row
        model.growTo(100);
        ResultView view;
        QVERIFY(showWith(view, &model));
        QScrollBar *bar = view.verticalScrollBar();
        bar->setValue(50);
        QCoreApplication::processEvents();
        // Growing costs the same at any count: the rows on screen stay, and
        // only they are looked at.
        model.displayCalls = 0;
        model.growTo(most);
        QCoreApplication::processEvents();
        view.viewport()->repaint();
        QVERIFY2(model.displayCalls < 20 * view.visibleRows(), qPrintable(QString::number(model.displayCalls)));
        QCOMPARE(bar->maximum(), most - view.visibleRows());
        QCOMPARE(bar->value(), 50);
        QCOMPARE(shownAt(view, 0).row(), 50);

        // The keys move the current row, selected and on screen, within the rows.
        const auto press = [&](Qt::Key key, int row) {
            QTest::keyClick(&view, key);
            QCOMPARE(view.currentIndex().row(), row);
            QCOMPARE(view.selectionModel()->selectedIndexes(), QModelIndexList{model.index(row, 0)});
            QVERIFY(view.viewport()->rect().contains(view.visualRect(view.currentIndex())));
        };
        view.setCurrentIndex(model.index(3, 0));
        press(Qt::Key_Up, 2);
        press(Qt::Key_PageUp, 0);
        press(Qt::Key_Up, 0);
        press(Qt::Key_PageDown, view.visibleRows());
        press(Qt::Key_End, most - 1);
        QCOMPARE(bar->value(), bar->maximum());
        QCOMPARE(text(shownAt(view, view.visibleRows() - 1)), QStringLiteral("row %1").arg(most - 1));
        // The first row is far above the viewport, not wrapped around into it.
        QVERIFY(view.visualRect(model.index(0, 0)).bottom() < 0);
        press(Qt::Key_PageDown, most - 1);
        press(Qt::Key_PageUp, most - 1 - view.visibleRows());
        press(Qt::Key_Down, most - view.visibleRows());
        press(Qt::Key_Home, 0);
        view.scrollTo(model.index(most / 2, 0), QAbstractItemView::PositionAtTop);
        QCOMPARE(text(shownAt(view, 0)), QStringLiteral("row %1").arg(most / 2));
    }

    void rowsShowRolesAndWidestRow()
    {
        NumberedModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.longRow = 60;
        model.growTo(100);
        ResultView view;
        QVERIFY(showWith(view, &model));
        // Right of the texts only the background counts: row 6 is shaded red, row 5 is not.
        const QImage image = view.viewport()->grab().toImage();
        const QColor refused = image.pixelColor(view.viewport()->width() - 5, rowY(view, 6));
        const QColor plain = image.pixelColor(view.viewport()->width() - 5, rowY(view, 5));
        QVERIFY2(refused.red() > 200 && refused.green() < 180 && refused.blue() < 180, qPrintable(refused.name()));
        QVERIFY2(plain.green() > 200, qPrintable(plain.name()));
        QScrollBar *bar = view.horizontalScrollBar();
        QVERIFY(bar->maximum() == 0 && !bar->isVisible());
        // The long row comes into view: the range reaches its end, and stays
        // when the row is scrolled away again.
        view.scrollTo(model.index(60, 0));
        QTRY_VERIFY(bar->isVisible()); // the scroll area shows its bars a turn later
        QStyleOptionViewItem option;
        option.initFrom(&view);
        option.font = view.font();
        const int longWidth = view.itemDelegate()->sizeHint(option, model.index(60, 0)).width();
        QCOMPARE(bar->maximum() + view.viewport()->width(), longWidth);
        view.scrollTo(model.index(0, 0));
        QCoreApplication::processEvents();
        QCOMPARE(bar->maximum() + view.viewport()->width(), longWidth);
        bar->setValue(bar->maximum());
        QCOMPARE(view.visualRect(model.index(0, 0)).right(), view.viewport()->width() - 1);
    }
};

QTEST_MAIN(TestResultView)
#include "tst_resultview.moc"
