// The record library on arbitrary records: mlog_compile and the text must
// never crash, leak or read out of bounds, and every text must keep the
// documented form (one line of valid UTF-8 starting with the kind mark, the
// subjects, the status, the event and the date). CLog::readRecord reads the
// same bytes as a stream of records.
#include "fuzzsupport.h"

#include <clog.h>
#include <mlog.h>

#include <QByteArray>
#include <QDataStream>
#include <QRegularExpression>
#include <QString>

#include <cstring>
#include <vector>

namespace {

// Compiles the record and checks its text; the text, or a null QByteArray
// when the library refuses the record.
QByteArray compileAndCheck(const uint8_t *record, size_t size)
{
    void *compiled = nullptr;
    const int rc = mlog_compile(&compiled, record, int64_t(size));
    QByteArray result;
    if (rc != -1) {
        FUZZ_CHECK(compiled != nullptr);
        char *text = mlog_txt_malloc(compiled);
        const quint16 flags = quint16(record[36] | record[37] << 8);
        if (flags & MLOG_FLAG_HIDDEN) {
            FUZZ_CHECK(text == nullptr || *text == '\0');
        } else {
            FUZZ_CHECK(text != nullptr);
            result = QByteArray(text);
            // Valid UTF-8 without control characters: it survives a round trip
            // and holds nothing below a blank, no DEL and no C1 control.
            const QString decoded = QString::fromUtf8(result);
            FUZZ_CHECK(decoded.toUtf8() == result);
            for (const QChar c : decoded)
                FUZZ_CHECK(c.unicode() >= 0x20 && c.unicode() != 0x7F && (c.unicode() < 0x80 || c.unicode() > 0x9F));
            static const QRegularExpression form(QStringLiteral(
                "^\\[[upfc]\\] <\\d+,\\d+,\\d+,\\d+,\\d+> \\[[sf]\\] \\S+ \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d( .*)?$"));
            FUZZ_CHECK(form.match(decoded).hasMatch());
            const bool hasParams = size > MLOG_HEADER_SIZE;
            FUZZ_CHECK(hasParams == (decoded.count(QLatin1Char(' ')) > 5));
        }
        free(text);
    } else if (size >= MLOG_HEADER_SIZE) {
        FUZZ_CHECK(compiled == nullptr);
    }
    free(compiled);
    return result;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::setUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // As given, then made to pass the checks of the header so that decoding
    // goes on to the payload: the magic, a length that fits, a known kind and
    // an event of its list.
    const QByteArray first = compileAndCheck(data, size);
    FUZZ_CHECK(compileAndCheck(data, size) == first); // the same bytes, the same text
    mlog_done();
    if (size >= MLOG_HEADER_SIZE) {
        std::vector<uint8_t> record(data, data + std::min<size_t>(size, MLOG_HEADER_SIZE + 0xFFFF));
        const size_t payload = record.size() - MLOG_HEADER_SIZE;
        const uint32_t magic = MLOG_MAGIC;
        std::memcpy(record.data(), &magic, 4);
        record[MLOG_OFF_KIND] %= 4;
        record[MLOG_OFF_KIND + 1] = 0;
        record[MLOG_OFF_EVENT] %= 8;
        record[MLOG_OFF_EVENT + 1] = 0;
        record[MLOG_OFF_PAYLOAD_LENGTH] = uint8_t(payload);
        record[MLOG_OFF_PAYLOAD_LENGTH + 1] = uint8_t(payload >> 8);
        const QByteArray text = compileAndCheck(record.data(), record.size());
        FUZZ_CHECK(!text.isNull() || (record[MLOG_OFF_FLAGS] & MLOG_FLAG_HIDDEN));
        mlog_done();
    }

    // The same bytes as a stream of records, as the reader takes them.
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    QDataStream in(bytes);
    in.setByteOrder(QDataStream::LittleEndian);
    for (;;) {
        const QPair<QString, int> record = CLog::readRecord(in);
        if (record.second < 0)
            break;
        FUZZ_CHECK(record.second <= 0xFFFF);
    }
    mlog_done();
    return 0;
}
