// What the window tests share: their start, logs written by the project's
// writer, and the ways to the window's parts and its current tab.
#ifndef APPTEST_H
#define APPTEST_H

#include "clog.h"
#include "cstringlistmodel.h"
#include "filtermatch.h"
#include "iconfallback.h"
#include "mainwindow.h"
#include "mlogwriter.h"
#include "modalanswer.h"

#include <QAbstractItemModelTester>
#include <QtTest>
#include <QtWidgets>

// Settings and documents in test mode, under the application `name`.
inline void startApp(const char *name)
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("vrel-test"));
    QCoreApplication::setApplicationName(QLatin1String(name));
    ensureIconTheme();
}

// Settings cleared but for the log folder `logDir`, as each test starts.
inline void clearSettings(const QString &logDir)
{
    QSettings().clear();
    QSettings().setValue(QStringLiteral("config/logdir"), logDir);
}

// Writes `count` file records, each shaped by `make(i, record)`; returns
// `path`, or an empty string when it could not be written.
template <typename Make>
QString writeRecords(const QString &path, int count, Make make)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    QByteArray bytes;
    for (int i = 0; i < count; ++i) {
        MlogRecord record;
        record.kind = 2;
        make(i, record);
        bytes += encodeRecord(record);
        if (bytes.size() > (1 << 20) || i == count - 1)
            file.write(std::exchange(bytes, QByteArray()));
    }
    return file.error() == QFile::NoError ? path : QString();
}

// The first second of the tagged logs.
constexpr quint32 kTaggedStart = 1780000000;

// Writes `count` records to `path` (after what it holds when `append`),
// `perSecond` a second from second `second` on, each payload "/srv/TAG/N"
// naming its log and its number; returns `path`, or an empty string when
// it could not be written.
inline QString writeTagged(const QString &path, const QByteArray &tag, int count, int second, int perSecond = 20,
                           bool append = false)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | (append ? QIODevice::Append : QIODevice::Truncate)))
        return QString();
    QByteArray bytes;
    for (int i = 0; i < count; ++i) {
        MlogRecord record;
        record.kind = 2;
        record.status = 1;
        record.time = kTaggedStart + quint32(second + i / perSecond);
        record.payload = "/srv/" + tag + "/" + QByteArray::number(i);
        bytes += encodeRecord(record);
    }
    return file.write(bytes) == bytes.size() && file.flush() ? path : QString();
}

// Writes `bytes` to `path` whole, making its folder; false when it could not.
inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).absolutePath()) && file.open(QIODevice::WriteOnly | QIODevice::Truncate)
           && file.write(bytes) == bytes.size() && file.flush();
}

inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

template <typename T = QObject>
T *child(const QObject &parent, const char *name) { return parent.findChild<T *>(QLatin1String(name)); }

inline void trigger(const QObject &window, const char *action) { child<QAction>(window, action)->trigger(); }

// Calls a private slot of the window, as its signal would.
inline void invoke(mainWindow &window, const char *slot) { QMetaObject::invokeMethod(&window, slot, Qt::DirectConnection); }

// Closes tab `index` as its close button would.
inline void closeTab(mainWindow &window, int index)
{
    QMetaObject::invokeMethod(&window, "tabClose", Qt::DirectConnection, Q_ARG(int, index));
}

// The tool bar's filter selector.
inline QComboBox *filterSelector(const mainWindow &window)
{
    return child<QToolBar>(window, "tbFilterEdit")->findChild<QComboBox *>();
}

inline QTabWidget *resultTabs(const mainWindow &window) { return child<QTabWidget>(window, "twLogResult"); }

inline QAbstractItemView *currentView(const mainWindow &window)
{
    return qobject_cast<QAbstractItemView *>(resultTabs(window)->currentWidget());
}

inline TabInfo currentTab(const mainWindow &window) { return window.tabs().value(resultTabs(window)->currentIndex()); }

// Shows `window` and waits until it is exposed.
inline bool showExposed(QWidget &window)
{
    window.show();
    return QTest::qWaitForWindowExposed(&window);
}

// The results model of the tab page `page`.
inline CStringListModel *modelOf(QWidget *page)
{
    auto *view = qobject_cast<QAbstractItemView *>(page);
    return view ? qobject_cast<CStringListModel *>(view->model()) : nullptr;
}

inline QScrollBar *scrollBar(QWidget *page) { return static_cast<QAbstractItemView *>(page)->verticalScrollBar(); }

// Rows of a fresh run of the default filter over the log at `path`.
inline int freshRows(const QString &path)
{
    CLog log;
    log.readLog(path);
    CStringListModel model(&log, CFilterPtr::create(QStringLiteral("fresh")));
    model.runFilter();
    return model.rowCount();
}

inline CStringListModel *currentModel(const mainWindow &window)
{
    QAbstractItemView *view = currentView(window);
    return view ? qobject_cast<CStringListModel *>(view->model()) : nullptr;
}

// The row selected in the current tab; -1 when none is.
inline int selectedRow(const mainWindow &window)
{
    return currentView(window)->selectionModel()->selectedIndexes().value(0, QModelIndex()).row();
}

// Selects `row` in the current tab; a negative `row` selects nothing.
inline void selectRow(const mainWindow &window, int row)
{
    if (row >= 0)
        currentView(window)->selectionModel()->select(currentModel(window)->index(row, 0), QItemSelectionModel::Select);
}

// Puts `text` in `field` without the search that typing it would start.
inline void setQuietly(QLineEdit *field, const QString &text)
{
    const QSignalBlocker quiet(field);
    field->setText(text);
}

// The cancel button of the operation under way: the last shown button of
// the status bar; null when none shows.
inline QPushButton *cancelButton(const mainWindow &window)
{
    QPushButton *shown = nullptr;
    for (QPushButton *button : window.statusBar()->findChildren<QPushButton *>())
        shown = button->isVisible() ? button : shown;
    return shown;
}

// Nothing under way, and no progress shown.
inline bool idle(const mainWindow &window)
{
    return !window.isBusy() && window.statusBar()->findChildren<QProgressBar *>().isEmpty();
}

inline bool setFileTime(const QString &path, const QDateTime &when)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && file.setFileTime(when, QFileDevice::FileModificationTime);
}

// Checks `model` with the item-model tester for as long as the model lives.
inline void testModel(QAbstractItemModel *model)
{
    new QAbstractItemModelTester(model, QAbstractItemModelTester::FailureReportingMode::QtTest, model);
}

// Every row of the current tab's range, as lines of UTF-8: what a save in
// the text format writes.
inline QByteArray savedRows(const mainWindow &window)
{
    CStringListModel *model = currentModel(window);
    QByteArray bytes;
    model->log()->forEachBlock(model->firstBlock(), model->lastBlock(), [&](int, const QStringList &texts) {
        for (const QString &row : filterRows(model->filter()->matcher(), texts))
            bytes += row.toUtf8() + '\n';
        return true;
    });
    return bytes;
}

// Stores each of `values` under "config/" and its key.
inline void setConfig(const QVariantMap &values)
{
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        QSettings().setValue(QStringLiteral("config/") + it.key(), it.value());
}

inline QString firstRow(const mainWindow &window)
{
    return currentModel(window) ? currentModel(window)->index(0, 0).data().toString() : QString();
}

// Calls `step` at each turn of the event loop while the window is busy
// with a tab and no box is up, until `step` returns true.
inline void whileBusy(QTimer &poll, mainWindow &window, std::function<bool()> step)
{
    QObject::connect(&poll, &QTimer::timeout, &window, [&poll, &window, step] {
        if (window.isBusy() && currentModel(window) && !QApplication::activeModalWidget() && step())
            poll.stop();
    });
    poll.start(1);
}

#endif
