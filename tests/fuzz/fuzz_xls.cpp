// libFuzzer target: the check of .xls files and, when it passes, FreeXL behind it.
#include "exchange/xlsreader.h"
#include "platform/commanderror.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        Workbook::readXlsRows(bytes, QLocale::c());
    } catch (const CommandError &) {
    }
    return 0;
}
