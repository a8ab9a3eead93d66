#include "platform/librariesondemand.h"

#include "platform/commanderror.h"

// Hidden: the program's stand-ins never take the place of a library's own functions for
// another library that calls them.
#pragma GCC visibility push(hidden)
#include <chm_lib.h>
#include <unzip.h>
#include <xlsxwriter.h>
#pragma GCC visibility pop

#include <dlfcn.h>

namespace LibrariesOnDemand {

void *function(const char *soname, const char *name)
{
    // A library already open is only counted once more.
    void *library = ::dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        throw CommandError(QStringLiteral("Die Programmbibliothek %1 fehlt oder ist beschädigt (%2).")
                               .arg(QLatin1StringView(soname), QString::fromLocal8Bit(::dlerror())));
    }
    void *found = ::dlsym(library, name);
    if (!found) {
        throw CommandError(QStringLiteral("Der Programmbibliothek %1 fehlt die Funktion %2.")
                               .arg(QLatin1StringView(soname), QLatin1StringView(name)));
    }
    return found;
}

} // namespace LibrariesOnDemand

namespace {

constexpr const char *kXlsxwriter = "libxlsxwriter.so.4";
constexpr const char *kMinizip = "libminizip.so.1";
constexpr const char *kChmlib = "libchm.so.1";

} // namespace

// Each function looks its target up once; a failed look-up is tried again at the next call.
#define FORWARD(soname, result, name, parameters, arguments)                                                 \
    result name parameters                                                                                   \
    {                                                                                                        \
        static const auto target                                                                             \
            = reinterpret_cast<decltype(&name)>(LibrariesOnDemand::function(soname, #name));                 \
        return target arguments;                                                                             \
    }

FORWARD(kXlsxwriter, lxw_workbook *, workbook_new_opt, (const char *file, lxw_workbook_options *options),
    (file, options))
FORWARD(kXlsxwriter, lxw_error, workbook_close, (lxw_workbook * book), (book))
FORWARD(kXlsxwriter, void, lxw_workbook_free, (lxw_workbook * book), (book))
FORWARD(kXlsxwriter, lxw_error, workbook_set_properties,
    (lxw_workbook * book, lxw_doc_properties *properties), (book, properties))
FORWARD(kXlsxwriter, lxw_worksheet *, workbook_add_worksheet, (lxw_workbook * book, const char *name),
    (book, name))
FORWARD(kXlsxwriter, lxw_format *, workbook_add_format, (lxw_workbook * book), (book))
FORWARD(kXlsxwriter, char *, lxw_strerror, (lxw_error error), (error))
FORWARD(kXlsxwriter, void, format_set_font_name, (lxw_format * format, const char *name), (format, name))
FORWARD(kXlsxwriter, void, format_set_font_size, (lxw_format * format, double size), (format, size))
FORWARD(kXlsxwriter, void, format_set_bold, (lxw_format * format), (format))
FORWARD(kXlsxwriter, void, format_set_border, (lxw_format * format, uint8_t style), (format, style))
FORWARD(kXlsxwriter, void, format_set_top, (lxw_format * format, uint8_t style), (format, style))
FORWARD(kXlsxwriter, lxw_error, worksheet_set_column,
    (lxw_worksheet * sheet, lxw_col_t first, lxw_col_t last, double width, lxw_format *format),
    (sheet, first, last, width, format))
FORWARD(kXlsxwriter, lxw_error, worksheet_set_row,
    (lxw_worksheet * sheet, lxw_row_t row, double height, lxw_format *format), (sheet, row, height, format))
FORWARD(kXlsxwriter, lxw_error, worksheet_write_string,
    (lxw_worksheet * sheet, lxw_row_t row, lxw_col_t col, const char *text, lxw_format *format),
    (sheet, row, col, text, format))
FORWARD(kXlsxwriter, lxw_error, worksheet_write_number,
    (lxw_worksheet * sheet, lxw_row_t row, lxw_col_t col, double number, lxw_format *format),
    (sheet, row, col, number, format))
FORWARD(kXlsxwriter, lxw_error, worksheet_write_blank,
    (lxw_worksheet * sheet, lxw_row_t row, lxw_col_t col, lxw_format *format), (sheet, row, col, format))

FORWARD(kMinizip, unzFile, unzOpen2_64, (const void *path, zlib_filefunc64_def *functions), (path, functions))
FORWARD(kMinizip, int, unzClose, (unzFile zip), (zip))
FORWARD(kMinizip, int, unzGetGlobalInfo64, (unzFile zip, unz_global_info64 *info), (zip, info))
FORWARD(kMinizip, int, unzLocateFile, (unzFile zip, const char *name, int caseSensitivity),
    (zip, name, caseSensitivity))
FORWARD(kMinizip, int, unzOpenCurrentFile, (unzFile zip), (zip))
FORWARD(
    kMinizip, int, unzReadCurrentFile, (unzFile zip, voidp buffer, unsigned length), (zip, buffer, length))

FORWARD(kChmlib, chmFile *, chm_open, (const char *file), (file))
FORWARD(kChmlib, void, chm_close, (chmFile * file), (file))
FORWARD(kChmlib, int, chm_resolve_object, (chmFile * file, const char *path, chmUnitInfo *unit),
    (file, path, unit))
FORWARD(kChmlib, LONGINT64, chm_retrieve_object,
    (chmFile * file, chmUnitInfo *unit, unsigned char *buffer, LONGUINT64 address, LONGINT64 length),
    (file, unit, buffer, address, length))
