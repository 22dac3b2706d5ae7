#!/usr/bin/python3
"""Regenerates the workbook fixtures of the exchange tests in this folder.

Needs Debian's python3-openpyxl and python3-xlwt (development time only):
    /usr/bin/python3 tests/data/exchange/make_fixtures.py
"""
import datetime
import os
import struct
import zipfile

import openpyxl
import xlwt

HERE = os.path.dirname(os.path.abspath(__file__))


def path(name):
    return os.path.join(HERE, name)


def openpyxl_fixture():
    """Typed values as another spreadsheet program stores them."""
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "订单"
    ws.append(["序号", "订单号", "会员", "金额", "支付时间", "日期", "时间", "是否", "快递单号", "大数"])
    ws.append([1, "2024030512345", "张三", 12345.0, datetime.datetime(2024, 3, 5, 14, 30, 0),
               datetime.date(2024, 3, 5), datetime.time(8, 5, 9), True, "0012345",
               123456789012345678])
    ws.append([2, "2024030512346", "李四 ", 0.1, datetime.datetime(1999, 12, 31, 23, 59, 59),
               datetime.date(1900, 1, 1), datetime.time(0, 0, 0), False, "SF1234567890",
               13800138000])
    ws.cell(row=3, column=4).number_format = "0.00%"
    # a second sheet that the import must not read
    other = wb.create_sheet("其他")
    other.append(["不应读取"])
    wb.save(path("openpyxl_types.xlsx"))


SHEET = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"
 xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">
<dimension ref="A1:AB4"/>
<sheetData>
<row r="1" spans="1:28"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c><c r="C1" t="inlineStr"><is><t>公式</t></is></c><c r="D1" t="s"><v>2</v></c><c r="E1" t="inlineStr"><is><r><t>布</t></r><r><rPr><b/></rPr><t>尔</t></r></is></c><c r="F1" t="inlineStr"><is><t>错误</t></is></c><c r="G1" t="inlineStr"><is><t>空</t></is></c><c r="H1" t="inlineStr"><is><t>日期</t></is></c><c r="AA1" t="inlineStr"><is><t>超出</t></is></c></row>
<row r="2"><c r="A2" t="s"><v>3</v></c><c r="B2"><v>12345</v></c><c r="C2"><f>B2*2</f><v>24690</v></c><c r="D2" t="str"><f>A2&amp;"x"</f><v>天津x</v></c><c r="E2" t="b"><v>1</v></c><c r="F2" t="e"><v>#DIV/0!</v></c><c r="H2" s="1"><v>45356</v></c><c r="AB2"><v>7</v></c></row>
<row r="3"><c t="inlineStr"><is><t xml:space="preserve"> 前后空格 </t></is></c><c><v>1.5E-3</v></c><c r="D3" t="s"><v>4</v></c><c r="H3" s="2"><v>45356.75</v></c></row>
<row r="4"><c r="A4" t="inlineStr"><is><t>第四行</t><rPh sb="0" eb="1"><t>ダイ</t></rPh></is></c></row>
</sheetData>
</worksheet>
"""

SHARED = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="5" uniqueCount="5">
<si><t>序号</t></si>
<si><r><rPr><b/><sz val="11"/></rPr><t>订单</t></r><r><t>号</t></r></si>
<si><t>字符串公式</t></si>
<si><t>天津</t><rPh sb="0" eb="2"><t>テンシン</t></rPh><phoneticPr fontId="1"/></si>
<si><t>换行_x000D_
第二行</t></si>
</sst>
"""

STYLES = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">
<numFmts count="1"><numFmt numFmtId="176" formatCode="yyyy/m/d\\ h:mm;@"/></numFmts>
<cellStyleXfs count="1"><xf numFmtId="14"/></cellStyleXfs>
<cellXfs count="3"><xf numFmtId="0"/><xf numFmtId="14" applyNumberFormat="1"/><xf numFmtId="176" applyNumberFormat="1"/></cellXfs>
</styleSheet>
"""

WORKBOOK = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"
 xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">
<sheets><sheet name="首页" sheetId="3" r:id="rId7"/><sheet name="Sheet2" sheetId="1" r:id="rId1"/></sheets>
</workbook>
"""

WORKBOOK_RELS = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>
<Relationship Id="rId7" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="/xl/worksheets/data.xml"/>
<Relationship Id="rId8" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="strings.xml"/>
<Relationship Id="rId9" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/>
</Relationships>
"""

ROOT_RELS = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>
</Relationships>
"""

OTHER_SHEET = """<?xml version="1.0" encoding="UTF-8"?>
<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>
<row r="1"><c r="A1" t="inlineStr"><is><t>不应读取</t></is></c></row></sheetData></worksheet>
"""


def handmade_fixture():
    """The kinds of cells a desktop spreadsheet writes: shared strings with
    rich-text runs and phonetic guides, inline strings, formulas with cached
    values, booleans, errors, dates, omitted cells and columns beyond z. The
    first sheet is not sheet1.xml."""
    with zipfile.ZipFile(path("desktop_cells.xlsx"), "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("[Content_Types].xml", "<Types/>")
        z.writestr("_rels/.rels", ROOT_RELS)
        z.writestr("xl/workbook.xml", WORKBOOK)
        z.writestr("xl/_rels/workbook.xml.rels", WORKBOOK_RELS)
        z.writestr("xl/worksheets/data.xml", SHEET)
        z.writestr("xl/worksheets/sheet1.xml", OTHER_SHEET)
        z.writestr("xl/strings.xml", SHARED)
        z.writestr("xl/styles.xml", STYLES)


def bomb_fixtures():
    """64 MiB of spaces inside a sheet: about 64 KiB compressed."""
    body = ('<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'
            '<sheetData>' + " " * (64 << 20) + "</sheetData></worksheet>")
    with zipfile.ZipFile(path("bomb.xlsx"), "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("_rels/.rels", ROOT_RELS)
        z.writestr("xl/workbook.xml", WORKBOOK.replace("rId7", "rId1"))
        z.writestr("xl/_rels/workbook.xml.rels", WORKBOOK_RELS)
        z.writestr("xl/worksheets/sheet1.xml", body)
    # The same, with the sizes in the zip headers lying: 1,000 bytes declared.
    data = bytearray(open(path("bomb.xlsx"), "rb").read())
    name = b"xl/worksheets/sheet1.xml"
    for signature, size_offset in ((b"PK\x03\x04", 22), (b"PK\x01\x02", 24)):
        start = 0
        while True:
            at = data.find(signature, start)
            if at < 0:
                break
            name_at = at + (30 if signature == b"PK\x03\x04" else 46)
            if data[name_at:name_at + len(name)] == name:
                struct.pack_into("<I", data, at + size_offset, 1000)
            start = at + 4
    open(path("bomb_lying_sizes.xlsx"), "wb").write(bytes(data))


def xls_fixture():
    wb = xlwt.Workbook(encoding="utf-8")
    ws = wb.add_sheet("订单")
    date_style = xlwt.easyxf(num_format_str="yyyy-mm-dd")
    rows = [
        ["序号", "订单号", "会员", "金额", "日期", "快递单号"],
        [1, "2024030512345", "张三", 12345.0, datetime.date(2024, 3, 5), "0012345"],
        [2, "2024030512346", "李四", 1.25, datetime.date(1999, 12, 31), "SF1234567890"],
        [3, "2024030512347", "王五", 13800138000, datetime.date(2000, 1, 1), "YT0001"],
        [],
        [5, "below the blank row"],
    ]
    for r, row in enumerate(rows):
        for c, value in enumerate(row):
            if isinstance(value, datetime.date):
                ws.write(r, c, value, date_style)
            else:
                ws.write(r, c, value)
    wb.add_sheet("其他").write(0, 0, "不应读取")
    wb.save(path("legacy.xls"))


if __name__ == "__main__":
    openpyxl_fixture()
    handmade_fixture()
    bomb_fixtures()
    xls_fixture()
