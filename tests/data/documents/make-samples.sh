#!/bin/sh
# Makes the sample documents of this folder with the writers that made them:
# pandoc 2.17 (docx, odt, epub, rtf, pptx), python3-docx 0.8 (a docx whose
# words are split across runs), python3-openpyxl 3.0 (xlsx), LibreOffice 7.4
# (every other format, converted from those), qpdf 11 (an encrypted PDF) and
# Info-ZIP's zip 3.0 (a .docx whose parts are encrypted in the ZIP). Run by hand when the samples must change:
#   tests/data/documents/make-samples.sh
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# Line by line as the readers give it: title, English, Chinese, a word split
# by its formatting ("Split wo|rd here"), a ligature, a hyphen at a line end.
cat >sample.md <<'MD'
# Velto sample document

The quick brown fox jumps over the lazy dog.

敏捷的棕色狐狸跳过了懒狗。

Split **wo**rd here.

A ﬁne ligature.

# Second part

Contract terms are hy-\
phenated at the end of a line.
MD
for kind in docx odt epub rtf pptx; do
  pandoc -s --metadata title=Velto -o "sample.$kind" sample.md
done

/usr/bin/python3 - <<'PY'
import docx, openpyxl
d = docx.Document()
d.add_paragraph("First paragraph.")
p = d.add_paragraph()
for piece in ("He", "llo ", "wor", "ld", " across ", "运", "行"):
    p.add_run(piece)
d.save("runs.docx")

wb = openpyxl.Workbook()
ws = wb.active
ws.title = "Summary"
ws.append(["Name", "Value"])
ws.append(["The quick brown fox", 42])
ws.append(["Pi", 3.25])
ws2 = wb.create_sheet("数据")
ws2.append(["城市", "人口"])
ws2.append(["敏捷的棕色狐狸", 7])
ws2["D5"] = "far cell"
wb.save("sample.xlsx")
PY

soffice --headless --convert-to doc sample.docx >/dev/null
soffice --headless --convert-to fodt sample.odt >/dev/null
soffice --headless --convert-to pdf sample.odt >/dev/null
soffice --headless --convert-to ods sample.xlsx >/dev/null
soffice --headless --convert-to fods sample.xlsx >/dev/null
soffice --headless --convert-to xls sample.xlsx >/dev/null
soffice --headless --convert-to odp sample.pptx >/dev/null
soffice --headless --convert-to ppt sample.pptx >/dev/null
soffice --headless --infilter=draw_pdf_import --convert-to odg sample.pdf >/dev/null

qpdf --encrypt secret secret 256 -- sample.pdf encrypted.pdf
mkdir parts && (cd parts && unzip -q ../sample.docx && zip -q -P secret -r ../encrypted.docx .)

cp sample.docx sample.pdf sample.odt sample.epub sample.rtf sample.pptx runs.docx \
  sample.xlsx sample.doc sample.fodt sample.ods sample.fods sample.xls sample.odp \
  sample.ppt sample.odg encrypted.pdf encrypted.docx "$here"/
