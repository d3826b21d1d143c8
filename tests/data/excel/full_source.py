"""Writes Sheet1.csv, a full Travona layout (200 links, 100 nodes) with the user's notes, numbers
and totals in the rows the layout leaves free (204, 205 and 313), from which
full_with_notes_libreoffice.xls was made:

    python3 full_source.py
    soffice --headless --convert-to xls:"MS Excel 97" Sheet1.csv
        (then renamed full_with_notes_libreoffice.xls)

LibreOffice stores the numbers and the texts that look like numbers ("0.500") as number cells and
the totals as formulas.
"""
import csv

rows = [[''] * 12 for _ in range(313)]
rows[0][0] = 'KX101'
for k in range(200):
    r = rows[3 + k]
    frm, to = k % 100 + 1, (k + 1) % 100 + 1
    r[1:12] = [str(frm), str(to), str(1 + k % 4), str(1500 + k), '%.3f' % (0.25 + k % 9 * 0.125),
               str(30 + k % 40), str(150 + k % 60), 'I' if k % 2 else 'O', 'M', '0',
               'link %d' % (k + 1)]
rows[203][1:4] = ['Nodes below', '', '=SUM(D4:D203)']
rows[204][1:3] = ['7', '8']
for k in range(100):
    rows[212 + k][1:3] = ['%.3f' % (k * 0.25), '%.3f' % (k % 7 * 0.5)]
rows[312][1:3] = ['Total', '=SUM(B213:B312)']
with open('Sheet1.csv', 'w', newline='') as f:
    csv.writer(f).writerows(rows)
