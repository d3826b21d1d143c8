#!/usr/bin/env python3
"""Independent reading and writing of Excel 97-2003 workbooks for the excel tests, through xlrd and
xlwt. Exit status 0 on success, 1 when a check fails, 2 when xlrd or xlwt is missing.

  xlstool.py modules
  xlstool.py cells FILE SHEET           every non-empty cell: "A1<TAB>type<TAB>value", row by row
  xlstool.py formats FILE SHEET         the number format of every number cell: "A1<TAB>format"
  xlstool.py sheets FILE                the sheet names, one a line
  xlstool.py compare OLD NEW SHEET      every cell of every sheet of OLD, except the Travona
                                        blocks of SHEET, is in NEW with the same value, type and
                                        format (font, number format, fill, borders)
  xlstool.py write-travona OUT          a Travona workbook written by xlwt (see below)
  xlstool.py write-full OUT             a full Travona workbook with notes around it (see below)
"""
import sys

try:
    import xlrd
    import xlwt
except ImportError as e:  # the caller skips its test
    print('missing module: %s' % e)
    sys.exit(2)

TYPES = {xlrd.XL_CELL_TEXT: 'text', xlrd.XL_CELL_NUMBER: 'number', xlrd.XL_CELL_BOOLEAN: 'boolean',
         xlrd.XL_CELL_ERROR: 'error', xlrd.XL_CELL_BLANK: 'blank', xlrd.XL_CELL_DATE: 'date'}


def address(row, col):
    letters = ''
    col += 1
    while col:
        col, rem = divmod(col - 1, 26)
        letters = chr(65 + rem) + letters
    return '%s%d' % (letters, row + 1)


def shown(cell):
    if cell.ctype == xlrd.XL_CELL_NUMBER:
        return repr(cell.value)
    if cell.ctype == xlrd.XL_CELL_ERROR:
        return xlrd.error_text_from_code.get(cell.value, str(cell.value))
    return str(cell.value)


def cells(path, sheet_name):
    sheet = xlrd.open_workbook(path).sheet_by_name(sheet_name)
    for r in range(sheet.nrows):
        for c in range(sheet.ncols):
            cell = sheet.cell(r, c)
            if cell.ctype not in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
                print('%s\t%s\t%s' % (address(r, c), TYPES[cell.ctype], shown(cell)))
    return 0


def formats(path, sheet_name):
    book = xlrd.open_workbook(path, formatting_info=True)
    sheet = book.sheet_by_name(sheet_name)
    for r in range(sheet.nrows):
        for c in range(sheet.ncols):
            cell = sheet.cell(r, c)
            if cell.ctype == xlrd.XL_CELL_NUMBER:
                xf = book.xf_list[cell.xf_index]
                print('%s\t%s' % (address(r, c), book.format_map[xf.format_key].format_str))
    return 0


def in_layout(r, c):
    return (r == 0 and c in (0, 2, 3, 4, 5, 6)) or (3 <= r <= 202 and 1 <= c <= 11) or \
        (212 <= r <= 311 and 1 <= c <= 2)


def style_of(book, xf_index):
    xf = book.xf_list[xf_index]
    font = book.font_list[xf.font_index]
    fmt = book.format_map[xf.format_key].format_str
    b = xf.border
    return (font.name, font.height, font.bold, font.italic, font.colour_index, fmt,
            xf.background.pattern_colour_index, xf.background.fill_pattern,
            b.left_line_style, b.right_line_style, b.top_line_style, b.bottom_line_style,
            xf.alignment.hor_align)


def compare(old_path, new_path, layout_sheet):
    old = xlrd.open_workbook(old_path, formatting_info=True)
    new = xlrd.open_workbook(new_path, formatting_info=True)
    problems = []
    new_names = new.sheet_names()
    for sheet in old.sheets():
        if sheet.name not in new_names:
            problems.append('sheet %s is missing' % sheet.name)
            continue
        other = new.sheet_by_name(sheet.name)
        for r in range(sheet.nrows):
            for c in range(sheet.ncols):
                if sheet.name == layout_sheet and in_layout(r, c):
                    continue
                a = sheet.cell(r, c)
                where = '%s!%s' % (sheet.name, address(r, c))
                if r >= other.nrows or c >= other.ncols:
                    if a.ctype != xlrd.XL_CELL_EMPTY:
                        problems.append('%s is gone' % where)
                    continue
                b = other.cell(r, c)
                if (a.ctype, a.value) != (b.ctype, b.value):
                    problems.append('%s was %s %r, is %s %r' % (where, TYPES.get(a.ctype), a.value,
                                                              TYPES.get(b.ctype), b.value))
                elif a.ctype != xlrd.XL_CELL_EMPTY and \
                        style_of(old, a.xf_index) != style_of(new, b.xf_index):
                    problems.append('%s lost its format' % where)
        for c in range(sheet.ncols):
            if sheet.computed_column_width(c) != other.computed_column_width(c):
                problems.append('%s column %d changed width' % (sheet.name, c))
    for p in problems[:40]:
        print(p)
    return 1 if problems else 0


def write_travona(path):
    """Sheet1 holds a network of four nodes and three links in the layout, written with the value
    types a spreadsheet user would type: numbers as numbers, lengths and coordinates as numbers
    or text. A second sheet and cells outside the layout hold other data."""
    book = xlwt.Workbook()
    sheet = book.add_sheet('Sheet1')
    sheet.write(0, 0, 'KX101')
    sheet.write(0, 2, 'C:\\maps\\town.bmp')
    for col, value in zip(range(3, 7), [-2.5, 3.0, 4.5, -1.25]):
        sheet.write(0, col, value)
    sheet.write(1, 0, 'Written by xlwt')
    links = [(1, 2, 2, 1800, 1.0, 55, 190, 'I', 'M', 1, 'First street'),
             (2, 1, 2, 1800, '1.0000', 55, 190, 'O', 'M', 2, 'First street back'),
             (2, 3, 1, 1500, 3.25, 45, 160, 'out', 'WZ', 0, u'Br\u00fccke \u2192 north'),
             (3, 4, 3, 2100, '', 65, 210, '', 'D2', 7, '')]
    for k, row in enumerate(links):
        for c, value in enumerate(row):
            if value != '':
                sheet.write(3 + k, 1 + c, value)
    nodes = [(0, 0), ('1.0', '0.0'), (1.5, 2), ('-3.25', 4.75)]
    for k, (x, y) in enumerate(nodes):
        sheet.write(212 + k, 1, x)
        sheet.write(212 + k, 2, y)
    sheet.write(212, 5, 'kept')
    data = book.add_sheet('Data')
    data.write(0, 0, 42)
    data.write(0, 1, xlwt.Formula('A1*2'))
    book.save(path)
    return 0


def write_full(path):
    """Sheet1 holds the layout's 200 links and 100 nodes, with numbers as numbers and lengths and
    coordinates as texts, and the user's notes, numbers and totals in rows 204, 205 and 313."""
    book = xlwt.Workbook()
    sheet = book.add_sheet('Sheet1')
    sheet.write(0, 0, 'KX101')
    for k in range(200):
        row = [k % 100 + 1, (k + 1) % 100 + 1, 1 + k % 4, 1500 + k, '%.3f' % (0.25 + k % 9 * 0.125),
               30 + k % 40, 150 + k % 60, 'I' if k % 2 else 'O', 'M', 0, 'link %d' % (k + 1)]
        for c, value in enumerate(row):
            sheet.write(3 + k, 1 + c, value)
    sheet.write(203, 1, 'Nodes below')
    sheet.write(203, 3, xlwt.Formula('SUM(D4:D203)'))
    sheet.write(204, 1, 7)
    sheet.write(204, 2, 8)
    for k in range(100):
        sheet.write(212 + k, 1, '%.3f' % (k * 0.25))
        sheet.write(212 + k, 2, k % 7 * 0.5)
    sheet.write(312, 1, 'Total')
    sheet.write(312, 2, xlwt.Formula('SUM(B213:B312)'))
    book.save(path)
    return 0


def main(argv):
    if len(argv) >= 2 and argv[1] == 'modules':
        return 0
    if len(argv) == 4 and argv[1] == 'cells':
        return cells(argv[2], argv[3])
    if len(argv) == 4 and argv[1] == 'formats':
        return formats(argv[2], argv[3])
    if len(argv) == 3 and argv[1] == 'sheets':
        print('\n'.join(xlrd.open_workbook(argv[2]).sheet_names()))
        return 0
    if len(argv) == 5 and argv[1] == 'compare':
        return compare(argv[2], argv[3], argv[4])
    if len(argv) == 3 and argv[1] == 'write-full':
        return write_full(argv[2])
    if len(argv) == 3 and argv[1] == 'write-travona':
        return write_travona(argv[2])
    print(__doc__)
    return 3


if __name__ == '__main__':
    sys.exit(main(sys.argv))
