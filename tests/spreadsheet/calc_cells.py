"""Checks the cells of a flat OpenDocument spreadsheet Calc made from an
exported CSV: a header row, then one row per reading whose first cell is a
date (its date and time the log's local time) and whose second is a number
(the reading's value).

  calc_cells.py FODS EXPECTED   EXPECTED: lines "yyyy-mm-ddThh:nn:ss value"
"""

import datetime
import sys
import xml.etree.ElementTree as ET

OFFICE = "urn:oasis:names:tc:opendocument:xmlns:office:1.0"
TABLE = "urn:oasis:names:tc:opendocument:xmlns:table:1.0"


def cells(row):
    """The row's cells as (type, value) pairs, repeated cells spelled out."""
    out = []
    for cell in row.findall(f"{{{TABLE}}}table-cell"):
        kind = cell.get(f"{{{OFFICE}}}value-type", "")
        value = cell.get(f"{{{OFFICE}}}date-value") or cell.get(f"{{{OFFICE}}}value") or ""
        repeat = int(cell.get(f"{{{TABLE}}}number-columns-repeated", "1"))
        out.extend([(kind, value)] * min(repeat, 8))
    return out


def main(path, expected_text):
    rows = ET.parse(path).getroot().iter(f"{{{TABLE}}}table-row")
    rows = [cells(row) for row in rows]
    expected = [line.split() for line in expected_text.strip().splitlines()]
    if len(rows) < len(expected) + 1:
        print(f"{len(rows)} rows, expected a header and {len(expected)} readings: {rows}")
        return 1
    failed = 0
    for number, (row, (local, value)) in enumerate(zip(rows[1:], expected), 2):
        (time_type, time_value), (value_type, value_value) = row[0], row[1]
        when = datetime.datetime.fromisoformat(time_value) if time_type == "date" else None
        if when != datetime.datetime.fromisoformat(local):
            print(f"row {number}: column A is {time_type} {time_value!r}, not the date {local}")
            failed = 1
        if value_type != "float" or float(value_value) != float(value):
            print(f"row {number}: column B is {value_type} {value_value!r}, not the number {value}")
            failed = 1
    if not failed:
        print(f"{len(expected)} rows: dates and numbers as in the log")
    return failed


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
