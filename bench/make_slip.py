#!/usr/bin/env python3
"""Writes benchmark slips in the counter's format (code page 437, CR LF).

  make_slip.py sample OUT            the three-copy PAMI slip of 30 items
  make_slip.py lines N OUT           a slip of about N lines in many sections
  make_slip.py text IN OUT           the printable text of a slip (UTF-8), the
                                     input of the text-only peers
  make_slip.py text437 IN OUT        the same in code page 437

Every slip line is "<section digit><line code> <text>", the text at most 42
characters. The first section carries the header, the upper block and the
two barcode lines; every later one its own items, a signature line and the
section end, so every later section becomes one printed receipt.
"""
import sys

HEADER = [
    "FARMACIA DEL CENTRO S.R.L.",
    "Av. San Martín 1234 - Viedma (R.N.)",
    "CUIT 30-71234567-8   IIBB 123-456789",
    "IVA RESPONSABLE INSCRIPTO",
    "FACTURA B  Nro 0003-00012345",
    "Fecha: 06/12/2026  10:32   Caja 1",
]
UPPER = [
    (1, "Cliente: García, José Ñanco"),
    (2, "DNI 12.345.678   Afil. 150123456789"),
    (3, "Obra social: PAMI - Plan 100%"),
]
PRODUCTS = [
    "IBUPROFENO 400 MG X 20 COMP", "AMOXICILINA 500 MG X 16 CAPS",
    "PARACETAMOL 500 MG X 30 COMP", "ENALAPRIL 10 MG X 30 COMP",
    "OMEPRAZOL 20 MG X 28 CAPS", "LOSARTAN 50 MG X 30 COMP",
    "METFORMINA 850 MG X 60 COMP", "ATORVASTATINA 20 MG X 30",
    "LEVOTIROXINA 50 MCG X 50", "CLONAZEPAM 0,5 MG X 30 COMP",
]


def amount(cents):
    whole, frac = divmod(cents, 100)
    digits = f"{whole:,}".replace(",", ".")
    return f"{digits},{frac:02d}"


def items(count, seed):
    """`count` item lines (two slip lines per product: name, quantity)."""
    out = []
    for i in range(count):
        price = 1000 + ((seed + i) * 7919) % 900000
        if i % 2 == 0:
            name = PRODUCTS[(seed + i) % len(PRODUCTS)]
            out.append(f"{name:<32}{amount(price):>10}")
        else:
            out.append(f"  1 x {amount(price)}")
    return out


def line(section, code, text):
    return f"{section}{code:02d} {text}"


def sample():
    """Three copies of one PAMI receipt with 30 items each."""
    total = "2.365,25"
    rows = []
    for copy in (1, 2, 3):
        if copy == 1:
            rows += [line(1, 0, h) for h in HEADER]
            rows += [line(1, c, t) for c, t in UPPER]
        # The insurer is named on an item line: that is what makes the
        # receipts carry the EAN and the Code 128.
        rows.append(line(copy, 30, "Cobertura PAMI 100%"))
        rows += [line(copy, 30, t) for t in items(30, 0)]
        rows.append(line(copy, 30, "* IMPORTE                     $ 4.730,50"))
        rows.append(line(copy, 30, f"* CLIENTE                     $ {total}"))
        if copy == 1:
            rows.append(line(1, 75, f"*A IMPUTAR:                   $ {total}"))
            rows.append(line(1, 81, "Receta/Matricula: 0000000001234"))
            rows.append(line(1, 82, "Codigo Autorizacion:12345678901234567890"))
            rows.append(line(1, 90, "Comprobante: 0003-00012345"))
            rows.append(line(1, 91, "Gracias por su compra"))
        if copy == 2:
            rows.append(line(2, 30, "C.A.E.: 76123456789012   Vto: 16/12/2026"))
        rows.append(line(copy, 98, "Firma del farmacéutico: ______________"))
        rows.append(line(copy, 99, "-" * 42))
    return rows


def many(total_lines):
    """About `total_lines` lines: the sample's first section, then sections
    of 20 items each until the count is reached (the last one shorter)."""
    rows = [line(1, 0, h) for h in HEADER[:3]]
    rows.append(line(1, 3, "Obra social: PAMI - Plan 100%"))
    rows.append(line(1, 99, "-" * 42))
    section = 2
    while len(rows) < total_lines:
        room = total_lines - len(rows) - 2  # the signature and the end
        rows += [line(section, 30, t) for t in items(max(1, min(20, room)), len(rows))]
        rows.append(line(section, 98, "Firma del farmacéutico: ______________"))
        rows.append(line(section, 99, "-" * 42))
        section = 2 if section == 9 else section + 1
    return rows


def write_slip(rows, path):
    with open(path, "wb") as f:
        f.write("".join(r + "\r\n" for r in rows).encode("cp437"))


def printable_text(slip_path, out_path, encoding="utf-8"):
    """The slip's text columns, as a text-only printer would get them."""
    with open(slip_path, "rb") as f:
        lines = f.read().decode("cp437").split("\r\n")
    with open(out_path, "w", encoding=encoding) as f:
        for l in lines:
            if len(l) >= 4:
                f.write(l[4:46] + "\n")


def main(argv):
    if len(argv) == 3 and argv[1] == "sample":
        write_slip(sample(), argv[2])
    elif len(argv) == 4 and argv[1] == "lines":
        write_slip(many(int(argv[2])), argv[3])
    elif len(argv) == 4 and argv[1] == "text":
        printable_text(argv[2], argv[3])
    elif len(argv) == 4 and argv[1] == "text437":
        printable_text(argv[2], argv[3], "cp437")
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
