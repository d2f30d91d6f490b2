#!/usr/bin/env python3
"""Checks that gen_catalogue.py stops the build on broken catalogue data.

usage: test_gen_catalogue.py GEN_CATALOGUE_PY CATALOGUE_TSV
"""
import os
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

GENERATOR = None
CATALOGUE = None


def run(tsv_bytes, out_dir):
    source = Path(out_dir) / "catalogue.tsv"
    source.write_bytes(tsv_bytes)
    target = Path(out_dir) / "catalogue_data.cpp"
    result = subprocess.run([sys.executable, GENERATOR, str(source), str(target)],
                            capture_output=True, text=True)
    return result, target


class GeneratorTest(unittest.TestCase):
    def assertIn(self, member, container, msg=None):
        # The generated table is 200 kB: name the missing piece, not the whole text.
        if member not in container:
            self.fail(msg or f"{member!r} not found")

    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.lines = Path(CATALOGUE).read_bytes().split(b"\n")

    def tearDown(self):
        self.dir.cleanup()

    def data(self, lines=None):
        return b"\n".join(self.lines if lines is None else lines)

    def assertRefused(self, lines, *fragments, raw=None):
        result, target = run(raw if raw is not None else self.data(lines), self.dir.name)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertFalse(target.exists(), "no table may be written from broken data")
        self.assertIn("the program is not built from it", result.stderr)
        for fragment in fragments:
            self.assertIn(fragment, result.stderr)

    def row_index(self, group, region, name=None):
        for i, line in enumerate(self.lines):
            fields = line.split(b"\t")
            if len(fields) == 4 and fields[0] == group and fields[1] == region and (
                    name is None or fields[2] == name):
                return i
        raise AssertionError(f"no row {group} {region} {name}")

    def test_valid_catalogue_keeps_texts_byte_for_byte_and_is_not_rewritten(self):
        result, target = run(self.data(), self.dir.name)
        self.assertEqual(result.returncode, 0, result.stderr)
        code = target.read_text(encoding="utf-8")
        # Trailing and doubled blanks survive; non-ASCII bytes are escaped.
        self.assertIn('{"CNN ", ', code)
        self.assertIn('{"MSNBC Interactive   -  NBC and Microsoft worldwide news", ', code)
        self.assertIn('{"Al D\\303\\255a", ', code)
        self.assertIn('{"DC", "[DC]Dist. of Columbia", '
                      'std::span<const CatalogueEntry>(kEntries + 548, 6)}', code)
        before = target.stat().st_mtime_ns
        time.sleep(0.01)
        result, _ = run(self.data(), self.dir.name)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(target.stat().st_mtime_ns, before)

    def test_quotes_and_backslashes_are_escaped(self):
        lines = list(self.lines)
        i = self.row_index(b"States", b"AL")
        fields = lines[i].split(b"\t")
        fields[2] = b'Say "Hi" \\ Co'
        lines[i] = b"\t".join(fields)
        result, target = run(self.data(lines), self.dir.name)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn('"Say \\"Hi\\" \\\\ Co"', target.read_text(encoding="utf-8"))

    def test_missing_row_is_refused(self):
        lines = list(self.lines)
        del lines[self.row_index(b"States", b"CA")]
        self.assertRefused(lines, "CA has 179 newspapers, expected 180",
                           "2699 newspapers, expected 2700")

    def test_regions_out_of_order_are_refused(self):
        lines = list(self.lines)
        de = self.row_index(b"States", b"DE")
        dc = self.row_index(b"States", b"DC")
        lines[de], lines[dc] = lines[dc], lines[de]
        self.assertRefused(lines, f":{de + 1}: error: row belongs to States DC, expected "
                                  "States DE here")

    def test_group_order_is_refused(self):
        lines = list(self.lines)
        world = self.row_index(b"World", b"")
        lines.insert(2, lines.pop(world))
        self.assertRefused(lines, ":3: error: row belongs to World")

    def test_changed_national_text_is_refused(self):
        lines = [line.replace(b"\tCNN \t", b"\tCNN\t") for line in self.lines]
        self.assertRefused(lines, "National newspaper 7 is 'CNN', expected 'CNN '")

    def test_lengths_are_limited(self):
        lines = list(self.lines)
        i = self.row_index(b"States", b"TX")
        fields = lines[i].split(b"\t")
        fields[2] = b"N" * 56
        fields[3] = b"http://example.com/" + b"p" * 65
        lines[i] = b"\t".join(fields)
        self.assertRefused(lines, f":{i + 1}: error: display text of 56 characters, at most 55",
                           f":{i + 1}: error: address of 84 characters, at most 83")

    def test_length_counts_characters_not_bytes(self):
        lines = list(self.lines)
        i = self.row_index(b"States", b"TX")
        fields = lines[i].split(b"\t")
        fields[2] = "é".encode("utf-8") * 55
        lines[i] = b"\t".join(fields)
        result, _ = run(self.data(lines), self.dir.name)
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_address_must_be_absolute_web_address(self):
        for bad in (b"ftp://example.com/", b"example.com", b"http://", b""):
            with self.subTest(address=bad):
                lines = list(self.lines)
                i = self.row_index(b"States", b"WY")
                fields = lines[i].split(b"\t")
                fields[3] = bad
                lines[i] = b"\t".join(fields)
                self.assertRefused(lines, f":{i + 1}: error: address")

    def test_leading_blank_in_address_is_kept(self):
        lines = list(self.lines)
        i = self.row_index(b"States", b"WY")
        fields = lines[i].split(b"\t")
        fields[3] = b" " + fields[3]
        lines[i] = b"\t".join(fields)
        result, target = run(self.data(lines), self.dir.name)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn('" ' + fields[3][1:].decode() + '"', target.read_text(encoding="utf-8"))

    def test_malformed_files_are_refused(self):
        self.assertRefused(None, "the first line must be the header",
                           raw=b"group\tregion\tname\n" + self.data(self.lines[1:]))
        self.assertRefused(None, "carriage returns", raw=self.data().replace(b"\n", b"\r\n"))
        self.assertRefused(None, "not UTF-8", raw=self.data() + b"\xff")
        lines = list(self.lines)
        lines[5] = lines[5] + b"\textra"
        self.assertRefused(lines, ":6: error: 5 fields, expected 4")
        self.assertRefused(None, "0 newspapers, expected 2700", raw=self.data(self.lines[:1] + [b""]))

    def test_unreadable_file_is_refused(self):
        missing = os.path.join(self.dir.name, "missing.tsv")
        target = os.path.join(self.dir.name, "out.cpp")
        result = subprocess.run([sys.executable, GENERATOR, missing, target],
                                capture_output=True, text=True)
        self.assertEqual(result.returncode, 1)
        self.assertIn("cannot read the catalogue", result.stderr)


if __name__ == "__main__":
    GENERATOR, CATALOGUE = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1])
