// libFuzzer target: the check of .xls files (inputs that start like a compound file)
// and the parser of the reader process's answer (everything else). FreeXL itself
// only ever runs in the reader process.
#include "exchange/xlsreaderprocess.h"
#include "platform/commanderror.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        if (bytes.startsWith("\xD0\xCF\x11\xE0"))
            Workbook::checkXls(bytes);
        else
            Workbook::parseXlsReply(bytes);
    } catch (const CommandError &) { }
    return 0;
}
