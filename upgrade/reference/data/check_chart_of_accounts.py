#!/usr/bin/env python3
"""Checks chart_of_accounts.tsv, the seven chart-of-accounts templates that the upgrader's Memo1 script fills.

usage: check_chart_of_accounts.py

Reads chart_of_accounts.tsv beside this script. Prints every failed check and exits 1, or prints one summary
line and exits 0. The generator of Memo1 trusts this file: every value lands in an INSERT as it stands, so a
quote in a name or a count that drifts would only show up on a client database.
"""
import collections
import os
import re
import sys

HEADER = ("template\tKONTONR\tBEZEICHG\tBILANZGUV\tKENNZAHL\tSTART\tSTSCHL\tKENNZUSTV\tSpende\tBank\t"
          "Steuersammelkonto\tKennzEUR\tVERDICHTEN")
COLUMNS = HEADER.split("\t")

# Template, rows, lowest and highest account number, in the order the script writes the templates.
TEMPLATES = [
    ("Kulturverein", 192, 55, 9000),
    ("KulturvereinUndSportverein", 247, 55, 9000),
    ("MitBezahltenSport", 228, 55, 9000),
    ("Monosportverein", 104, 705, 9000),
    ("Sonstiger", 201, 55, 9000),
    ("SportvereinMitAnlagevermogen", 183, 55, 9000),
    ("SportvereinOhneAnlagevermogen", 146, 705, 9000),
]
TOTAL_ROWS = 1301

DOMAINS = {
    "BILANZGUV": {"Wahr", ""},
    "KENNZAHL": {"A1", "A2", "B1", "B2", "C1", "C2", "D1", "D2", ""},
    "START": {"ohne Steuer", "VorSteuer", "MehrwertSteuer"},
    "STSCHL": {"", "7", "19"},
    "KENNZUSTV": {"", "66", "81", "86"},
    "Spende": {"", "J", "N"},
    "Bank": {"Wahr", "Falsch"},
    "Steuersammelkonto": {"J", ""},
    "VERDICHTEN": {"", "-"},
}
KENNZ_EUR = re.compile(r"^(I|II|III|IV|V|VI|VII)[AB][1-8]$")
KONTONR = re.compile(r"^[1-9][0-9]*$")

# Counts over all templates: (description, predicate, expected).
TOTALS = [
    ("START 'ohne Steuer'", lambda r: r["START"] == "ohne Steuer", 919),
    ("START 'VorSteuer'", lambda r: r["START"] == "VorSteuer", 290),
    ("START 'MehrwertSteuer'", lambda r: r["START"] == "MehrwertSteuer", 92),
    ("Bank 'Wahr'", lambda r: r["Bank"] == "Wahr", 83),
    ("STSCHL named", lambda r: r["STSCHL"] != "", 128),
    ("KENNZUSTV named", lambda r: r["KENNZUSTV"] != "", 157),
    ("Spende named", lambda r: r["Spende"] != "", 21),
    ("Steuersammelkonto 'J'", lambda r: r["Steuersammelkonto"] == "J", 88),
    ("VERDICHTEN '-'", lambda r: r["VERDICHTEN"] == "-", 2),
]
DISTINCT_KENNZ_EUR = 66

# Rows of Kulturverein whose values other parts of the upgrader and its tests rely on.
KULTURVEREIN_ROWS = {
    55: {"BEZEICHG": "Bebaute Grundstücke", "START": "ohne Steuer", "Bank": "Falsch"},
    920: {"BEZEICHG": "Kasse Hauptverein", "START": "ohne Steuer", "Bank": "Wahr"},
    3220: {"BEZEICHG": "Spenden", "START": "ohne Steuer", "BILANZGUV": "Wahr", "KENNZAHL": "A1", "Spende": "J",
           "KennzEUR": "IIA1"},
    4111: {"BEZEICHG": "Pachteinnahmen  7 %  USt", "START": "MehrwertSteuer", "STSCHL": "7", "KENNZUSTV": "86",
           "KENNZAHL": "B1", "KennzEUR": "IIIA2"},
    4298: {"BEZEICHG": "S - Umsatzsteuer  7 %", "START": "ohne Steuer", "Steuersammelkonto": "J", "KENNZAHL": "B1",
           "KennzEUR": "IIIA4"},
    8154: {"BEZEICHG": "Wareneinkauf 19 % VSt", "START": "VorSteuer", "STSCHL": "19", "KENNZAHL": "D2",
           "KennzEUR": "VIIA4"},
    9000: {"BEZEICHG": "Saldovorträge Sachkonten", "START": "ohne Steuer", "Bank": "Falsch"},
}

# The accounts the tax-key templates post to: number -> (name prefix, rate).
COLLECTORS = {}
for number in (4298, 5198, 6098, 7848, 8148):
    COLLECTORS[number] = ("S - Umsatzsteuer", "7")
for number in (4299, 5199, 6099, 7849, 8149):
    COLLECTORS[number] = ("S - Umsatzsteuer", "19")
for number in (4905, 5684, 6374, 7876, 8381):
    COLLECTORS[number] = ("S - Vorsteuer", "7")
for number in (4906, 5685, 6375, 7877, 8382):
    COLLECTORS[number] = ("S - Vorsteuer", "19")

LAST_ACCOUNT = (9000, "Saldovorträge Sachkonten")
UST_BY_RATE = {"7": "86", "19": "81"}


def read_rows(path, failures):
    """Returns the rows as dicts with their line number; format faults go to failures."""
    raw = open(path, "rb").read()
    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError as error:
        failures.append("file is not UTF-8: %s" % error)
        return []
    if "\r" in text:
        failures.append("file has carriage returns; lines must end in LF only")
        text = text.replace("\r\n", "\n")
    if not text.endswith("\n"):
        failures.append("file does not end with a line feed")
    lines = text.split("\n")[:-1] if text.endswith("\n") else text.split("\n")
    if not lines or lines[0] != HEADER:
        failures.append("line 1: header is not exactly %r" % HEADER)
        return []
    rows = []
    for number, line in enumerate(lines[1:], start=2):
        fields = line.split("\t")
        if len(fields) != len(COLUMNS):
            failures.append("line %d: %d fields, expected %d" % (number, len(fields), len(COLUMNS)))
            continue
        row = dict(zip(COLUMNS, fields))
        row["line"] = number
        rows.append(row)
    return rows


def name_problem(name):
    """Why a name cannot go into the INSERT as it stands, or None."""
    if not 1 <= len(name) <= 40:
        return "has %d characters, allowed 1 to 40" % len(name)
    if name != name.strip(" "):
        return "has a leading or trailing blank"
    if "'" in name:
        return "contains a single quote"
    try:
        name.encode("cp1252")
    except UnicodeEncodeError:
        return "has a character outside Windows-1252"
    return None


def check_values(row, failures):
    where = "line %d (%s %s)" % (row["line"], row["template"], row["KONTONR"])
    if not KONTONR.match(row["KONTONR"]):
        failures.append("%s: KONTONR %r is not an integer without leading zero" % (where, row["KONTONR"]))
    problem = name_problem(row["BEZEICHG"])
    if problem:
        failures.append("%s: BEZEICHG %r %s" % (where, row["BEZEICHG"], problem))
    for column, allowed in DOMAINS.items():
        if row[column] not in allowed:
            failures.append("%s: %s %r is not one of %s" % (where, column, row[column], sorted(allowed)))
    if row["KennzEUR"] and not KENNZ_EUR.match(row["KennzEUR"]):
        failures.append("%s: KennzEUR %r is not a profit-and-loss code" % (where, row["KennzEUR"]))


def check_tax_rules(row, failures):
    """Taxed accounts carry the rate their name states and the matching line of the VAT return."""
    where = "line %d (%s %s %r)" % (row["line"], row["template"], row["KONTONR"], row["BEZEICHG"])
    start, rate, line = row["START"], row["STSCHL"], row["KENNZUSTV"]
    if start == "MehrwertSteuer":
        if not rate or line != UST_BY_RATE.get(rate):
            failures.append("%s: output-tax account needs STSCHL and KENNZUSTV 86 (7) or 81 (19)" % where)
        if not row["KENNZAHL"].endswith("1"):
            failures.append("%s: output-tax account is not a receipt (KENNZAHL %r)" % (where, row["KENNZAHL"]))
    if start == "VorSteuer":
        if rate and line != "66":
            failures.append("%s: input-tax account with a rate needs KENNZUSTV 66" % where)
        if not row["KENNZAHL"].endswith("2"):
            failures.append("%s: input-tax account is not an expense (KENNZAHL %r)" % (where, row["KENNZAHL"]))
    if rate:
        if start == "ohne Steuer":
            failures.append("%s: STSCHL on an account without tax" % where)
        if not re.search(r"(^|\s)%s %%" % rate, row["BEZEICHG"]):
            failures.append("%s: STSCHL %s but the name does not state %s %%" % (where, rate, rate))


def check_other_rules(row, failures):
    where = "line %d (%s %s %r)" % (row["line"], row["template"], row["KONTONR"], row["BEZEICHG"])
    number = int(row["KONTONR"])
    if row["Bank"] == "Wahr" and not 920 <= number <= 959:
        failures.append("%s: Bank 'Wahr' outside the cash and bank accounts 920 to 959" % where)
    if row["Spende"] and row["KENNZAHL"] != "A1":
        failures.append("%s: Spende on an account that is no receipt of the non-profit sphere" % where)
    if row["Steuersammelkonto"] == "J" and number not in COLLECTORS:
        failures.append("%s: Steuersammelkonto 'J' on an account no tax key posts to" % where)
    if number in COLLECTORS:
        prefix, rate = COLLECTORS[number]
        if row["Steuersammelkonto"] != "J":
            failures.append("%s: collecting account without Steuersammelkonto 'J'" % where)
        if not row["BEZEICHG"].startswith(prefix) or not row["BEZEICHG"].endswith(" %s %%" % rate):
            failures.append("%s: collecting account should be named like '%s %s %%'" % (where, prefix, rate))


def check_templates(rows, failures):
    by_template = collections.OrderedDict()
    for row in rows:
        by_template.setdefault(row["template"], []).append(row)
    expected_order = [name for name, _, _, _ in TEMPLATES]
    order = []
    for row in rows:
        if not order or order[-1] != row["template"]:
            order.append(row["template"])
    if order != expected_order:
        failures.append("templates appear as %s, expected one block each in the order %s" % (order, expected_order))
    for name, count, low, high in TEMPLATES:
        block = by_template.get(name, [])
        numbers = [int(r["KONTONR"]) for r in block if KONTONR.match(r["KONTONR"])]
        if len(block) != count:
            failures.append("%s: %d rows, expected %d" % (name, len(block), count))
        if numbers and (min(numbers) != low or max(numbers) != high):
            failures.append("%s: accounts %d to %d, expected %d to %d" % (name, min(numbers), max(numbers), low, high))
        for previous, current in zip(numbers, numbers[1:]):
            if current <= previous:
                failures.append("%s: account %d follows %d (not strictly ascending)" % (name, current, previous))
        if block and (block[-1]["KONTONR"], block[-1]["BEZEICHG"]) != (str(LAST_ACCOUNT[0]), LAST_ACCOUNT[1]):
            failures.append("%s: last account is not %d %r" % (name, LAST_ACCOUNT[0], LAST_ACCOUNT[1]))
    return by_template


def check_kulturverein(block, failures):
    accounts = {r["KONTONR"]: r for r in block}
    for number, expected in KULTURVEREIN_ROWS.items():
        row = accounts.get(str(number))
        if row is None:
            failures.append("Kulturverein: account %d is missing" % number)
            continue
        for column, value in expected.items():
            if row[column] != value:
                failures.append("Kulturverein %d: %s is %r, expected %r" % (number, column, row[column], value))
    for number in sorted(COLLECTORS):
        if str(number) not in accounts:
            failures.append("Kulturverein: collecting account %d of the tax keys is missing" % number)


def check_totals(rows, failures):
    if len(rows) != TOTAL_ROWS:
        failures.append("%d rows in all, expected %d" % (len(rows), TOTAL_ROWS))
    for description, predicate, expected in TOTALS:
        actual = sum(1 for r in rows if predicate(r))
        if actual != expected:
            failures.append("%s on %d rows, expected %d" % (description, actual, expected))
    codes = {r["KennzEUR"] for r in rows if r["KennzEUR"]}
    if len(codes) != DISTINCT_KENNZ_EUR:
        failures.append("%d different KennzEUR codes, expected %d" % (len(codes), DISTINCT_KENNZ_EUR))
    return codes


def main():
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "chart_of_accounts.tsv")
    failures = []
    rows = read_rows(path, failures)
    for row in rows:
        check_values(row, failures)
        check_tax_rules(row, failures)
        if KONTONR.match(row["KONTONR"]):
            check_other_rules(row, failures)
    by_template = check_templates(rows, failures)
    check_kulturverein(by_template.get("Kulturverein", []), failures)
    codes = check_totals(rows, failures)
    if failures:
        for failure in failures:
            print("check_chart_of_accounts: " + failure)
        sys.exit(1)
    print("chart_of_accounts.tsv: %d accounts in %d templates, %d KennzEUR codes, all checks passed"
          % (len(rows), len(by_template), len(codes)))


if __name__ == "__main__":
    main()
