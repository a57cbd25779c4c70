#!/usr/bin/env python3
"""Writes the eight text blocks of reference SQL that the upgrader carries.

The blocks are built from the tables in data/ (UTF-8, tab-separated) and written in their text form:
Windows-1252, lines joined by CR LF, column lines of CREATE TABLE indented by a tab, batches ended by "GO"
lines for the blocks the script runner sends batch by batch. Each block's line and batch counts are fixed;
the generator stops with an error when the data does not produce them, so a data change can never ship a block
of another shape.

Usage: generate_blocks.py OUTPUT_DIR
Writes OUTPUT_DIR/<Block>.sql for every block and OUTPUT_DIR/text_blocks_data.cpp, which holds every block as
its lines in string literals (Windows-1252 bytes written as octal escapes; no literal is longer than a line,
so every compiler takes them).
"""

import csv
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "data")

# (name, lines, batches separated by GO, lines after the last GO)
BLOCK_SHAPES = [
    ("Memo1", 7340, 1315, 1),
    ("Memo2", 466, 84, 8),
    ("MemoFachv", 177, 3, 2),
    ("MemoSport", 639, 3, 2),
    ("MemoFachWLSB", 320, 160, 0),
    ("memoHelp", 11, 0, None),
    ("MemoBLZ1", 0, 0, None),
    ("MemoDSAFach", 328, 0, None),
]

CHART_TEMPLATES = [
    "Kulturverein",
    "KulturvereinUndSportverein",
    "MitBezahltenSport",
    "Monosportverein",
    "Sonstiger",
    "SportvereinMitAnlagevermogen",
    "SportvereinOhneAnlagevermogen",
]
TAX_KEY_TEMPLATES = [
    "KulturUndSportverein",
    "Kulturverein",
    "MitBezahltenSport",
    "Monosportverein",
    "Sonstiger",
    "SportvereinMitAnlagevermogen",
    "SportvereinOhneAnlagevermogen",
]

MONTHS_UPPER = ["JAN", "FEB", "MÄRZ", "APRIL", "MAI", "JUNI", "JULI", "AUG", "SEP", "OKT", "NOV", "DEZ"]
MONTHS_PLAN = ["Jan", "Feb", "Maerz", "April", "Mai", "Juni", "Juli", "Aug", "Sep", "Okt", "Nov", "Dez"]


class DataError(Exception):
    pass


def read_tsv(name):
    with open(os.path.join(DATA, name), encoding="utf-8", newline="") as f:
        return list(csv.DictReader(f, delimiter="\t", quoting=csv.QUOTE_NONE))


def literal(text):
    if "'" in text:
        raise DataError(f"a value holds a single quote: {text!r}")
    return "'" + text + "'"


def pad_before(sections, padding):
    """Spreads `padding` blank lines over the sections' leading blank runs, the first ones getting the rest."""
    count = len(sections)
    for i, section in enumerate(sections):
        extra = padding // count + (1 if i < padding % count else 0)
        section[0:0] = [""] * extra


# --- Memo1: chart-of-accounts templates -------------------------------------------------------------------

def chart_columns():
    numeric = "[numeric] (19, 8)"
    columns = [
        ("BUCHJAHR", "[smallint]", "NOT NULL"), ("KONTONR", "[int]", "NOT NULL"),
        ("BEZEICHG", "[varchar] (40)", "NULL"),
        ("ABHABEN", numeric, "NULL"), ("ABSOLL", numeric, "NULL"),
        ("JAHRUMSH", numeric, "NULL"), ("JAHRUMSS", numeric, "NULL"),
        ("BILANZGUV", "[varchar] (8)", "NULL"), ("KENNZAHL", "[varchar] (10)", "NULL"),
        ("KTOART", "[varchar] (40)", "NULL"), ("START", "[varchar] (20)", "NULL"),
        ("STSCHL", "[smallint]", "NULL"), ("KREDKONTO", "[int]", "NULL"), ("DEBITKTO", "[int]", "NULL"),
    ]
    for month in MONTHS_UPPER:
        columns += [("MOUMSH" + month, numeric, "NULL"), ("MOUMSS" + month, numeric, "NULL")]
    columns += [
        ("VERDICHTEN", "[varchar] (6)", "NULL"), ("KENNZUSTV", "[smallint]", "NULL"),
        ("SEITENZAHL", "[smallint]", "NULL"), ("SPERRE", "[varchar] (6)", "NULL"),
        ("FÄLLIGKEIT1", "[smallint]", "NULL"), ("SKONTO1_", numeric, "NULL"),
        ("FÄLLIGKEIT2", "[smallint]", "NULL"), ("SKONTO2_", numeric, "NULL"),
        ("FÄLLIGKEIT3", "[smallint]", "NULL"),
        ("HAUPTKONTO", numeric, "NULL"), ("VORLABHAB", numeric, "NULL"), ("VORLABSOLL", numeric, "NULL"),
        ("SEITENANZLE", numeric, "NULL"), ("VALUTA", "[varchar] (3)", "NULL"),
        ("PlanJahrSoll", numeric, "NULL"), ("PlanJahrHaben", numeric, "NULL"),
    ]
    for month in MONTHS_PLAN:
        columns += [("PlanSoll" + month, numeric, "NULL"), ("PlanHaben" + month, numeric, "NULL")]
    columns += [
        ("STSCH_U", "[varchar] (1)", "NULL"), ("KONTO_WGEWI", numeric, "NULL"), ("KONTO_WVERL", numeric, "NULL"),
        ("KOST_J_N", "[varchar] (6)", "NULL"), ("KontoArt", "[varchar] (40)", "NULL"),
        ("Bank", "[varchar] (6)", "NULL"), ("Unterkonto", "[varchar] (1)", "NULL"), ("HauptKto", "[int]", "NULL"),
        ("Bezeich2", "[varchar] (40)", "NULL"), ("KdLfNr", "[varchar] (30)", "NULL"),
        ("KennzGuV", "[varchar] (10)", "NULL"), ("KennzBilanz", "[varchar] (10)", "NULL"),
        ("KennzBWA", "[varchar] (10)", "NULL"), ("HHRest", numeric, "NULL"), ("OPS", "[varchar] (1)", "NULL"),
        ("Spende", "[char] (10)", "NULL"), ("KennzEU", "[char] (10)", "NULL"),
        ("BenutzerErf", "[varchar] (20)", "NULL"), ("BenutzerAend", "[varchar] (20)", "NULL"),
        ("DatumErf", "[datetime]", "NULL"), ("DatumAend", "[datetime]", "NULL"),
        ("Kassenstand", "[numeric] (18, 8)", "NULL"), ("Anfangsbestand", "[numeric] (18, 8)", "NULL"),
        ("AktBelegNr", "[numeric] (18, 8)", "NULL"), ("KB", "[char] (1)", "NULL"), ("EINAUS", "[char] (1)", "NULL"),
        ("Steuersammelkonto", "[varchar] (1)", "NULL"), ("KennzEUR", "[varchar] (7)", "NULL"),
    ]
    assert len(columns) == 106
    return columns


def drop_guard(table_tested, table_dropped):
    return ("IF EXISTS (SELECT TABLE_NAME FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME ='"
            + table_tested + "') DROP TABLE " + table_dropped)


def bracketed_create(table, columns, key_columns):
    lines = ["CREATE TABLE [dbo].[" + table + "] ("]
    lines += ["\t[" + name + "] " + type_ + " " + null + " ," for name, type_, null in columns]
    lines.append("\tCONSTRAINT [PK_" + table + "] PRIMARY KEY  CLUSTERED ")
    lines.append("\t(")
    lines += ["\t\t[" + c + "]" + ("," if i + 1 < len(key_columns) else "") for i, c in enumerate(key_columns)]
    lines.append("\t)  ON [PRIMARY] ")
    lines.append(") ON [PRIMARY]")
    return lines


# The columns every account insert names, in order; the optional ones go in before KennzEUR when the row has
# them. The list breaks after KOST_J_N onto the second line.
CHART_INSERT_HEAD = ["BUCHJAHR", "KONTONR", "BEZEICHG", "BILANZGUV", "KENNZAHL", "KTOART", "START", "VERDICHTEN",
                     "SPERRE", "VALUTA", "STSCH_U", "KOST_J_N"]
CHART_INSERT_TAIL = ["KontoArt", "Bank", "Unterkonto", "Bezeich2", "KdLfNr", "KennzGuV", "KennzBilanz", "KennzBWA",
                     "OPS", "BenutzerErf", "BenutzerAend", "Steuersammelkonto"]


def account_insert(table, row):
    values = {name: "''" for name in CHART_INSERT_HEAD + CHART_INSERT_TAIL}
    values["BUCHJAHR"] = "2010"
    values["KONTONR"] = str(int(row["KONTONR"]))
    for name in ("BEZEICHG", "BILANZGUV", "KENNZAHL", "START", "Bank", "Steuersammelkonto"):
        values[name] = literal(row[name])
    head = list(CHART_INSERT_HEAD)
    if row["VERDICHTEN"] == "-":
        head.remove("VERDICHTEN")
    tail = list(CHART_INSERT_TAIL)
    for name, quoted in (("STSCHL", False), ("KENNZUSTV", False), ("Spende", True)):
        if row[name] != "":
            tail.append(name)
            values[name] = literal(row[name]) if quoted else str(int(row[name]))
    tail.append("KennzEUR")
    values["KennzEUR"] = literal(row["KennzEUR"])
    names = head + tail
    return [
        "INSERT INTO [dbo].[" + table + "] (" + ", ".join("[" + n + "]" for n in head) + ",",
        ", ".join("[" + n + "]" for n in tail) + ")",
        "\tVALUES (" + ", ".join(values[n] for n in names) + ")",
    ]


def memo1():
    rows = read_tsv("chart_of_accounts.tsv")
    columns = chart_columns()
    sections = []
    lines_after = []
    for template in CHART_TEMPLATES:
        table = "F5Kont" + template
        drop = [drop_guard(table, table), "GO"]
        create = [""] + bracketed_create(table, columns, ["BUCHJAHR", "KONTONR"]) + ["GO"]
        inserts = []
        for row in (r for r in rows if r["template"] == template):
            inserts += [""] + account_insert(table, row) + ["GO"]
        if not inserts:
            raise DataError(f"no accounts for template {template}")
        sections.append((drop, create, inserts))
        lines_after = [""]
    natural = sum(len(d) + len(c) + len(i) for d, c, i in sections) + len(lines_after)
    pad_before([c for _, c, _ in sections], 7340 - natural)
    lines = []
    for drop, create, inserts in sections:
        lines += drop + create + inserts
    return lines + lines_after


# --- Memo2: tax-key templates -------------------------------------------------------------------------------

TAX_KEY_COLUMNS = [
    ("STEUERSCHL", "[smallint]", "NOT NULL"), ("MWSTKTO", "[int]", "NULL"), ("VORST_KTO", "[int]", "NULL"),
    ("BFG_BASIS", "[smallint]", "NULL"), ("BFB_GGKTO", "[smallint]", "NULL"), ("BEG", "[varchar] (5)", "NULL"),
    ("Klasse", "[char] (1)", "NULL"), ("LfdNr", "[int] IDENTITY (1, 1)", "NOT NULL"),
]


def memo2():
    keys = read_tsv("tax_keys.tsv")
    sections = []
    previous = None
    for template in TAX_KEY_TEMPLATES:
        table = "F5Dat" + template
        drop = []
        if previous:
            drop.append("SET IDENTITY_INSERT [dbo].[" + previous + "] OFF")
        drop += [drop_guard(table, table), "GO"]
        create = [""] + bracketed_create(table, TAX_KEY_COLUMNS, ["STEUERSCHL", "LfdNr"]) + ["GO"]
        inserts = []
        for i, key in enumerate(keys):
            inserts.append("")
            if i == 0:
                inserts.append("SET IDENTITY_INSERT [dbo].[" + table + "] ON")
            inserts += [
                "INSERT INTO [dbo].[" + table + "] ([STEUERSCHL],[MWSTKTO],[VORST_KTO],[Klasse],[LfdNr])",
                "\tVALUES (" + ",".join([key["STEUERSCHL"], key["MWSTKTO"], key["VORST_KTO"],
                                         literal(key["Klasse"]), key["LfdNr"]]) + ")",
                "GO",
            ]
        sections.append((drop, create, inserts))
        previous = table
    # The last switch-off stands after the last GO line, among blank lines: the script runner never sends it.
    lines_after = ["", "SET IDENTITY_INSERT [dbo].[" + previous + "] OFF"] + [""] * 6
    natural = sum(len(d) + len(c) + len(i) for d, c, i in sections) + len(lines_after)
    pad_before([c for _, c, _ in sections], 466 - natural)
    lines = []
    for drop, create, inserts in sections:
        lines += drop + create + inserts
    return lines + lines_after


# --- MemoFachv and MemoSport: federations and sports of schemes A and B ------------------------------------

def key_create(table, columns, key_name):
    lines = ["CREATE TABLE [dbo].[" + table + "]("]
    lines += ["\t[" + name + "] " + type_ + " " + null + "," for name, type_, null in columns]
    lines += [" CONSTRAINT [" + key_name + "] PRIMARY KEY CLUSTERED ", "(", "\t[KZ] ASC,", "\t[NUMMER] ASC",
              ") ON [PRIMARY]", ") ON [PRIMARY]"]
    return lines


def three_batch_script(guard_name, create, inserts, total_lines):
    drop = [drop_guard(guard_name, guard_name), "GO"]
    create = [""] + create + ["GO"]
    body = [""] + inserts + ["GO"]
    lines_after = ["", ""]
    natural = len(drop) + len(create) + len(body) + len(lines_after)
    pad_before([create], total_lines - natural)
    return drop + create + body + lines_after


def memo_fachv():
    rows = [r for r in read_tsv("fachverbaende.tsv") if r["KZ"] in ("A", "B")]
    create = key_create("fachverbaende", [("KZ", "[char](1)", "NOT NULL"), ("NUMMER", "[float]", "NOT NULL"),
                                          ("FACHVERBAN", "[varchar](36)", "NULL")], "PK_fachverbaende")
    inserts = ["INSERT [dbo].[fachverbaende] ([NUMMER], [FACHVERBAN], [KZ]) VALUES (" + r["NUMMER"] + ", N"
               + literal(r["FACHVERBAN"]) + ", N" + literal(r["KZ"]) + ")" for r in rows]
    return three_batch_script("fachverbaende", create, inserts, 177)


def sql_number_or_null(text):
    return text if text != "" else "NULL"


def memo_sport():
    rows = [r for r in read_tsv("sportarten.tsv") if r["KZ"] in ("A", "B")]
    create = key_create("Sportarten", [("KZ", "[char](1)", "NOT NULL"), ("NUMMER", "[float]", "NOT NULL"),
                                       ("SPORTART", "[varchar](31)", "NOT NULL"), ("VerbandNr", "[float]", "NULL")],
                        "PK_Sportarten_1")
    inserts = ["INSERT [dbo].[Sportarten] ([KZ], [NUMMER], [SPORTART], [VerbandNr]) VALUES (N" + literal(r["KZ"])
               + ", " + r["NUMMER"] + ", N" + literal(r["SPORTART"]) + ", " + sql_number_or_null(r["VerbandNr"]) + ")"
               for r in rows]
    return three_batch_script("sportarten", create, inserts, 639)


# --- MemoFachWLSB: scheme W ---------------------------------------------------------------------------------

def memo_fach_wlsb():
    sports = [r for r in read_tsv("sportarten.tsv") if r["KZ"] == "W"]
    federations = [r for r in read_tsv("fachverbaende.tsv") if r["KZ"] == "W"]
    statements = ["ALTER TABLE Sportarten ALTER COLUMN  SPORTART VARCHAR (120) NOT NULL"]
    # The number goes in as a quoted text; the server converts it.
    statements += ["INSERT INTO Sportarten (KZ, NUMMER, SPORTART, VerbandNr) VALUES ('W','" + r["NUMMER"] + "',"
                   + literal(r["SPORTART"]) + "," + sql_number_or_null(r["VerbandNr"]) + ")" for r in sports]
    statements.append("ALTER TABLE fachverbaende ALTER COLUMN FACHVERBAN VARCHAR (120) NOT NULL")
    statements += ["INSERT INTO fachverbaende (KZ, NUMMER, FACHVERBAN) VALUES ('W'," + r["NUMMER"] + ","
                   + literal(r["FACHVERBAN"]) + ")" for r in federations]
    lines = []
    for statement in statements:
        lines += [statement, "GO"]
    return lines


# --- memoHelp, MemoBLZ1, MemoDSAFach: blocks sent whole ------------------------------------------------------

def memo_help():
    lines = ["DELETE FROM tblHelp"]
    for r in read_tsv("help_topics.tsv"):
        lines.append("Insert Into tblHelp (PARENTID,FORM,CID,Bezeichnung,Benutzer,RadDat,Gruppe,PROGRAM,Memo) "
                     "Select PARENTID=-1, FORM=" + literal(r["FORM"]) + ", CID='', Bezeichnung="
                     + literal(r["Bezeichnung"]) + ", Benutzer='Morva', RadDat=" + literal(r["RadDat"])
                     + ", Gruppe=" + literal(r["Gruppe"]) + ", PROGRAM='FIBU',' '")
    return lines


def memo_dsa_fach():
    lines = []
    for r in read_tsv("dsa_federations.tsv"):
        pieces = r["Bezeichnung"].split("|")
        lines.append("INSERT INTO DSAFachverband (Nr, ")
        first = "Bezeichnung) VALUES (" + literal(r["Nr"]) + ",'" + pieces[0]
        rest = pieces[1:]
        if not rest:
            lines.append(first + "')")
            continue
        lines.append(first)
        lines += rest[:-1]
        lines.append(rest[-1] + "')")
        if "'" in r["Bezeichnung"]:
            raise DataError(f"a DSA name holds a single quote: {r['Bezeichnung']!r}")
    return lines


# --- checks and output ----------------------------------------------------------------------------------------

def is_separator(line):
    return line.strip(" \t\r\n\x00\x0b\x0c").upper() == "GO"


def check_shape(name, lines, expected_lines, expected_batches, expected_after):
    if len(lines) != expected_lines:
        raise DataError(f"{name}: {len(lines)} lines, expected {expected_lines}")
    separators = [i for i, line in enumerate(lines) if is_separator(line)]
    if len(separators) != expected_batches:
        raise DataError(f"{name}: {len(separators)} batches, expected {expected_batches}")
    if expected_after is not None and separators:
        after = len(lines) - 1 - separators[-1]
        if after != expected_after:
            raise DataError(f"{name}: {after} lines after the last GO, expected {expected_after}")
    for line in lines:
        if "\r" in line or "\n" in line:
            raise DataError(f"{name}: a line holds a line break: {line!r}")
        line.encode("cp1252")


def cpp_literal(data):
    out = []
    for byte in data:
        c = chr(byte)
        if c == "\\" or c == '"':
            out.append("\\" + c)
        elif 0x20 <= byte < 0x7F and c != "?":
            out.append(c)
        else:
            out.append("\\%03o" % byte)
    return '"' + "".join(out) + '"'


def write_if_changed(path, data):
    if os.path.exists(path):
        with open(path, "rb") as f:
            if f.read() == data:
                return
    with open(path, "wb") as f:
        f.write(data)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: generate_blocks.py OUTPUT_DIR\n")
        return 2
    out_dir = argv[1]
    os.makedirs(out_dir, exist_ok=True)
    builders = {"Memo1": memo1, "Memo2": memo2, "MemoFachv": memo_fachv, "MemoSport": memo_sport,
                "MemoFachWLSB": memo_fach_wlsb, "memoHelp": memo_help, "MemoBLZ1": lambda: [],
                "MemoDSAFach": memo_dsa_fach}
    cpp = ["// Generated by upgrade/reference/generate_blocks.py from upgrade/reference/data; edit those, not this.",
           '#include "text_blocks_data.h"', "", "namespace upgrade::internal {", "", "namespace {", ""]
    table = []
    try:
        for name, expected_lines, expected_batches, expected_after in BLOCK_SHAPES:
            lines = builders[name]()
            check_shape(name, lines, expected_lines, expected_batches, expected_after)
            encoded = [line.encode("cp1252") for line in lines]
            write_if_changed(os.path.join(out_dir, name + ".sql"), b"\r\n".join(encoded))
            cpp.append("constexpr const char* k" + name + "[] = {")
            cpp += ["    " + cpp_literal(line) + "," for line in encoded]
            if not encoded:
                cpp.append("    nullptr,")
            cpp.append("};")
            cpp.append("")
            table.append('    {"' + name + '", {k' + name + ", " + str(len(encoded)) + "}},")
    except (DataError, UnicodeEncodeError, KeyError, ValueError) as e:
        sys.stderr.write("generate_blocks.py: " + str(e) + "\n")
        return 1
    cpp += ["}  // namespace", "", "std::span<const BlockLines> EmbeddedBlocks() {",
            "  static constexpr BlockLines kBlocks[] = {"] + table
    cpp += ["  };", "  return kBlocks;", "}", "", "}  // namespace upgrade::internal", ""]
    write_if_changed(os.path.join(out_dir, "text_blocks_data.cpp"), "\n".join(cpp).encode("ascii"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
