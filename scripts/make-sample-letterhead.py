#!/usr/bin/env python3
"""Writes resources/sample-letterhead.pdf: the one-page A4 letterhead that the
default template starts with. Pure vector content with the standard Helvetica
fonts, so it stays small and prints sharp. Run again after changing it."""

import pathlib
import zlib

W, H = 595, 842
MM = 72 / 25.4

NAVY = (0.13, 0.20, 0.33)
TEAL = (0.16, 0.50, 0.52)
GREY = (0.42, 0.45, 0.50)
LIGHT = (0.80, 0.83, 0.86)


def rgb(c, stroke=False):
    return "%.3f %.3f %.3f %s" % (*c, "RG" if stroke else "rg")


def esc(text):
    return text.replace("\\", "\\\\").replace("(", "\\(").replace(")", "\\)")


def text(x, y, s, font="F1", size=8.0, color=GREY):
    return "BT /%s %.1f Tf %s %.2f %.2f Td (%s) Tj ET" % (font, size, rgb(color), x, y, esc(s))


# Helvetica widths (per 1000 em) for right-aligning short lines.
HELV = {c: 556 for c in "0123456789"}
HELV.update({" ": 278, ".": 278, ",": 278, "-": 333, "@": 1015, "+": 584, "/": 278, ":": 278,
             "a": 556, "b": 556, "c": 500, "d": 556, "e": 556, "f": 278, "g": 556, "h": 556, "i": 222,
             "j": 222, "k": 500, "l": 222, "m": 833, "n": 556, "o": 556, "p": 556, "q": 556, "r": 333,
             "s": 500, "t": 278, "u": 556, "v": 500, "w": 722, "x": 500, "y": 500, "z": 500,
             "A": 667, "B": 667, "C": 722, "D": 722, "E": 667, "F": 611, "G": 778, "H": 722, "I": 278,
             "J": 500, "K": 667, "L": 556, "M": 833, "N": 722, "O": 778, "P": 667, "Q": 778, "R": 722,
             "S": 667, "T": 611, "U": 722, "V": 667, "W": 944, "X": 667, "Y": 667, "Z": 611})


def width(s, size):
    return sum(HELV.get(c, 556) for c in s) * size / 1000


ops = []
# Quill mark: a teal disc with a navy nib stroke.
cx, cy, r = 20 * MM + 14, H - 22 * MM - 4, 14
k = 0.5523 * r
ops.append(rgb(TEAL))
ops.append("%.2f %.2f m %.2f %.2f %.2f %.2f %.2f %.2f c %.2f %.2f %.2f %.2f %.2f %.2f c "
           "%.2f %.2f %.2f %.2f %.2f %.2f c %.2f %.2f %.2f %.2f %.2f %.2f c f" % (
               cx + r, cy, cx + r, cy + k, cx + k, cy + r, cx, cy + r,
               cx - k, cy + r, cx - r, cy + k, cx - r, cy,
               cx - r, cy - k, cx - k, cy - r, cx, cy - r,
               cx + k, cy - r, cx + r, cy - k, cx + r, cy))
ops.append("1 1 1 rg %.2f %.2f m %.2f %.2f l %.2f %.2f l h f" % (cx - 6, cy - 8, cx + 7, cy + 9, cx - 2, cy - 9))
ops.append(text(20 * MM + 36, H - 22 * MM, "Beispiel & Partner", "F2", 17, NAVY))
ops.append(text(20 * MM + 36, H - 22 * MM - 12, "Beratung  |  Gestaltung  |  Druck", "F1", 8.5, TEAL))

right = W - 20 * MM
for i, line in enumerate(["Lindenallee 12", "10115 Berlin", "+49 30 1234 5678", "post@beispiel-partner.de"]):
    ops.append(text(right - width(line, 8), H - 17 * MM - i * 10.5, line, "F1", 8, GREY))

# Thin rule under the head.
ops.append("%s 0.6 w %.2f %.2f m %.2f %.2f l S" % (rgb(LIGHT, True), 20 * MM, H - 33 * MM, right, H - 33 * MM))

# Return-address line above the address window.
ops.append(text(25 * MM, H - 50 * MM, "Beispiel & Partner  ·  Lindenallee 12  ·  10115 Berlin".replace("·", "-"),
                "F1", 6.5, GREY))

# Fold marks and punch mark at the left edge.
for y_mm, length in ((105, 5), (148.5, 8), (210, 5)):
    y = H - y_mm * MM
    ops.append("%s 0.5 w %.2f %.2f m %.2f %.2f l S" % (rgb(LIGHT, True), 5 * MM, y, (5 + length) * MM, y))

# Footer: three columns over a rule.
fy = 22 * MM
ops.append("%s 0.6 w %.2f %.2f m %.2f %.2f l S" % (rgb(LIGHT, True), 20 * MM, fy + 12, right, fy + 12))
columns = [
    ["Beispiel & Partner GbR", "Inhaber: A. Beispiel, B. Partner", "USt-IdNr. DE 123 456 789"],
    ["Musterbank Berlin", "IBAN DE00 1234 5678 9012 3456 78", "BIC MUSTDEBBXXX"],
    ["www.beispiel-partner.de", "post@beispiel-partner.de", "Telefon +49 30 1234 5678"],
]
colx = [20 * MM, 20 * MM + (right - 20 * MM) / 3, 20 * MM + 2 * (right - 20 * MM) / 3]
for x, col in zip(colx, columns):
    for i, line in enumerate(col):
        ops.append(text(x, fy - i * 9, line, "F2" if i == 0 else "F1", 6.8, NAVY if i == 0 else GREY))

content = zlib.compress("\n".join(ops).encode("latin-1"), 9)

objects = [
    b"<< /Type /Catalog /Pages 2 0 R >>",
    b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
    b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 4 0 R "
    b"/Resources << /Font << /F1 5 0 R /F2 6 0 R >> >> >>",
    b"<< /Length %d /Filter /FlateDecode >>\nstream\n" % len(content) + content + b"\nendstream",
    b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
    b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold /Encoding /WinAnsiEncoding >>",
    b"<< /Title (Sample letterhead) /Creator (Quillary) >>",
]
out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
offsets = []
for number, body in enumerate(objects, start=1):
    offsets.append(len(out))
    out += b"%d 0 obj\n" % number + body + b"\nendobj\n"
xref = len(out)
out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
out += b"".join(b"%010d 00000 n \n" % o for o in offsets)
out += b"trailer\n<< /Size %d /Root 1 0 R /Info 7 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)

target = pathlib.Path(__file__).resolve().parent.parent / "resources" / "sample-letterhead.pdf"
target.write_bytes(out)
print(target, len(out), "bytes")
