#!/usr/bin/python3
"""Remakes the workbook fixtures in tests/data/workbook: openpyxl writes the .xlsx
files, LibreOffice (soffice, only needed here) converts some of them to .xls and
to its own .xlsx, which also stores the results of the formulas."""
import datetime
import os
import shutil
import subprocess
import sys
import tempfile

import openpyxl

here = os.path.dirname(os.path.abspath(__file__))
out = os.path.join(here, "..", "tests", "data", "workbook")
os.makedirs(out, exist_ok=True)


def book(rows, name):
    workbook = openpyxl.Workbook()
    sheet = workbook.active
    for r, row in enumerate(rows, start=1):
        for c, value in enumerate(row, start=1):
            if value is not None:
                sheet.cell(row=r, column=c, value=value)
    if name == "values":
        sheet["F2"].number_format = "DD.MM.YYYY"
    # A second sheet that must not be read.
    workbook.create_sheet("Zweite")["A1"] = "nicht lesen"
    path = os.path.join(out, name + ".xlsx")
    workbook.save(path)
    return path


startlist = book([["Nr.", "Name", "Verein"],
                  [1, "Anna Alt", "TC Blau"],
                  [2, "Bernd Bach", "TSC Rot"],
                  [3, "Carla Cord", "TC Gelb"],
                  [None, "leer"],
                  [4, "Dora Dahl", "nach der Lücke"]], "startlist")
# 3 and 7.5, a date, the two booleans, a formula (openpyxl stores no result for it)
values = book([["Nr.", "Name", "Verein", "J.1", "J.2", "Datum", "Ja", "Nein", "Summe"],
               [1, "Anna", "TC", 3, 7.5, datetime.date(2024, 3, 9), True, False, "=D2+E2"]], "values")
book([["Nr.", "Name", "Verein"]], "a2empty")
book([[None, "Name", "Verein"], [1, "Anna", "TC"]], "a1empty")
book([["Nr.", "Name"], [1, "#DIV/0!"]], "errorcell")
# The benchmark's protocol: 1,000 competitors, 7 judges, totals and places.
names = ["Anna", "Bernd", "Clara", "Dieter", "Eva", "Felix", "Greta", "Hans"]
clubs = ["TSC Grün-Gold", "TC Blau-Weiß", "TSG Rot-Silber", "TK Sonne"]
protocol = [["Nr.", "Name", "Verein"] + ["J.%d" % j for j in range(1, 8)] + ["Summe", "Platz"]]
for n in range(1, 1001):
    marks = [5 + (n * 7 + j * 3) % 6 for j in range(7)]
    protocol.append([n, names[n % 8] + " " + str(n), clubs[n % 4]] + marks
                    + [sum(marks) - max(marks) - min(marks), n])
protocol1000 = book(protocol, "protocol1000")

soffice = shutil.which("soffice")
if not soffice:
    sys.exit("soffice not found: the LibreOffice fixtures were not remade")
profile = tempfile.mkdtemp()
formula = book([["Nr.", "Name"], [1, "=1/0"]], "formulaerror-source")


def convert(source, kind, name):
    with tempfile.TemporaryDirectory() as target:
        subprocess.run([soffice, "-env:UserInstallation=file://" + profile, "--headless",
                        "--convert-to", kind, "--outdir", target, source],
                       check=True, stdout=subprocess.DEVNULL)
        made = os.path.join(target, os.path.splitext(os.path.basename(source))[0] + "." + kind)
        shutil.move(made, os.path.join(out, name + "." + kind))


convert(startlist, "xls", "startlist-lo")
convert(values, "xls", "values-lo")
convert(values, "xlsx", "values-lo")
convert(os.path.join(out, "a2empty.xlsx"), "xls", "a2empty-lo")
convert(formula, "xls", "formulaerror-lo")
convert(protocol1000, "xls", "protocol1000-lo")
os.remove(formula)
shutil.rmtree(profile, ignore_errors=True)
