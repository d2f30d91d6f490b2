#!/usr/bin/env python3
"""Turns catalogue.tsv into the C++ table that the program is built with.

usage: gen_catalogue.py CATALOGUE_TSV OUTPUT_CPP

The catalogue is part of the program: it is checked here, at build time, and a
file that breaks one of its rules stops the build with one line per fault in
the compiler's "file:line: error: text" form. Display texts and addresses are
copied byte for byte (trailing and doubled blanks included). The output is
rewritten only when its content changes, so an unchanged catalogue does not
recompile anything.
"""
import sys
from pathlib import Path

HEADER = ["group", "region", "name", "url"]
MAX_TEXT = 55
MAX_URL = 83

# The regions under "American States": code, item text and number of newspapers,
# in the order the tree shows them.
REGIONS = [
    ("AL", "Alabama", 42), ("AK", "Alaska", 16), ("AZ", "Arizona", 49),
    ("AR", "Arkansas", 52), ("CA", "California", 180), ("CO", "Colorado", 56),
    ("CT", "Connecticut", 56), ("DE", "Delaware", 6), ("DC", "Dist. of Columbia", 6),
    ("FL", "Florida", 90), ("GA", "Georgia", 73), ("HI", "Hawaii", 11),
    ("ID", "Idaho", 23), ("IL", "Illinois", 124), ("IN", "Indiana", 54),
    ("IA", "Iowa", 44), ("KS", "Kansas", 52), ("KY", "Kentucky", 49),
    ("LA", "Louisiana", 32), ("ME", "Maine", 26), ("MD", "Maryland", 25),
    ("MA", "Massachusetts", 85), ("MI", "Michigan", 93), ("MN", "Minnesota", 115),
    ("MS", "Mississippi", 35), ("MO", "Missouri", 67), ("MT", "Montana", 27),
    ("NE", "Nebraska", 31), ("NV", "Nevada", 20), ("NH", "New Hampshire", 21),
    ("NJ", "New Jersey", 44), ("NM", "New Mexico", 25), ("NY", "New York", 118),
    ("NC", "North Carolina", 80), ("ND", "North Dakota", 21), ("OH", "Ohio", 86),
    ("OK", "Oklahoma", 39), ("OR", "Oregon", 45), ("PA", "Pennsylvania", 95),
    ("RI", "Rhode Island", 17), ("SC", "South Carolina", 28), ("SD", "South Dakota", 23),
    ("TN", "Tennessee", 63), ("TX", "Texas", 129), ("UT", "Utah", 22),
    ("VT", "Vermont", 18), ("VA", "Virginia", 58), ("WA", "Washington", 42),
    ("WV", "West Virginia", 28), ("WI", "Wisconsin", 58), ("WY", "Wyoming", 10),
]

# The national and world titles are fixed, byte for byte, in data order.
NATIONAL = [
    "ABCNEWS.com", "Arizona Republic, The", "Atlanta Journal-Constitution ", "Baltimore Sun ",
    "Boston Globe", "CBS News", "CNN ", "Chicago Sun-Times ", "Chicago Tribune",
    "Christian Science Monitor", "Cincinnati Enquirer ", "Cincinnati Post ",
    "Cleveland Plain Dealer", "Dallas Morning News ", "Denver Post ", "Detroit Free Press",
    "Detroit News ", "Florida Times-Union", "Fox News ", "Ft. Worth Star-Telegram ",
    "Hartford Courant ", "Honolulu Star Bulletin", "Houston Chronicle",
    "Indianapolis Star and News", "International Herald Tribune", "Kansas City Star ",
    "Las Vegas Sun ", "Los Angeles Times ", "MSNBC News", "Miami Herald",
    "Milwaukee-Journal Sentinel", "Minneapolis-St. Paul Pioneer Press",
    "Minneapolis-St. Paul Star Tribune", "New Jersey Online", "New York Daily News",
    "New York Newsday", "New York Post", "New York Times", "NPR Online", "Orlando Sentinel",
    "Oregonian, The", "Philadelphia Inquirer, The", "Pittsburgh Post-Gazette",
    "Pittsburgh Tribune-Review", "Providence Journal", "Rochester Democrat & Chronicle",
    "Rocky Mountain News ", "Sacramento Bee", "Salt Lake City Deseret News",
    "Salt Lake City Tribune", "San Antonio Express-News", "San Diego Union-Tribune",
    "San Francisco Chronicle", "San Francisco Examiner", "San Jose Mercury News",
    "Seattle Times", "South Florida Sun-Sentinel ", "St. Louis Post", "St. Petersburg Times",
    "Syracuse Post-Standard", "Tampa Tribune", "USA Today", "Virginian-Pilot, The",
    "Wall Street Journal ", "Washington Post ", "Washington Times ",
]
WORLD = [
    "Age, The (Melbourne) ", "Asahi (Japan) ", "BBC News ", "Bahrain Tribune ",
    "CNN - World News  ", "Canadian Online Explorer ", "China Daily ", "Hong Kong Standard ",
    "International Herald Tribune", "Irish Times", "Japan Times ", "Jerusalem Post ",
    "Johannesburg Star ", "Korea Herald ", "Le Monde  (French)", "London Telegraph ",
    "London Times ", "MSNBC Interactive   -  NBC and Microsoft worldwide news",
    "PlanetSun - Canada", "Russia Today", "St. Petersburg Times (Russia)",
    "S. China Morn. Post ", "Times of India", "Toronto Star ", "USA Today World",
]


class Faults:
    def __init__(self, path):
        self.path = path
        self.lines = []

    def add(self, line, text):
        where = f"{self.path}:{line}" if line else self.path
        self.lines.append(f"{where}: error: {text}")


def expected_layout():
    """(group, region) of every row, in data order."""
    layout = [("National", "")] * len(NATIONAL) + [("World", "")] * len(WORLD)
    for code, _, count in REGIONS:
        layout += [("States", code)] * count
    return layout


def read_rows(path, faults):
    raw = Path(path).read_bytes()
    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError as exc:
        faults.add(0, f"not UTF-8 ({exc})")
        return []
    if text.startswith("\ufeff"):
        faults.add(1, "starts with a byte-order mark")
        text = text[1:]
    if "\r" in text:
        faults.add(0, "has carriage returns; lines end with LF only")
    if not text.endswith("\n"):
        faults.add(0, "the last line has no line end")
    lines = text.split("\n")
    if lines[-1] == "":
        lines.pop()
    if not lines or lines[0].split("\t") != HEADER:
        faults.add(1, "the first line must be the header " + "<TAB>".join(HEADER))
    rows = []
    for number, line in enumerate(lines[1:], start=2):
        fields = line.split("\t")
        if len(fields) != 4:
            faults.add(number, f"{len(fields)} fields, expected 4 (group, region, name, url)")
            continue
        rows.append((number, *fields))
    return rows


def check_layout(rows, faults):
    layout = expected_layout()
    if len(rows) != len(layout):
        faults.add(0, f"{len(rows)} newspapers, expected {len(layout)}")
    counts = {}
    for _, group, region, _, _ in rows:
        counts[(group, region)] = counts.get((group, region), 0) + 1
    wanted = {}
    for key in layout:
        wanted[key] = wanted.get(key, 0) + 1
    for (group, region), count in wanted.items():
        got = counts.get((group, region), 0)
        if got != count:
            name = region or group
            faults.add(0, f"{name} has {got} newspapers, expected {count}")
    for (group, region), got in counts.items():
        if (group, region) not in wanted:
            faults.add(0, f"unknown group {group!r} region {region!r} ({got} rows); groups are "
                          "National, World and States with a region code")
    for (number, group, region, _, _), (want_group, want_region) in zip(rows, layout):
        if (group, region) != (want_group, want_region):
            faults.add(number, f"row belongs to {group} {region}, expected {want_group} "
                               f"{want_region} here: National first, then World, then the "
                               "regions in their fixed order")
            break


def check_texts(rows, faults):
    national = [name for _, group, _, name, _ in rows if group == "National"]
    world = [name for _, group, _, name, _ in rows if group == "World"]
    for label, got, want in (("National", national, NATIONAL), ("World", world, WORLD)):
        for index, (have, should) in enumerate(zip(got, want), start=1):
            if have != should:
                faults.add(0, f"{label} newspaper {index} is {have!r}, expected {should!r}")
    for number, _, _, name, url in rows:
        if not name:
            faults.add(number, "empty display text")
        if len(name) > MAX_TEXT:
            faults.add(number, f"display text of {len(name)} characters, at most {MAX_TEXT}")
        if len(url) > MAX_URL:
            faults.add(number, f"address of {len(url)} characters, at most {MAX_URL}")
        for label, value in (("display text", name), ("address", url)):
            if any(ord(c) < 32 or ord(c) == 127 for c in value):
                faults.add(number, f"control character in the {label}")
        # A few addresses carry leading blanks; they are passed on as they stand.
        stripped = url.lstrip(" ")
        if not (stripped.startswith("http://") or stripped.startswith("https://")) \
                or len(stripped.split("://", 1)[1]) == 0:
            faults.add(number, f"address {url!r} is not an absolute http:// or https:// address")


def cpp_string(text):
    out = ['"']
    for byte in text.encode("utf-8"):
        char = chr(byte)
        if char in '"\\':
            out.append("\\" + char)
        elif 32 <= byte < 127:
            out.append(char)
        else:
            out.append(f"\\{byte:03o}")  # three octal digits never run into the next char
    out.append('"')
    return "".join(out)


def generate(rows):
    national = len(NATIONAL)
    world = len(WORLD)
    out = [
        "// Generated by directory/gen_catalogue.py from directory/catalogue.tsv. Do not edit.",
        '#include "directory/catalogue.h"',
        "",
        "namespace lumo {",
        "namespace {",
        "",
        f"constexpr CatalogueEntry kEntries[{len(rows)}] = {{",
    ]
    for _, _, _, name, url in rows:
        out.append(f"    {{{cpp_string(name)}, {cpp_string(url)}}},")
    out += ["};", "", f"constexpr CatalogueRegion kRegions[{len(REGIONS)}] = {{"]
    first = national + world
    for code, name, count in REGIONS:
        text = f"[{code}]{name}"
        out.append(f"    {{{cpp_string(code)}, {cpp_string(text)}, "
                   f"std::span<const CatalogueEntry>(kEntries + {first}, {count})}},")
        first += count
    out += [
        "};",
        "",
        "} // namespace",
        "",
        "std::span<const CatalogueEntry> Catalogue()",
        "{",
        "    return kEntries;",
        "}",
        "",
        "std::span<const CatalogueEntry> NationalEntries()",
        "{",
        f"    return std::span<const CatalogueEntry>(kEntries, {national});",
        "}",
        "",
        "std::span<const CatalogueEntry> WorldEntries()",
        "{",
        f"    return std::span<const CatalogueEntry>(kEntries + {national}, {world});",
        "}",
        "",
        "std::span<const CatalogueRegion> Regions()",
        "{",
        "    return kRegions;",
        "}",
        "",
        "} // namespace lumo",
        "",
    ]
    return "\n".join(out)


def main(argv):
    if len(argv) != 3:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    source, target = argv[1], argv[2]
    faults = Faults(source)
    try:
        rows = read_rows(source, faults)
    except OSError as exc:
        print(f"{source}: error: cannot read the catalogue ({exc.strerror})", file=sys.stderr)
        return 1
    check_layout(rows, faults)
    check_texts(rows, faults)
    if faults.lines:
        for line in faults.lines[:50]:
            print(line, file=sys.stderr)
        if len(faults.lines) > 50:
            print(f"{source}: error: ... {len(faults.lines) - 50} more faults", file=sys.stderr)
        print(f"{source}: error: the newspaper catalogue breaks its rules; "
              "the program is not built from it", file=sys.stderr)
        return 1
    code = generate(rows)
    output = Path(target)
    if not output.exists() or output.read_text(encoding="utf-8") != code:
        output.parent.mkdir(parents=True, exist_ok=True)
        temporary = output.with_name(output.name + ".tmp")
        temporary.write_text(code, encoding="utf-8")
        temporary.replace(output)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
