"""Settings files read and written, and %NAME% references expanded, through
the real platform layer: the Windows functions (kite64's platform under Wine)
and the Linux code must give the same results for the same input."""

import os
import unittest

import harness

LONG = "x" * 300 + "y" * 700  # longer than the first 256-character buffer

FILE = "\r\n".join([
    "; a comment line",
    "[Application]",
    "Main Class = com.example.App ",
    "Cmd=\"-a b\"",
    f"Long={LONG}",
    "empty=",
    "[Application+]",
    "empty=from plus",
    "only=def",
    "spaced= lead",
    "Main Class=ignored",
    "[java runtime environment]",
    "JRE Path=C:\\Java\\",
    "",
])

# (command, section, key, expected value)
CASES = [
    ("get", "Application", "Main Class", "com.example.App"),
    ("get", "APPLICATION", "main class", "com.example.App"),
    ("get", "Application", "Cmd", "-a b"),
    ("get", "Application", "Long", LONG),
    ("get", "Application", "empty", " from plus"),
    ("get", "Application", "only", " def"),
    ("get", "Application", "spaced", " lead"),
    ("plain", "Application", "only", ""),
    ("get", "Application", "missing", ""),
    ("get", "Java Runtime Environment", "JRE Path", "C:\\Java\\"),
    ("get", "Nowhere", "Main Class", ""),
]


# A section name given twice: only the first of them is read.
DUPLICATE_FILE = "[Application]\r\nCmd=first\r\n[Other]\r\nx=1\r\n[application]\r\nCmd=second\r\nOnly Later=2\r\n"
DUPLICATE_CASES = [
    ("get", "Application", "Cmd", "first"),
    ("get", "Application", "Only Later", ""),
    ("get", "Other", "x", "1"),
]

# The probe's environment for the expansion cases.
PROBE_ENV = {"KITE_TEST_WORD": "val", "KITE_TEST_UMLAUT": "Gr\u00fc\u00dfe"}

# (text, expanded text)
EXPANSION_CASES = [
    ("%KITE_TEST_WORD%\\lib", "val\\lib"),
    ("%kite_test_word%", "val"),
    ("a%KITE_TEST_WORD%%KITE_TEST_WORD%b", "avalvalb"),
    ("%KITE_TEST_UMLAUT%", "Gr\u00fc\u00dfe"),
    ("%UNDEF%", "%UNDEF%"),
    ("%UNDEF%KITE_TEST_WORD% x", "%UNDEF%KITE_TEST_WORD% x"),
    ("50% of %KITE_TEST_WORD%", "50% of %KITE_TEST_WORD%"),
    ("a%%KITE_TEST_WORD%", "a%%KITE_TEST_WORD%"),
    ("%KITE_TEST_WORD", "%KITE_TEST_WORD"),
    ("no references", "no references"),
]


# The reading rules where readers differ, one table run against both builds.
# Each row: the file, the section and key asked for, what the Windows build
# answers, what the Linux build answers, what Wine's GetPrivateProfileStringW
# answers (checked under Wine), and why. The Windows build answers as the
# profile functions of Windows do; where Wine's differ from those, Kite
# follows Windows, because the files it reads were written and tried there.
FOLLOWS_WINDOWS = "Windows, not Wine: an app.ini tried on Windows must mean the same under Kite"
LINUX_OWN = "the Linux reader's own rules: one pair of double quotes, ';' comments"
READING_RULES = [
    ("[a]b]\r\nk=1\r\n", "a", "k", "1", "1", "", FOLLOWS_WINDOWS + " (a header ends at the first ']')"),
    ("[a]b]\r\nk=1\r\n", "a]b", "k", "", "", "1", FOLLOWS_WINDOWS + " (Wine takes the last ']')"),
    ("[Java Runtime Environment] ; see [docs]\r\nMain Class=a.B\r\n", "Java Runtime Environment", "Main Class",
     "a.B", "a.B", "", FOLLOWS_WINDOWS + " (the rest of a header line is ignored)"),
    ("[S]\r\nx=0\r\n[Open\r\nk=1\r\n", "Open", "k", "1", "1", "",
     FOLLOWS_WINDOWS + " (a '[' line without ']' starts a section named by the rest of the line)"),
    ("[S]\r\nx=0\r\n[Open\r\nk=1\r\n", "S", "k", "", "", "1", FOLLOWS_WINDOWS + " (Wine skips that line)"),
    ("[S]\r\nsq='single'\r\n", "S", "sq", "single", "'single'", "single", LINUX_OWN),
    ("[S]\r\nq1=\"\r\n", "S", "q1", "\"", "\"", "\"", "one quote is no pair"),
    ("[S]\r\nmix=\"a'\r\n", "S", "mix", "\"a'", "\"a'", "\"a'", "quotes must match"),
    ("[S]\r\n;c=no comment\r\n", "S", ";c", "no comment", "", "no comment", LINUX_OWN),
    ("[S]\r\ncz=\x1ay\x1a\r\n", "S", "cz", "y", "\x1ay\x1a", "y", "Ctrl-Z is white space on Windows"),
    ("[S]\r\nnul=cut\x00here\r\n", "S", "nul", "cut", "cut\x00here", "cut", "the profile functions hand out C strings"),
    ("[R]\ra=1\rb=2\r", "R", "b", "2", "", "2", "without any line feed Windows breaks lines at carriage returns"),
]


class SettingsFileCases:
    """Mixed into one test class per platform; run(args) starts the probe."""

    def run_probe(self, *args) -> harness.Result:
        raise NotImplementedError

    def file_path(self, path) -> str:
        return str(path)

    def values(self, path, cases):
        for command, section, key, expected in cases:
            result = self.run_probe(command, self.file_path(path), section, key)
            self.assertEqual(result.code, 0, result.stderr)
            self.assertEqual(result.stdout.replace("\r\n", "\n"), f"<{expected}>\n", (command, section, key))

    # Which column of READING_RULES this build answers with.
    column = 0

    def reading_rules(self, profile=False):
        sandbox = harness.Sandbox(self)
        for index, (text, section, key, *answers, why) in enumerate(READING_RULES):
            path = sandbox.write(f"rules{index}.ini", text.encode("latin-1"))
            command, expected = ("profile", answers[2]) if profile else ("plain", answers[self.column])
            result = self.run_probe(command, self.file_path(path), section, key)
            self.assertEqual((result.code, result.stdout.replace("\r\n", "\n")), (0, f"<{expected}>\n"),
                             f"{text!r} [{section}] {key}: {why}")

    def test_reading_rules(self):
        self.reading_rules()

    def test_values_and_plus_sections(self):
        sandbox = harness.Sandbox(self)
        self.values(sandbox.write("app.ini", FILE), CASES)

    def test_section_names_in_file_order(self):
        sandbox = harness.Sandbox(self)
        result = self.run_probe("sections", self.file_path(sandbox.write("app.ini", FILE)))
        self.assertEqual(result.stdout.replace("\r\n", "\n"),
                         "<Application>\n<Application+>\n<java runtime environment>\n")

    def test_duplicate_section_names(self):
        sandbox = harness.Sandbox(self)
        path = sandbox.write("app.ini", DUPLICATE_FILE)
        self.values(path, DUPLICATE_CASES)
        result = self.run_probe("sections", self.file_path(path))
        self.assertEqual(result.stdout.replace("\r\n", "\n"), "<Application>\n<Other>\n<application>\n")

    def test_utf16_and_utf8_bom_files(self):
        sandbox = harness.Sandbox(self)
        text = "[Product Information]\r\nProduct Name=Gr\u00fc\u00dfe \u00c4pfel\r\n"
        utf16 = sandbox.write("utf16.ini", b"\xff\xfe" + text.encode("utf-16-le"))
        utf8 = sandbox.write("utf8.ini", b"\xef\xbb\xbf" + text.encode("utf-8"))
        for path in (utf16, utf8):
            self.values(path, [("get", "Product Information", "Product Name", "Gr\u00fc\u00dfe \u00c4pfel")])

    def test_percent_references(self):
        for text, expected in EXPANSION_CASES:
            result = self.run_probe("expand", text)
            self.assertEqual((result.code, result.stdout.replace("\r\n", "\n")), (0, f"<{expected}>\n"), text)

    def test_missing_file_is_empty(self):
        sandbox = harness.Sandbox(self)
        missing = sandbox.path("missing.ini")
        self.values(missing, [("get", "Application", "Main Class", "")])
        self.assertEqual(self.run_probe("sections", self.file_path(missing)).stdout, "")

    def test_write_creates_file_and_keeps_other_lines(self):
        sandbox = harness.Sandbox(self)
        created = sandbox.path("created.ini")
        self.assertEqual(self.run_probe("set", self.file_path(created), "Java Runtime Environment", "JRE Path",
                                        "D:\\Java\\").code, 0)
        self.values(created, [("get", "Java Runtime Environment", "JRE Path", "D:\\Java\\")])
        existing = sandbox.write("app.ini", FILE)
        self.assertEqual(self.run_probe("set", self.file_path(existing), "Java Runtime Environment", "JRE Path",
                                        "E:\\jre\\").code, 0)
        self.values(existing, [("get", "Java Runtime Environment", "JRE Path", "E:\\jre\\")] +
                    [case for case in CASES if case[2] != "JRE Path"])


class LinuxSettingsFiles(SettingsFileCases, unittest.TestCase):
    column = 1
    def setUp(self):
        self.probe = harness.HOST_DIR / "tests" / "tools" / "settings_probe"
        if not self.probe.exists():
            self.skipTest("settings_probe is not built")

    def run_probe(self, *args):
        return harness._run([str(self.probe), *args], dict(os.environ, **PROBE_ENV), None, 30, None)

    def test_rewrite_replaces_the_file_whole(self):
        # A new file takes the old one's name: a crash during the write leaves
        # the old file complete. Its permissions stay; nothing else is left.
        sandbox = harness.Sandbox(self)
        existing = sandbox.write("app.ini", FILE)
        existing.chmod(0o640)
        with open(existing, "rb") as old:
            self.assertEqual(self.run_probe("set", str(existing), "Java Runtime Environment", "JRE Path",
                                            "/jre/").code, 0)
            self.assertEqual(old.read(), FILE.encode())
            self.assertNotEqual(os.fstat(old.fileno()).st_ino, existing.stat().st_ino)
        self.assertEqual(existing.stat().st_mode & 0o777, 0o640)
        self.assertEqual(sorted(path.name for path in sandbox.root.iterdir()), ["app.ini"])
        self.values(existing, [("get", "Java Runtime Environment", "JRE Path", "/jre/")])


class WineSettingsFiles(SettingsFileCases, unittest.TestCase):
    column = 0
    @classmethod
    def setUpClass(cls):
        cls.probe = harness.WIN64_DIR / "tests" / "tools" / "settings_probe.exe"
        if not cls.probe.exists():
            raise unittest.SkipTest("settings_probe.exe is not built")
        cls.wine = harness.Wine()

    @classmethod
    def tearDownClass(cls):
        cls.wine.close()

    def file_path(self, path):
        return self.wine.winpath(path)

    def run_probe(self, *args):
        return self.wine.run(self.probe, args, extra_env=PROBE_ENV)

    def test_the_profile_functions_answer_as_the_table_says(self):
        self.reading_rules(profile=True)


if __name__ == "__main__":
    unittest.main()
