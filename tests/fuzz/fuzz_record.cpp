// One raw record to mlog_compile and its text, and as a stream to
// CLog::readRecord (tests/fuzz/README.md says what each target checks).
#include "fuzzsupport.h"

#include <clog.h>
#include <mlog.h>

#include <QDataStream>
#include <QRegularExpression>
#include <QtEndian>

// The record's text, or a null QByteArray when the library refuses it.
static QByteArray compileAndCheck(const QByteArray &record)
{
    void *compiled = nullptr;
    QByteArray result;
    if (mlog_compile(&compiled, record.constData(), record.size()) == -1) {
        FUZZ_CHECK(record.size() < MLOG_HEADER_SIZE || compiled == nullptr);
        free(compiled);
        return result;
    }
    FUZZ_CHECK(compiled != nullptr);
    char *text = mlog_txt_malloc(compiled);
    if (qFromLittleEndian<quint16>(record.constData() + MLOG_OFF_FLAGS) & MLOG_FLAG_HIDDEN) {
        FUZZ_CHECK(text == nullptr || *text == '\0');
    } else {
        FUZZ_CHECK(text != nullptr);
        result = QByteArray(text);
        const QString decoded = QString::fromUtf8(result);
        FUZZ_CHECK(decoded.toUtf8() == result); // valid UTF-8
        for (const QChar c : decoded) // no C0 or C1 control, no DEL
            FUZZ_CHECK(c.unicode() >= 0x20 && c.unicode() != 0x7F && (c.unicode() < 0x80 || c.unicode() > 0x9F));
        static const QRegularExpression form(R"(^\[[upfc]\] <\d+,\d+,\d+,\d+,\d+> \[[sf]\] \S+ \d{4}-\d\d-\d\d \d\d:\d\d:\d\d( .*)?$)");
        FUZZ_CHECK(form.match(decoded).hasMatch());
        FUZZ_CHECK((record.size() > MLOG_HEADER_SIZE) == (decoded.count(QLatin1Char(' ')) > 5));
    }
    free(text);
    free(compiled);
    return result;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::setUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = fuzz::bytes(data, size);
    FUZZ_CHECK(compileAndCheck(input) == compileAndCheck(input));
    mlog_done();
    // Made to pass the header checks so that decoding reaches the payload:
    // the magic, a length that fits, a known kind and an event of its list.
    if (size >= MLOG_HEADER_SIZE) {
        QByteArray record = input.left(MLOG_HEADER_SIZE + 0xFFFF);
        char *header = record.data();
        qToLittleEndian<quint32>(MLOG_MAGIC, header);
        qToLittleEndian<quint16>(quint8(header[MLOG_OFF_KIND]) % 4, header + MLOG_OFF_KIND);
        qToLittleEndian<quint16>(quint8(header[MLOG_OFF_EVENT]) % 8, header + MLOG_OFF_EVENT);
        qToLittleEndian<quint16>(quint16(record.size() - MLOG_HEADER_SIZE), header + MLOG_OFF_PAYLOAD_LENGTH);
        FUZZ_CHECK(!compileAndCheck(record).isNull() || (header[MLOG_OFF_FLAGS] & MLOG_FLAG_HIDDEN));
        mlog_done();
    }
    QDataStream in(input);
    in.setByteOrder(QDataStream::LittleEndian);
    for (QPair<QString, int> record = CLog::readRecord(in); record.second >= 0; record = CLog::readRecord(in))
        FUZZ_CHECK(record.second <= 0xFFFF);
    mlog_done();
    return 0;
}
