#!/usr/bin/env python3
"""Checks the sports federation, sports and DSA federation tables of this directory.

The three files feed the scripts that re-create `fachverbaende` and `Sportarten` on every upgrade and
seed `DSAFachverband` once. The scripts are sent as Windows-1252 text with every name in single quotes,
so a name that does not encode, or that carries a quote, breaks a batch in every client database.

Prints every failure and exits 1, or prints one summary line and exits 0.
"""

import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SCHEME_ORDER = "ABW"
RKB_NAME = "RKB &quot;Solidarität&quot;"

failures = []


def fail(message):
    failures.append(message)


# ---------------------------------------------------------------- file reading


def read_tsv(name, header):
    """Returns the data rows as lists of fields, each with its line number in front."""
    path = os.path.join(HERE, name)
    try:
        with open(path, "rb") as f:
            raw = f.read()
    except OSError as e:
        fail(f"{name}: cannot read: {e}")
        return []
    if b"\r" in raw:
        fail(f"{name}: contains carriage returns (lines must end in LF only)")
    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError as e:
        fail(f"{name}: not UTF-8: {e}")
        return []
    if text.startswith("\ufeff"):
        fail(f"{name}: starts with a byte order mark")
        text = text[1:]
    if not text.endswith("\n"):
        fail(f"{name}: last line has no line end")
    lines = text.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    if not lines or lines[0] != header:
        fail(f"{name}: first line must be {header!r}")
        return []
    width = header.count("\t") + 1
    rows = []
    for number, line in enumerate(lines[1:], start=2):
        fields = line.split("\t")
        if len(fields) != width:
            fail(f"{name}:{number}: {len(fields)} fields, expected {width}")
            continue
        rows.append([number] + fields)
    return rows


def check_name(where, name, max_len=None):
    """Rules every stored name follows, whatever its table."""
    if name == "":
        fail(f"{where}: empty name")
        return
    if name != name.strip(" "):
        fail(f"{where}: leading or trailing blank in {name!r}")
    if "'" in name:
        fail(f"{where}: single quote in {name!r}")
    if name.startswith('"'):
        fail(f"{where}: quoted field {name!r}")
    try:
        name.encode("cp1252")
    except UnicodeEncodeError:
        fail(f"{where}: not encodable in Windows-1252: {name!r}")
    if max_len is not None and len(name) > max_len:
        fail(f"{where}: {name!r} has {len(name)} characters, at most {max_len} allowed")


def parse_int(where, text):
    if text.isdigit() and str(int(text)) == text:
        return int(text)
    fail(f"{where}: {text!r} is not a plain non-negative integer")
    return None


# ---------------------------------------------------------------- numbered tables


def parse_numbered(name, rows):
    """Turns (line, KZ, NUMMER, name, ...) rows into dicts and checks order and uniqueness."""
    parsed = []
    last = None
    seen = set()
    for line, kz, nummer, text, *rest in rows:
        where = f"{name}:{line}"
        if kz not in SCHEME_ORDER:
            fail(f"{where}: scheme {kz!r} is not one of A, B, W")
            continue
        number = parse_int(where, nummer)
        if number is None:
            continue
        key = (SCHEME_ORDER.index(kz), number)
        if key in seen:
            fail(f"{where}: ({kz}, {number}) occurs twice")
        elif last is not None and key < last:
            fail(f"{where}: ({kz}, {number}) out of order (schemes A, B, W, numbers ascending)")
        seen.add(key)
        last = key
        parsed.append({"where": where, "kz": kz, "nr": number, "name": text, "rest": rest})
    return parsed


def by_scheme(rows):
    groups = {kz: [] for kz in SCHEME_ORDER}
    for row in rows:
        groups[row["kz"]].append(row)
    return groups


def check_scheme(label, rows, count, low, high, max_len, gapless=False, longest=None):
    """Count, number range, name lengths and in-scheme uniqueness of one scheme."""
    if len(rows) != count:
        fail(f"{label}: {len(rows)} rows, expected {count}")
    numbers = [r["nr"] for r in rows]
    if numbers and (min(numbers) != low or max(numbers) != high):
        fail(f"{label}: numbers run from {min(numbers)} to {max(numbers)}, expected {low} to {high}")
    if gapless and numbers != list(range(low, low + len(numbers))):
        fail(f"{label}: numbers have gaps")
    names = {}
    for r in rows:
        check_name(r["where"], r["name"], max_len)
        if r["name"] in names:
            fail(f"{r['where']}: name {r['name']!r} already used at {names[r['name']]}")
        names.setdefault(r["name"], r["where"])
    if longest is not None and rows:
        actual = max(len(r["name"]) for r in rows)
        if actual != longest:
            fail(f"{label}: longest name has {actual} characters, expected exactly {longest}")


def check_telling(label, rows, expected):
    """expected maps a number to the name, or to (name, VerbandNr text)."""
    index = {r["nr"]: r for r in rows}
    for number, want in expected.items():
        row = index.get(number)
        if row is None:
            fail(f"{label}: row {number} missing")
            continue
        got = row["name"] if isinstance(want, str) else (row["name"], row["rest"][0])
        if got != want:
            fail(f"{row['where']}: expected {want!r}, found {got!r}")


# ---------------------------------------------------------------- fachverbaende.tsv


def check_federations():
    rows = parse_numbered("fachverbaende.tsv", read_tsv("fachverbaende.tsv", "KZ\tNUMMER\tFACHVERBAN"))
    groups = by_scheme(rows)
    check_scheme("federations A", groups["A"], 102, 0, 101, 36, gapless=True)
    check_scheme("federations B", groups["B"], 54, 1, 99, 36)
    check_scheme("federations W", groups["W"], 52, 1, 63, 74, longest=74)
    check_telling("federations A", groups["A"], {0: "Gesamtmitglieder", 1: "ADAC", 101: "Special Olympics"})
    check_telling("federations B", groups["B"], {1: "Badminton", 51: "Aikido"})
    check_telling("federations W", groups["W"], {1: "Baden-Württembergischer Badmintonverband e.V."})
    # Zipfelbob, the last sport of scheme B, is counted with federation B 5, so that one must look after sled sports
    sled = [f for f in groups["B"] if f["nr"] == 5]
    if sled and not any(word in sled[0]["name"] for word in ("Bob", "Schlitten", "Rodel")):
        fail(f"{sled[0]['where']}: federation B 5 {sled[0]['name']!r} is no bob or sled federation")
    return groups


# ---------------------------------------------------------------- sportarten.tsv


def check_links(label, rows, federation_numbers, null_count):
    """VerbandNr is empty (NULL) or the number of a federation of the same scheme."""
    nulls = 0
    for r in rows:
        link = r["rest"][0]
        if link == "":
            nulls += 1
            continue
        number = parse_int(r["where"], link)
        if number is not None and number not in federation_numbers:
            fail(f"{r['where']}: VerbandNr {number} is no federation of scheme {r['kz']}")
    if nulls != null_count:
        fail(f"{label}: {nulls} rows without VerbandNr, expected {null_count}")


def check_sports(federations):
    header = "KZ\tNUMMER\tSPORTART\tVerbandNr"
    rows = parse_numbered("sportarten.tsv", read_tsv("sportarten.tsv", header))
    groups = by_scheme(rows)
    numbers = {kz: {f["nr"] for f in federations[kz]} for kz in SCHEME_ORDER}
    check_scheme("sports A", groups["A"], 304, 0, 303, 31, gapless=True)
    check_scheme("sports B", groups["B"], 312, 0, 311, 31, gapless=True)
    check_scheme("sports W", groups["W"], 106, 0, 201, 40, longest=40)
    check_links("sports A", groups["A"], numbers["A"], 301)
    check_links("sports B", groups["B"], numbers["B"], 0)
    check_links("sports W", groups["W"], numbers["W"], 54)
    check_telling("sports A", groups["A"], {0: ("Gesamtmitglieder", "59"), 1: ("Aerobic, Sport-Aerobic", "")})
    check_telling("sports B", groups["B"], {1: ("Aikido", "51"), 311: ("Zipfelbob", "5")})
    check_telling("sports W", groups["W"], {0: ("Gesamtmitglieder", "")})
    rkb = [r for r in groups["W"] if r["name"] == RKB_NAME]
    if len(rkb) != 1:
        fail(f"sports W: {len(rkb)} rows named {RKB_NAME!r}, expected exactly one")
    return groups


# ---------------------------------------------------------------- dsa_federations.tsv


def expected_dsa_codes():
    codes = [n for n in range(1, 64) if n not in (4, 54)]
    codes += list(range(101, 121))
    codes += [n for n in range(501, 526) if n not in (518, 519, 520)]
    codes += list(range(801, 805)) + [999]
    return {f"{n:03d}" for n in codes}


def final_dsa_name(stored):
    """What the table holds once the line breaks became blanks and double blanks were merged."""
    return stored.replace("|", " ").replace("  ", " ")


def check_breaks(where, stored):
    """Returns the characters that precede the breaks of one name."""
    if stored.startswith("|") or stored.endswith("|"):
        fail(f"{where}: line break at the start or end of {stored!r}")
        return []
    before = []
    for i, ch in enumerate(stored):
        if ch != "|":
            continue
        if stored[i + 1] == " " or stored[i + 1] == "|":
            fail(f"{where}: line break followed by a blank or another break in {stored!r}")
        if stored[i - 1] not in " -":
            fail(f"{where}: line break after {stored[i - 1]!r} (must follow a blank or a hyphen)")
        before.append(stored[i - 1])
    return before


def check_dsa_names(rows):
    per_name = {0: 0, 1: 0, 2: 0}
    before = []
    finals = {}
    for line, code, stored in rows:
        where = f"dsa_federations.tsv:{line}"
        check_name(where, stored)
        breaks = stored.count("|")
        per_name[min(breaks, 2)] += 1
        if breaks > 2:
            fail(f"{where}: {breaks} line breaks, at most two expected")
        before += check_breaks(where, stored)
        final = final_dsa_name(stored)
        if len(final) > 77:
            fail(f"{where}: final name {final!r} has {len(final)} characters, at most 77 allowed")
        if "  " in final:
            fail(f"{where}: final name {final!r} keeps a double blank")
        finals[code] = (final, breaks, where)
    return per_name, before, finals


def check_dsa_telling(finals):
    expected = {
        "101": "Allgemeiner Deutscher Hochschulsportverband (ADH)",
        "001": "American Football Verband Deutschland e.V. (AFVD)",
        "024": "Deutscher Fussball- Bund e.V. (DFB)",
        "501": "Badischer Turner- Bund (BTB)",
        "801": "Deutscher Rock\u2018n\u2018Roll und Boogie Woogie Verband e.V. (DRBV)",
        "999": "Sonstige Verbände",
    }
    for code, want in expected.items():
        if code not in finals:
            fail(f"dsa: code {code} missing")
        elif finals[code][0] != want:
            fail(f"{finals[code][2]}: final name {finals[code][0]!r}, expected {want!r}")
    if "801" in finals and finals["801"][1] != 2:
        fail(f"{finals['801'][2]}: code 801 must carry two line breaks")
    if "999" in finals and finals["999"][1] != 0:
        fail(f"{finals['999'][2]}: code 999 must carry no line break")


def check_dsa():
    rows = read_tsv("dsa_federations.tsv", "Nr\tBezeichnung")
    codes = [code for _, code, _ in rows]
    for line, code, _ in rows:
        if len(code) != 3 or not code.isdigit():
            fail(f"dsa_federations.tsv:{line}: code {code!r} is not three digits")
    if len(rows) != 108:
        fail(f"dsa: {len(rows)} rows, expected 108")
    if len(set(codes)) != len(codes):
        fail("dsa: codes repeat")
    expected = expected_dsa_codes()
    if set(codes) != expected:
        fail(f"dsa: missing codes {sorted(expected - set(codes))}, unexpected {sorted(set(codes) - expected)}")
    if codes and (codes[0] != "101" or codes[-1] != "999"):
        fail(f"dsa: first code {codes[0]}, last {codes[-1]}; expected 101 first and 999 last")
    per_name, before, finals = check_dsa_names(rows)
    if (per_name[0], per_name[1], per_name[2]) != (2, 100, 6):
        fail(f"dsa: {per_name[1]} names with one break, {per_name[2]} with two, {per_name[0]} with none; "
             "expected 100, 6 and 2")
    if len(before) != 112:
        fail(f"dsa: {len(before)} line breaks, expected 112")
    if before.count("-") != 21:
        fail(f"dsa: {before.count('-')} line breaks follow a hyphen, expected 21")
    check_dsa_telling(finals)
    return len(rows), len(before)


# ---------------------------------------------------------------- main


def counts(groups):
    return ", ".join(f"{kz} {len(groups[kz])}" for kz in SCHEME_ORDER)


def main():
    federations = check_federations()
    sports = check_sports(federations)
    dsa_rows, dsa_breaks = check_dsa()
    if failures:
        for message in failures:
            print(message)
        print(f"{len(failures)} failure(s)")
        return 1
    print(f"OK: fachverbaende {sum(map(len, federations.values()))} rows ({counts(federations)}), "
          f"sportarten {sum(map(len, sports.values()))} rows ({counts(sports)}), "
          f"dsa_federations {dsa_rows} rows with {dsa_breaks} line breaks")
    return 0


if __name__ == "__main__":
    sys.exit(main())
