#!/usr/bin/python3
"""Writes the sample workbooks of examples/ (run from anywhere; needs
python3-xlsxwriter). The output is byte-for-byte the same on every run, so the
committed files only change when this script does.

    examples/Sales.xlsx              Summary, Regions, Notes
    examples/inventory/Stock.xlsx    Parts, Empty
    examples/inventory/2019/Stock.xlsx   a second Stock, for the "_2" folder
"""
import datetime
import os

import xlsxwriter

HERE = os.path.dirname(os.path.abspath(__file__))
FIXED_TIME = datetime.datetime(2020, 8, 11, 9, 0, 0)


def new_workbook(relpath):
    path = os.path.join(HERE, relpath)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    wb = xlsxwriter.Workbook(path)  # strings go to the shared-strings part
    wb.set_properties({"title": "Tabulon sample", "author": "Tabulon", "created": FIXED_TIME})
    return wb


def sales():
    wb = new_workbook("Sales.xlsx")
    bold = wb.add_format({"bold": True})
    day = wb.add_format({"num_format": "yyyy-mm-dd"})
    money = wb.add_format({"num_format": "#,##0.00"})
    ws = wb.add_worksheet("Summary")
    ws.write_row(0, 0, ["Month", "Region", "Units", "Revenue", "Closed"], bold)
    rows = [
        (datetime.date(2020, 1, 31), "North", 120, 1534.5, True),
        (datetime.date(2020, 2, 29), "South", 87, 1120.25, False),
        (datetime.date(2020, 3, 31), "East", 143, 1987.0, True),
        (datetime.date(2020, 4, 30), "West", 66, 802.75, False),
    ]
    for r, (month, region, units, revenue, closed) in enumerate(rows, start=1):
        ws.write_datetime(r, 0, datetime.datetime.combine(month, datetime.time()), day)
        ws.write_string(r, 1, region)
        ws.write_number(r, 2, units)
        ws.write_number(r, 3, revenue, money)
        ws.write_boolean(r, 4, closed)

    ws = wb.add_worksheet("Regions")
    red = wb.add_format({"color": "red"})
    italic = wb.add_format({"italic": True})
    ws.write_row(0, 0, ["Region", "Manager", "Remark"], bold)
    ws.write_row(1, 0, ["North", "Åsa Öberg"])
    ws.write_rich_string(1, 2, "Target ", red, "exceeded", " twice")
    ws.write_row(2, 0, ["South", "José Núñez"])
    ws.write_rich_string(2, 2, italic, "Needs", " a second rep")
    ws.write_row(3, 0, ["East", "李小龍", "東京支店と共同"])

    ws = wb.add_worksheet("Notes")
    ws.write(0, 0, "Figures are preliminary until the quarter closes.")
    ws.write(1, 0, "A cell may hold\ntwo lines.")
    ws.write(2, 0, "  Leading blanks stay.")
    wb.close()


def stock(relpath, year, parts):
    wb = new_workbook(relpath)
    bold = wb.add_format({"bold": True})
    stamp = wb.add_format({"num_format": "yyyy-mm-dd hh:mm"})
    ws = wb.add_worksheet("Parts")
    ws.write_row(0, 0, ["Part", "On hand", "Counted"], bold)
    for r, (name, count) in enumerate(parts, start=1):
        ws.write_string(r, 0, name)
        ws.write_number(r, 1, count)
        ws.write_datetime(r, 2, datetime.datetime(year, 12, 31, 17, 30), stamp)
    wb.add_worksheet("Empty")
    wb.close()


if __name__ == "__main__":
    sales()
    stock(os.path.join("inventory", "Stock.xlsx"), 2020,
          [("Bolt M6", 1200), ("Nut M6", 1150), ("Washer 6 mm", 3000)])
    stock(os.path.join("inventory", "2019", "Stock.xlsx"), 2019,
          [("Bolt M6", 900), ("Nut M6", 870)])
