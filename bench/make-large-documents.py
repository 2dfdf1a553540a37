#!/usr/bin/python3
# Writes the documents bench/documents-memory.sh reads, each holding WORD on
# one line:
#   pages.pdf     1,000 pages of 50 lines (WORD on the last page)
#   sheet.xlsx    about 100 MB: 200,000 distinct shared strings and rows of
#                 numbers and string cells (WORD in the last row)
#   entities.docx a paragraph with WORD, then a billion-laughs entity
#                 expansion in word/document.xml
#   element.docx  a paragraph with WORD, then one text element of 1 GiB
#                 (about 1 MB deflated)
#   small.docx    a paragraph with WORD: what any document costs
# Every part is streamed into its ZIP, so this script's memory stays small.
#   make-large-documents.py OUT WORD
import os, random, sys, zipfile

from pdfwrite import pdf

out, word = sys.argv[1], sys.argv[2]
rnd = random.Random(7)
os.makedirs(out, exist_ok=True)

pages = [[f"page {p} line {n} of the long report" for n in range(50)] for p in range(1000)]
pages[-1][25] = f"the {word} is here"
pdf(f"{out}/pages.pdf", pages)

W = 'xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"'
R = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
OFFICE = R + "/officeDocument"
CT = "http://schemas.openxmlformats.org/package/2006/content-types"
PR = "http://schemas.openxmlformats.org/package/2006/relationships"


def package(path, main, content_type, parts):
    """A ZIP with the content types, the root relationship to `main`, and
    `parts`: (name, iterable of str pieces) written piece by piece."""
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=1) as z:
        z.writestr("[Content_Types].xml",
                   f'<?xml version="1.0"?><Types xmlns="{CT}"><Override PartName="/{main}" '
                   f'ContentType="{content_type}"/></Types>')
        z.writestr("_rels/.rels",
                   f'<?xml version="1.0"?><Relationships xmlns="{PR}">'
                   f'<Relationship Id="r1" Type="{OFFICE}" Target="{main}"/></Relationships>')
        for name, pieces in parts:
            with z.open(name, "w", force_zip64=True) as f:
                for piece in pieces:
                    f.write(piece.encode())


def docx(path, body):
    package(path, "word/document.xml",
            "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml",
            [("word/document.xml", body)])


def paragraph(text):
    return f"<w:p><w:r><w:t>{text}</w:t></w:r></w:p>"


docx(f"{out}/small.docx",
     [f'<?xml version="1.0"?><w:document {W}><w:body>', paragraph(f"the {word} is here"),
      "</w:body></w:document>"])

laughs = ['<!ENTITY l0 "laugh laugh laugh laugh">'] + [
    f'<!ENTITY l{i} "{f"&l{i - 1};" * 10}">' for i in range(1, 10)]
docx(f"{out}/entities.docx",
     [f'<?xml version="1.0"?><!DOCTYPE w:document [{"".join(laughs)}]>',
      f'<w:document {W}><w:body>', paragraph(f"the {word} is here"), paragraph("&l9;"),
      "</w:body></w:document>"])


def one_element():
    yield f'<?xml version="1.0"?><w:document {W}><w:body>'
    yield paragraph(f"the {word} is here")
    yield "<w:p><w:r><w:t>"
    block = "all work and no play " * 52428  # about 1 MiB
    for _ in range(1024):
        yield block
    yield "</w:t></w:r></w:p></w:body></w:document>"


docx(f"{out}/element.docx", one_element())

SHEET = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
STRINGS = 200_000
ROWS = 1_900_000


def shared_strings():
    yield f'<?xml version="1.0"?><sst {SHEET} count="{STRINGS}" uniqueCount="{STRINGS}">'
    for i in range(STRINGS - 1):
        yield f"<si><t>item {i} {rnd.getrandbits(64):x} {rnd.getrandbits(64):x}</t></si>"
    yield f"<si><t>the {word} is here</t></si></sst>"


def rows():
    yield f'<?xml version="1.0"?><worksheet {SHEET}><sheetData>'
    for r in range(1, ROWS + 1):
        s = STRINGS - 1 if r == ROWS else rnd.randrange(STRINGS - 1)
        yield (f'<row r="{r}"><c r="A{r}"><v>{rnd.getrandbits(40)}</v></c>'
               f'<c r="B{r}" t="s"><v>{s}</v></c><c r="C{r}"><v>{rnd.random():.12f}</v></c>'
               f'<c r="D{r}"><v>{rnd.getrandbits(40)}</v></c></row>')
    yield "</sheetData></worksheet>"


SS = R + "/sharedStrings"
WS = R + "/worksheet"
package(f"{out}/sheet.xlsx", "xl/workbook.xml",
        "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml",
        [("xl/workbook.xml", [f'<?xml version="1.0"?><workbook {SHEET} xmlns:r="{R}"><sheets>'
                              '<sheet name="Data" sheetId="1" r:id="s1"/></sheets></workbook>']),
         ("xl/_rels/workbook.xml.rels",
          [f'<?xml version="1.0"?><Relationships xmlns="{PR}">'
           f'<Relationship Id="s1" Type="{WS}" Target="worksheets/sheet1.xml"/>'
           f'<Relationship Id="s2" Type="{SS}" Target="sharedStrings.xml"/></Relationships>']),
         ("xl/sharedStrings.xml", shared_strings()),
         ("xl/worksheets/sheet1.xml", rows())])
