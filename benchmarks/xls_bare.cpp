// The .xls opening benchmark's baseline: a trivial program that opens the workbook named
// by its argument with FreeXL, reads every cell of the first sheet through FreeXL's API
// and ends. Exit code 0 when every cell was read.
#include <freexl.h>

int main(int argc, char *argv[])
{
    if (argc != 2)
        return 2;
    const void *handle = nullptr;
    if (freexl_open(argv[1], &handle) != FREEXL_OK)
        return 1;
    unsigned int rows = 0;
    unsigned short cols = 0;
    int code = freexl_select_active_worksheet(handle, 0);
    if (code == FREEXL_OK)
        code = freexl_worksheet_dimensions(handle, &rows, &cols);
    unsigned long filled = 0;
    for (unsigned int r = 0; r < rows && code == FREEXL_OK; ++r) {
        for (unsigned short c = 0; c < cols && code == FREEXL_OK; ++c) {
            FreeXL_CellValue value;
            code = freexl_get_cell_value(handle, r, c, &value);
            filled += value.type != FREEXL_CELL_NULL;
        }
    }
    freexl_close(handle);
    return code == FREEXL_OK && filled > 0 ? 0 : 1;
}
