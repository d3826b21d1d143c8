"""Writes source.xls, the workbook from which the fixtures of this folder were made:

    python3 fixture_source.py
    ssconvert --recalc source.xls written_by_gnumeric.xls
    soffice --headless --convert-to xls:"MS Excel 97" written_by_gnumeric.xls
        (then renamed written_by_libreoffice.xls)

Sheet1 holds a small Travona network with formatted notes, formulas and labels around the layout;
"Data" holds numbers, formulas with number, text, boolean and error results, a column of similar
formulas (which LibreOffice stores as a shared formula), several hundred strings with some Cyrillic
ones and two very long strings, so that the shared string table runs over several CONTINUE records
and changes character width across them; "Empty" is empty. excel95.xls and xlsx_renamed.xls hold
the text KX101 in A1, saved by ssconvert as Excel 95 (-T Gnumeric_Excel:excel_biff7) and as .xlsx.
"""
import xlwt
wb = xlwt.Workbook()
s = wb.add_sheet('Sheet1')
bold = xlwt.easyxf('font: bold on; pattern: pattern solid, fore_colour yellow')
money = xlwt.easyxf(num_format_str='#,##0.00')
s.write(0, 0, 'KX101')
s.write(0, 2, 'maps\\town.bmp')
for c, v in zip(range(3, 7), [-1.5, 2.25, 3.5, -0.75]):
    s.write(0, c, v)
s.write(1, 0, 'Travona network of the test town', bold)
s.write(2, 1, 'From'); s.write(2, 2, 'To'); s.write(2, 12, 'Notes', bold)
links = [(1, 2, 2, 1800, '1.000', 55, 190, 'I', 'M', 0, 'Main street'),
         (2, 3, 1, 1600, '0.707', 45, 180, 'O', 'WZ', 0, 'Work zone'),
         (3, 1, 3, 2000, '2.500', 65, 200, 'I', 'R', 0, 'Ramp')]
for k, row in enumerate(links):
    for c, v in enumerate(row):
        s.write(3 + k, 1 + c, v)
    s.write(3 + k, 12, 'note %d' % (k + 1))
    s.write(3 + k, 13, xlwt.Formula('D%d*E%d' % (4 + k, 4 + k)), money)
s.write(204, 1, 'Totals', bold)
s.write(205, 3, xlwt.Formula('SUM(D4:D203)'))
s.write(205, 4, xlwt.Formula('SUM(E4:E203)'), money)
nodes = [('0.000', '0.000'), ('1.000', '0.000'), ('0.500', '0.500')]
for k, (x, y) in enumerate(nodes):
    s.write(212 + k, 1, x); s.write(212 + k, 2, y)
    s.write(212 + k, 4, 'node label %d' % (k + 1))
s.col(12).width = 6000

d = wb.add_sheet('Data')
d.write(0, 0, 3); d.write(0, 1, 4.5); d.write(0, 2, 'text')
d.write(1, 0, xlwt.Formula('A1*2'))
d.write(1, 1, xlwt.Formula('"ab"&"cd"'))
d.write(1, 2, xlwt.Formula('A1>1'))
d.write(1, 3, xlwt.Formula('1/0'))
d.write(1, 4, xlwt.Formula('Sheet1!F4+1'))
for r in range(10, 40):
    d.write(r, 0, r)
    d.write(r, 1, xlwt.Formula('A%d*3' % (r + 1)))
# Enough distinct strings to spread the shared string table over several CONTINUE records,
# some of them with characters beyond Latin-1 so that the character width changes.
for r in range(50, 650):
    t = 'string number %04d of the table' % r
    if r % 7 == 0:
        t += ' \u0416\u0438\u0442\u043e'
    d.write(r, 0, t)
d.write(1600, 0, 'x' * 9000)
d.write(1601, 0, '\u0416' * 5000)
wb.add_sheet('Empty')
wb.save('source.xls')
