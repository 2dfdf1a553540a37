#!/usr/bin/python3
# Writes the documents bench/documents-bench.sh searches: 300 PDFs of ten
# pages (written directly: a Helvetica text object per page, its stream
# deflated as PDF writers do, so the words are not in the raw bytes) in pdf/, and
# 1,000 office files in office/, a third each .docx (python3-docx), .xlsx
# (python3-openpyxl) and .odt (OpenDocument text written with zipfile).
# Every tenth file holds WORD once, on a line of its own page, row or
# paragraph.   make-documents.py OUT WORD
import os, random, sys, zipfile, zlib

out, word = sys.argv[1], sys.argv[2]
rnd = random.Random(11)
vocab = ["alpha", "bravo", "search", "document", "contract", "folder", "result", "window",
         "thread", "report", "line", "text", "value", "index", "entry", "stream"]


def sentence():
    return " ".join(rnd.choice(vocab) for _ in range(10))


def pdf(path, pages):
    objects = ["<< /Type /Catalog /Pages 2 0 R >>", None,
               "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"]
    kids = []
    for lines in pages:
        body = zlib.compress(("BT /F1 11 Tf 14 TL 56 780 Td " + " ".join(f"({l}) '" for l in lines)
                              + " ET").encode()).decode("latin-1")
        objects.append(f"<< /Length {len(body)} /Filter /FlateDecode >>\nstream\n{body}\nendstream")
        objects.append(f"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] "
                       f"/Resources << /Font << /F1 3 0 R >> >> /Contents {len(objects)} 0 R >>")
        kids.append(f"{len(objects)} 0 R")
    objects[1] = f"<< /Type /Pages /Kids [{' '.join(kids)}] /Count {len(kids)} >>"
    data, offsets = b"%PDF-1.4\n", []
    for i, o in enumerate(objects):
        offsets.append(len(data))
        data += f"{i + 1} 0 obj\n{o}\nendobj\n".encode("latin-1")
    xref = len(data)
    data += f"xref\n0 {len(objects) + 1}\n0000000000 65535 f \n".encode()
    data += "".join(f"{o:010} 00000 n \n" for o in offsets).encode()
    data += f"trailer\n<< /Size {len(objects) + 1} /Root 1 0 R >>\nstartxref\n{xref}\n%%EOF\n".encode()
    open(path, "wb").write(data)


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
