#!/usr/bin/env python3
"""Writes resources/sample-letterhead.pdf (English) and
resources/sample-letterhead_de.pdf (German): the one-page A4 placeholder that
the default template starts with. It must never pass for real stationery: it
says in large type that the user's letterhead belongs here and how to put it
there, and carries no name, address or bank details. Pure vector content with
the standard Helvetica fonts, so it stays small. Run again after changing it."""


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


TEXTS = {
    "": ("Your letterhead here",
         "Drop your own stationery PDF on the start page in the Quillary window.",
         "Your footer here: address, bank details, register"),
    "_de": ("Ihr Briefkopf",
            "Ziehen Sie Ihr eigenes Briefpapier (PDF) im Quillary-Fenster auf die Startseite.",
            "Ihre Fu\u00dfzeile: Anschrift, Bankverbindung, Register"),
}


def dashed_box(x, y, w, h):
    return "%s 1.2 w [6 4] 0 d %.2f %.2f %.2f %.2f re S [] 0 d" % (rgb(TEAL, True), x, y, w, h)


def centred(y, s, font, size, color):
    return text((W - width(s, size)) / 2, y, s, font, size, color)


def page_content(title, line, footer):
    ops = []
    left, right = 20 * MM, W - 20 * MM
    # The head: a dashed frame where a letterhead goes, filled with the note.
    top = H - 14 * MM
    ops.append(dashed_box(left, top - 36 * MM, right - left, 36 * MM))
    ops.append(centred(top - 17 * MM, title, "F2", 26, NAVY))
    ops.append(centred(top - 26 * MM, line, "F1", 9.5, GREY))
    # Fold marks and punch mark at the left edge: where they belong on any letter.
    for y_mm, length in ((105, 5), (148.5, 8), (210, 5)):
        y = H - y_mm * MM
        ops.append("%s 0.5 w %.2f %.2f m %.2f %.2f l S" % (rgb(LIGHT, True), 5 * MM, y, (5 + length) * MM, y))
    # The foot: a dashed frame where the stationery's footer goes.
    ops.append(dashed_box(left, 12 * MM, right - left, 16 * MM))
    ops.append(centred(12 * MM + 6 * MM, footer, "F1", 8.5, GREY))
    return zlib.compress("\n".join(ops).encode("cp1252"), 9)


def write(suffix):
    content = page_content(*TEXTS[suffix])
    objects = [
        b"<< /Type /Catalog /Pages 2 0 R >>",
        b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 4 0 R "
        b"/Resources << /Font << /F1 5 0 R /F2 6 0 R >> >> >>",
        b"<< /Length %d /Filter /FlateDecode >>\nstream\n" % len(content) + content + b"\nendstream",
        b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
        b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold /Encoding /WinAnsiEncoding >>",
        b"<< /Title (Letterhead placeholder) /Creator (Quillary) >>",
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

    target = pathlib.Path(__file__).resolve().parent.parent / "resources" / ("sample-letterhead%s.pdf" % suffix)
    target.write_bytes(out)
    print(target, len(out), "bytes")


for suffix in TEXTS:
    write(suffix)
