// The commands without a window over several logs: the program's output is
// that of a results model over the same set, an unreadable file is named
// and the others used.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "cstringlistmodel.h"
#include "logset.h"
#include "mlogwriter.h"
#include "resultsummary.h"

namespace {

const quint32 kStart = 1780000000;

struct Run
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class TestCommandLineSet : public QObject
{
    Q_OBJECT
    QTemporaryDir m_home;
    QTemporaryDir m_dir;
    QStringList m_logs;

    Run run(const QStringList &arguments)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(name));
        env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
        env.insert(QStringLiteral("LANGUAGE"), QString());
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(m_dir.path());
        process.start(QStringLiteral(VRELVIEW), arguments);
        Run result;
        if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
            return result;
        result.status = process.exitCode();
        result.out = process.readAllStandardOutput();
        result.err = process.readAllStandardError();
        return result;
    }

    // What a model over the set of `logs` gives for `command`.
    QByteArray modelOutput(const QStringList &logs, const QString &command, ExportFormat format)
    {
        LogSet set;
        QStringList paths;
        for (const QString &log : logs)
            paths.append(m_dir.filePath(log));
        set.readLogs(paths);
        CStringListModel model(&set, CFilterPtr::create(QStringLiteral("default")));
        model.useFilterRange();
        if (command == QLatin1String("--count")) {
            model.runFilter();
            return QByteArray::number(model.rowCount()) + '\n';
        }
        if (command == QLatin1String("--summary")) {
            ResultSummary summary;
            if (summarizeRows(&model, &summary) != SummaryEnd::Done)
                return "<no summary>";
            return summary.toText().toUtf8();
        }
        const QString path = m_dir.filePath(QStringLiteral("model.out"));
        return model.saveToFile(path, nullptr, format) ? readAll(path) : QByteArray("<not saved>");
    }

private slots:
    void initTestCase()
    {
        qputenv("HOME", m_home.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", m_home.filePath(QStringLiteral(".config")).toLocal8Bit());
        QCoreApplication::setOrganizationName(QStringLiteral("vrel"));
        QCoreApplication::setApplicationName(QStringLiteral("vrelview"));
        // Three rotated files that overlap at their ends, given newest first.
        m_logs = QStringList{"kernel.mlog", "kernel.mlog.1", "kernel.mlog.2"};
        for (int f = 0; f < 3; ++f) {
            QFile file(m_dir.filePath(m_logs[f]));
            QVERIFY(file.open(QIODevice::WriteOnly));
            const quint32 first = kStart + quint32(200 * (2 - f));
            for (int i = 0; i < 500; ++i) {
                QVERIFY(file.write(encodeRecord({first + quint32(i / 2), {100 + quint32(i), 1, 0, 0, 0}, 2, 0,
                                                 i % 5 == 0 ? 1u : 0u, 0,
                                                 "/srv/" + m_logs[f].toUtf8() + "-" + QByteArray::number(i)})) > 0);
            }
        }
    }

    void sameAsModel_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("format");
        QTest::newRow("count") << QStringList{"--count"} << int(ExportFormat::Text);
        QTest::newRow("summary") << QStringList{"--summary"} << int(ExportFormat::Text);
        QTest::newRow("export text") << QStringList{"--export", "-"} << int(ExportFormat::Text);
        QTest::newRow("export csv") << QStringList{"--export", "-", "--format", "csv"} << int(ExportFormat::Csv);
        QTest::newRow("export jsonl") << QStringList{"--export", "-", "--format", "jsonl"}
                                      << int(ExportFormat::JsonLines);
    }

    void sameAsModel()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, format);
        const Run result = run(arguments + m_logs);
        QCOMPARE(result.status, 0);
        QCOMPARE(result.err, QByteArray());
        const QByteArray expected = modelOutput(m_logs, arguments.first(), ExportFormat(format));
        QCOMPARE(result.out, expected);
        if (arguments.first() == QLatin1String("--count"))
            QCOMPARE(result.out, QByteArray("1500\n"));
        if (format == int(ExportFormat::Csv)) {
            QVERIFY(result.out.startsWith("user,time,kind,pid,ppid,uid,gid,session,status,event,parameters,text,log\r\n"));
            // The oldest file's first row first.
            QVERIFY(result.out.split('\n').value(1).endsWith(",kernel.mlog.2\r"));
        }
        if (format == int(ExportFormat::JsonLines))
            QVERIFY(result.out.split('\n').last().isEmpty() && result.out.contains(",\"log\":\"kernel.mlog.1\"}\n"));
    }

    void unreadable_data()
    {
        QTest::addColumn<QStringList>("logs");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QString>("message");
        QTest::newRow("one of three missing")
            << QStringList{"kernel.mlog", "gone.mlog", "kernel.mlog.1"} << 0 << QByteArray("1000\n")
            << QStringLiteral("vrelview: Cannot read the log gone.mlog: No such file or directory.\n");
        QTest::newRow("a folder among them")
            << QStringList{".", "kernel.mlog.2"} << 0 << QByteArray("500\n")
            << QStringLiteral("vrelview: Cannot read the log .: not a regular file.\n");
        QTest::newRow("a file named twice")
            << QStringList{"kernel.mlog", "./kernel.mlog"} << 0 << QByteArray("500\n") << QString();
        QTest::newRow("none readable")
            << QStringList{"gone.mlog", "."} << 1 << QByteArray()
            << QStringLiteral("vrelview: Cannot read the log gone.mlog: No such file or directory.\n"
                              "vrelview: Cannot read the log .: not a regular file.\n"
                              "vrelview: None of the logs can be read.\n");
    }

    void unreadable()
    {
        QFETCH(QStringList, logs);
        QFETCH(int, status);
        QFETCH(QByteArray, out);
        QFETCH(QString, message);
        const Run result = run(QStringList{"--count"} + logs);
        QCOMPARE(result.status, status);
        QCOMPARE(result.out, out);
        QCOMPARE(QString::fromUtf8(result.err), message);
    }
};

QTEST_MAIN(TestCommandLineSet)
#include "tst_commandlineset.moc"
