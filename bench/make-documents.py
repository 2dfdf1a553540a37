#!/usr/bin/python3
# Writes the documents bench/documents-bench.sh searches: 300 PDFs of ten
# pages (bench/pdfwrite.py) in pdf/, and 1,000 office files in office/, a
# third each .docx (python3-docx), .xlsx (python3-openpyxl) and .odt
# (OpenDocument text written with zipfile).
# Every tenth file holds WORD once, on a line of its own page, row or
# paragraph.   make-documents.py OUT WORD
import os, random, sys, zipfile

from pdfwrite import pdf

out, word = sys.argv[1], sys.argv[2]
rnd = random.Random(11)
vocab = ["alpha", "bravo", "search", "document", "contract", "folder", "result", "window",
         "thread", "report", "line", "text", "value", "index", "entry", "stream"]


def sentence():
    return " ".join(rnd.choice(vocab) for _ in range(10))


os.makedirs(f"{out}/pdf")
for n in range(300):
    pages = [[sentence() for _ in range(50)] for _ in range(10)]
    if n % 10 == 0:
        pages[rnd.randrange(10)][rnd.randrange(50)] = f"the {word} is here"
    pdf(f"{out}/pdf/paper{n:03}.pdf", pages)

import docx, openpyxl
os.makedirs(f"{out}/office")
odt_content = ('<?xml version="1.0" encoding="UTF-8"?><office:document-content '
               'xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
               'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" office:version="1.2">'
               '<office:body><office:text>{}</office:text></office:body></office:document-content>')
odt_manifest = ('<?xml version="1.0" encoding="UTF-8"?><manifest:manifest '
                'xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0" manifest:version="1.2">'
                '<manifest:file-entry manifest:full-path="/" manifest:media-type="application/vnd.oasis.opendocument.text"/>'
                '<manifest:file-entry manifest:full-path="content.xml" manifest:media-type="text/xml"/>'
                '</manifest:manifest>')
for n in range(1000):
    paragraphs = [sentence() for _ in range(200)]
    if n % 10 == 0:
        paragraphs[rnd.randrange(200)] = f"the {word} is here"
    kind = n % 3
    if kind == 0:
        d = docx.Document()
        for p in paragraphs:
            d.add_paragraph(p)
        d.save(f"{out}/office/file{n:04}.docx")
    elif kind == 1:
        wb = openpyxl.Workbook()
        ws = wb.active
        for p in paragraphs:
            ws.append(p.split(" ", 1))
        wb.save(f"{out}/office/file{n:04}.xlsx")
    else:
        with zipfile.ZipFile(f"{out}/office/file{n:04}.odt", "w", zipfile.ZIP_DEFLATED) as z:
            z.writestr(zipfile.ZipInfo("mimetype"), "application/vnd.oasis.opendocument.text")
            z.writestr("META-INF/manifest.xml", odt_manifest)
            z.writestr("content.xml", odt_content.format("".join(f"<text:p>{p}</text:p>" for p in paragraphs)))
