// One raw record to mlog_compile and its text: no crash, leak or read out
// of bounds, and every text one line of valid UTF-8 in the documented form.
// CLog::readRecord reads the same bytes as a stream of records.
#include "fuzzsupport.h"

#include <clog.h>
#include <mlog.h>

#include <QDataStream>
#include <QRegularExpression>

#include <cstring>
#include <vector>

namespace {

// The record's text, or a null QByteArray when the library refuses it.
QByteArray compileAndCheck(const uint8_t *record, size_t size)
{
    void *compiled = nullptr;
    QByteArray result;
    if (mlog_compile(&compiled, record, int64_t(size)) == -1) {
        FUZZ_CHECK(size < MLOG_HEADER_SIZE || compiled == nullptr);
        free(compiled);
        return result;
    }
    FUZZ_CHECK(compiled != nullptr);
    char *text = mlog_txt_malloc(compiled);
    if (quint16(record[36] | record[37] << 8) & MLOG_FLAG_HIDDEN) {
        FUZZ_CHECK(text == nullptr || *text == '\0');
    } else {
        FUZZ_CHECK(text != nullptr);
        result = QByteArray(text);
        const QString decoded = QString::fromUtf8(result);
        FUZZ_CHECK(decoded.toUtf8() == result); // valid UTF-8
        for (const QChar c : decoded) // no C0 or C1 control, no DEL
            FUZZ_CHECK(c.unicode() >= 0x20 && c.unicode() != 0x7F && (c.unicode() < 0x80 || c.unicode() > 0x9F));
        static const QRegularExpression form(QStringLiteral(
            "^\\[[upfc]\\] <\\d+,\\d+,\\d+,\\d+,\\d+> \\[[sf]\\] \\S+ \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d( .*)?$"));
        FUZZ_CHECK(form.match(decoded).hasMatch());
        FUZZ_CHECK((size > MLOG_HEADER_SIZE) == (decoded.count(QLatin1Char(' ')) > 5));
    }
    free(text);
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
    const QByteArray first = compileAndCheck(data, size);
    FUZZ_CHECK(compileAndCheck(data, size) == first);
    mlog_done();
    // Made to pass the header checks so that decoding reaches the payload:
    // the magic, a length that fits, a known kind and an event of its list.
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
        FUZZ_CHECK(!compileAndCheck(record.data(), record.size()).isNull() || (record[MLOG_OFF_FLAGS] & MLOG_FLAG_HIDDEN));
        mlog_done();
    }
    QDataStream in(QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size)));
    in.setByteOrder(QDataStream::LittleEndian);
    for (QPair<QString, int> record = CLog::readRecord(in); record.second >= 0; record = CLog::readRecord(in))
        FUZZ_CHECK(record.second <= 0xFFFF);
    mlog_done();
    return 0;
}
