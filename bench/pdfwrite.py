# Writes a PDF directly: a Helvetica text object per page, its stream
# deflated as PDF writers do, so the words are not in the raw bytes.
import zlib


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
