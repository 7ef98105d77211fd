// Settings files that Qt cannot read safely: the check of the raw file, the setting
// aside at start with its warning, splitter states, and stored values of the wrong type.
#include "apptest.h"
#include "settingscheck.h"

namespace {

// `depth` variant lists, each holding the next, as "@Variant(...)" escapes.
QByteArray nestedLists(int depth)
{
    QByteArray value = "@Variant(";
    for (int i = 0; i < depth; ++i)
        value += "\\0\\0\\0\\t\\0\\0\\0\\x1";
    return "[filter]\nbad=" + value + "\\0\\0\\0\\x2\\0\\0\\0\\x5)\n";
}

const QByteArray kHugeList = "@Variant(\\0\\0\\0\\x0b\\x7f\\xff\\xff\\xff)";

} // namespace

class TestSettingsCheck : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { startApp("vrelview-test"); }

    void init()
    {
        QSettings().clear();
        QSettings().sync();
    }

    void rawFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("safe");
        const QByteArray list = kHugeList;
        QTest::newRow("plain values") << QByteArray("[config]\nlogdir=/var/log/marvok\nautoopen=true\n[filter]\nf=-300::::;;;;;;;;;;x\n") << true;
        QTest::newRow("list of 2^31-1 strings") << "[filter]\nbad=" + list + "\n" << false;
        QTest::newRow("lists nested 200000 deep") << nestedLists(200000) << false;
        QTest::newRow("lists nested 17 deep") << nestedLists(17) << false;
        QTest::newRow("as a date-time") << QByteArray("k=@DateTime(\\0\\0\\0\\x0b\\0\\x7f\\xff\\xff\\xff)\n") << false;
        QTest::newRow("quoted prefix") << QByteArray("k=\"@Var\"iant(\\0\\0\\0\\x0b\\x7f\\xff\\xff\\xff)\n") << false;
        QTest::newRow("after a byte order mark") << "\xef\xbb\xbfk=\xef\xbb\xbf" + list + "\n" << false;
        QTest::newRow("comment line") << ";k=" + list + "\n" << true;
        QTest::newRow("doubled at sign") << "k=@" + list + "\n" << true;
        QTest::newRow("image") << QByteArray("k=@Variant(\\0\\0\\0\\x46\\0\\0\\0\\0)\n") << false;
        QTest::newRow("truncated int") << QByteArray("k=@Variant(\\0\\0\\0\\x2\\0\\0)\n") << false;
        QTest::newRow("int") << QByteArray("k=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)\n") << true;
        QTest::newRow("larger than 16 MiB") << QByteArray(16 * 1024 * 1024 + 1, 'x') << false;
    }

    // What the check accepts, QSettings reads without harm; what it refuses
    // would end the program (so it is not handed to QSettings here).
    void rawFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, safe);
        const SettingsCheck check(content);
        QVERIFY2(check.isSafe() == safe, qPrintable(check.problem()));
        if (!safe)
            return;
        const QString path = m_dir.filePath(QStringLiteral("raw.conf"));
        QVERIFY(writeFile(path, content));
        QSettings settings(path, QSettings::IniFormat);
        for (const QString &key : settings.allKeys())
            settings.value(key);
    }

    // The values the program and the libraries it uses write are read back.
    void whatQtWritesIsAccepted()
    {
        const QString path = m_dir.filePath(QStringLiteral("written.conf"));
        QFile::remove(path);
        {
            QSettings settings(path, QSettings::IniFormat);
            settings.setValue(QStringLiteral("config/logfont"), QFont(QStringLiteral("DejaVu Sans Mono"), 11));
            settings.setValue(QStringLiteral("VrelGeometry/splitterv"), QByteArray("\x00\x00\x00\xff\x7f", 5));
            settings.setValue(QStringLiteral("a/colour"), QColor(10, 20, 30));
            settings.setValue(QStringLiteral("a/when"), QDateTime(QDate(2024, 5, 10), QTime(1, 2, 3)));
            settings.setValue(QStringLiteral("a/list"), QVariantList{QStringList{QStringLiteral("x")}, 3, QVariantMap{{QStringLiteral("k"), 1.5}}});
            settings.setValue(QStringLiteral("a/text"), QStringLiteral("@Variant(\\0\\0\\0\\x0b\\x7f\\xff\\xff\\xff)"));
        }
        const SettingsCheck check = SettingsCheck::ofFile(path);
        QVERIFY2(check.isSafe(), qPrintable(check.problem()));
        // The font, the colour, the date-time, and the first and last element of the list.
        QCOMPARE(check.streamedValues(), 5);
    }

    // A file set aside never replaces one set aside before.
    void setAsideKeepsTheFile()
    {
        const QString path = m_dir.filePath(QStringLiteral("aside.conf"));
        QVERIFY(writeFile(path, "first") && SettingsCheck::setAside(path) == path + QStringLiteral(".unreadable"));
        QVERIFY(writeFile(path, "second") && SettingsCheck::setAside(path) == path + QStringLiteral(".unreadable-2"));
        QVERIFY(!QFile::exists(path) && readAll(path + QStringLiteral(".unreadable")) == "first");
        QCOMPARE(readAll(path + QStringLiteral(".unreadable-2")), QByteArray("second"));
        QCOMPARE(SettingsCheck::setAside(m_dir.filePath(QStringLiteral("missing.conf"))), QString());
    }

    void startSetsAsideAndWarns_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("list of 2^31-1 strings") << "[config]\nlogdir=/srv\n[filter]\nbad=" + kHugeList + "\n";
        QTest::newRow("lists nested 200000 deep") << nestedLists(200000);
    }

    // The check, as main runs it, moves the file aside whole and QSettings reads
    // nothing of it; the window starts from defaults and says once where it went.
    void startSetsAsideAndWarns()
    {
        QFETCH(QByteArray, content);
        const QString path = QSettings().fileName();
        const QString aside = path + QStringLiteral(".unreadable");
        QVERIFY(writeFile(path, content));
        const QList<SettingsCheck::SetAside> setAside = SettingsCheck::setAsideUnsafeSettings();
        const auto removed = qScopeGuard([&] { QFile::remove(aside); });
        QVERIFY(setAside.size() == 1 && setAside.first().file == path && setAside.first().movedTo == aside);
        QCOMPARE(readAll(aside), content);
        QCOMPARE(QSettings().allKeys(), QStringList());
        QVERIFY(SettingsCheck::setAsideUnsafeSettings().isEmpty());
        DialogDriver driver;
        mainWindow window;
        window.setSettingsSetAside(setAside);
        QTRY_COMPARE(driver.texts.size(), 1);
        QVERIFY2(driver.texts.first().contains(aside), qPrintable(driver.texts.first()));
        QCOMPARE(QSettings().value(QStringLiteral("config/logdir")).toString(), QStringLiteral("/var/log/marvok"));
        invoke(window, "startEvent"); // as Options does: no second warning
        QCOMPARE(driver.texts.size(), 1);
    }

    void splitterState_data()
    {
        QTest::addColumn<QByteArray>("state");
        QTest::addColumn<bool>("sound");
        QSplitter splitter;
        splitter.addWidget(new QWidget);
        splitter.addWidget(new QWidget);
        QTest::newRow("saved") << splitter.saveState() << true;
        QTest::newRow("2^31-1 sizes") << QByteArray("\0\0\0\xff\0\0\0\0\x7f\xff\xff\xff", 12) << false;
        QTest::newRow("bad orientation") << QByteArray("\0\0\0\xff\0\0\0\x01\0\0\0\0\x01\xff\xff\xff\xff\x01\0\0\0\x07", 22) << false;
        QTest::newRow("empty") << QByteArray() << false;
    }

    void splitterState()
    {
        QFETCH(QByteArray, state);
        QFETCH(bool, sound);
        QCOMPARE(SettingsCheck::isSoundSplitterState(state), sound);
    }

    void wrongTypesGiveDefaults_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("value");
        const QVariant values[] = {QStringList{QStringLiteral("a"), QStringLiteral("b")}, QFont(QStringLiteral("Sans"), 9),
                                   QVariantMap{{QStringLiteral("k"), 1}}, QByteArray("\0\0\0\xff\0\0\0\0\x7f\xff\xff\xff", 12),
                                   QStringLiteral("maybe")};
        const char *const kinds[] = {"list", "font", "map", "bytes", "text"};
        const QPair<const char *, int> rows[] = {
            {"VrelGeometry/splitterv", 1}, {"VrelGeometry/filtershow", 0}, {"VrelGeometry/findshow", 4},
            {"VrelGeometry/geometry", 3},  {"config/logdir", 0},          {"config/autoopen", 1},
            {"config/logfont", 4},         {"recentFiles", 2},            {"filter/f", 2},
        };
        for (const auto &row : rows)
            QTest::addRow("%s %s", row.first, kinds[row.second]) << row.first << values[row.second];
    }

    // Any key holding a value of the wrong type leaves the window as with no settings.
    void wrongTypesGiveDefaults()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, value);
        QSettings().setValue(key, value);
        QSettings().sync();
        QVERIFY(SettingsCheck::setAsideUnsafeSettings().isEmpty());
        DialogDriver driver;
        mainWindow window;
        QVERIFY(child<QAction>(window, "actionFilterShow")->isChecked() && child<QAction>(window, "actionFileShow")->isChecked());
        QVERIFY(!child<QAction>(window, "actionFindShow")->isChecked());
    }
};

QTEST_MAIN(TestSettingsCheck)
#include "tst_settingscheck.moc"
