#!/usr/bin/python3
"""Reads a workbook the way another program would and prints what it found as JSON:
xlrd for .xls, openpyxl for .xlsx. Exit code 3 when the reader is not installed."""
import io
import json
import sys

LINES = {0: None, 1: "thin", 7: "hair"}


def read_xls(path):
    import xlrd
    book = xlrd.open_workbook(path, formatting_info=True)
    sheet = book.sheet_by_index(0)

    def style(xf_index):
        xf = book.xf_list[xf_index]
        b = xf.border
        return {
            "bold": book.font_list[xf.font_index].bold == 1,
            "font": book.font_list[xf.font_index].name,
            "borders": [LINES.get(b.left_line_style, b.left_line_style), LINES.get(b.right_line_style, b.right_line_style),
                        LINES.get(b.top_line_style, b.top_line_style), LINES.get(b.bottom_line_style, b.bottom_line_style)],
        }

    row1 = sheet.rowinfo_map.get(0)
    return {
        "sheet": sheet.name,
        "author": book.user_name,
        "cells": [[sheet.cell_value(r, c) for c in range(sheet.ncols)] for r in range(sheet.nrows)],
        "styles": [[style(sheet.cell_xf_index(r, c)) for c in range(sheet.ncols)] for r in range(sheet.nrows)],
        "row1_bold": bool(row1 and row1.has_default_xf_index and style(row1.xf_index)["bold"]),
        "widths": [sheet.colinfo_map[c].width / 256 if c in sheet.colinfo_map else None for c in range(sheet.ncols)],
    }


def read_xlsx(path):
    import openpyxl
    from openpyxl.utils import get_column_letter
    with open(path, "rb") as f:  # by content: a saved workbook may carry any name
        book = openpyxl.load_workbook(io.BytesIO(f.read()))
    sheet = book.worksheets[0]
    rows = list(sheet.iter_rows(min_row=1, max_row=sheet.max_row, max_col=sheet.max_column))

    def style(cell):
        b = cell.border
        return {"bold": bool(cell.font.b), "font": cell.font.name,
                "borders": [b.left.style, b.right.style, b.top.style, b.bottom.style]}

    widths = []
    for c in range(1, sheet.max_column + 1):
        dim = sheet.column_dimensions.get(get_column_letter(c))
        widths.append(dim.width if dim is not None and dim.customWidth else None)
    return {
        "sheet": sheet.title,
        "author": book.properties.creator,
        "cells": [["" if cell.value is None else cell.value for cell in row] for row in rows],
        "styles": [[style(cell) for cell in row] for row in rows],
        "row1_bold": bool(sheet.row_dimensions[1].customFormat and sheet.row_dimensions[1].font.b),
        "widths": widths,
    }


def main():
    path = sys.argv[1]
    try:
        with open(path, "rb") as f:
            magic = f.read(2)
        result = read_xlsx(path) if magic == b"PK" else read_xls(path)
    except ImportError as error:
        print(error, file=sys.stderr)
        return 3
    json.dump(result, sys.stdout, ensure_ascii=False)
    return 0


if __name__ == "__main__":
    sys.exit(main())
