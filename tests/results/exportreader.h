// Exported files read back by an independent reader: Python's csv and json
// modules, run as a process. Each gives the rows as a JSON array of objects.
#ifndef EXPORTREADER_H
#define EXPORTREADER_H

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

// Strict: UTF-8 only, a CSV header row and the same number of fields in
// every row, one JSON object on every line and a line feed after the last.
inline const char *exportReaderScript()
{
    return R"(import csv, json, sys
path, fmt = sys.argv[1], sys.argv[2]
rows = []
if fmt == 'csv':
    with open(path, newline='', encoding='utf-8', errors='strict') as f:
        reader = csv.reader(f, strict=True)
        header = next(reader)
        for fields in reader:
            if len(fields) != len(header):
                sys.exit('row of %d fields' % len(fields))
            rows.append(dict(zip(header, fields)))
else:
    with open(path, 'rb') as f:
        lines = f.read().decode('utf-8', 'strict').split('\n')
    if lines[-1] != '':
        sys.exit('no line feed after the last row')
    for line in lines[:-1]:
        row = json.loads(line)
        if not isinstance(row, dict):
            sys.exit('not an object')
        rows.append(row)
json.dump(rows, sys.stdout)
)";
}

// True when python3 is there to read.
inline bool haveExportReader()
{
    return !QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty();
}

// The rows of `path` in format `fmt` ("csv" or "jsonl"), or `error`.
inline QJsonArray readExport(const QString &path, const QString &fmt, QString *error)
{
    QProcess python;
    python.start(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromUtf8(exportReaderScript()), path, fmt});
    if (!python.waitForFinished(60000) || python.exitStatus() != QProcess::NormalExit || python.exitCode() != 0) {
        *error = QString::fromUtf8(python.readAllStandardError());
        return {};
    }
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(python.readAllStandardOutput(), &parse);
    if (!doc.isArray())
        *error = parse.errorString();
    return doc.array();
}

#endif
