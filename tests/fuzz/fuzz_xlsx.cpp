// libFuzzer target: our Office Open XML reader on any bytes. A damaged workbook
// must end in a CommandError, never in a crash or a runaway allocation.
#include "exchange/xlsxreader.h"
#include "platform/commanderror.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        Workbook::readXlsxRows(bytes, QLocale::c());
    } catch (const CommandError &) { }
    return 0;
}
