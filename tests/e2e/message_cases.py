"""The cases of the message catalog, shared by the Linux suite (test_messages)
and the Windows one (test_wine_messages): every text in both languages, read
through the settings as a start reads them (the settings probe of each build
prints the catalog in use), replacements that must be refused, and a real
start whose error line follows the settings.

message_cases.tsv holds every text: number, German, English. The unit test of
the catalog reads the same table."""

import pathlib

import harness

TABLE = pathlib.Path(__file__).with_name("message_cases.tsv")


def read_table() -> list:
    """(number, German, English), line breaks written as \\n as the probe prints them."""
    rows = []
    for line in TABLE.read_text(encoding="utf-8").splitlines():
        if line and not line.startswith("#"):
            number, german, english = line.split("\t")
            rows.append((number, german, english))
    return rows


def builtin(number: str, column: int) -> str:
    return next(row[column] for row in read_table() if row[0] == number)


# [Application] "Message Language" -> the table column whose texts it gives.
LANGUAGES = [(None, 1), ("de", 1), ("en", 2), ("EN", 2), ("fr", 1), ("english", 1)]

# [Messages] entries a start must refuse (number, text, why), each under both
# languages; the built-in text stays and the trace names the number.
REFUSED = [
    ("202", "%d and %s", "placeholders swapped"),
    ("221", "only %s", "one placeholder lost"),
    ("209", "class path %s", "a placeholder the original lacks"),
    ("222", "library %s %n error %d", "%n, which printf would write through"),
    ("215", "class %x %s", "%x, not one of ours"),
    ("210", "100% wrong", "a lone percent sign"),
]
# Entries a start takes (number, text in the file, text in use as printed).
TAKEN = [
    ("210", "The application is damaged; please reinstall it.", "The application is damaged; please reinstall it."),
    ("221", "from %s up to %s (100%%)", "from %s up to %s (100%%)"),
    ("211", "Main class %s cannot be loaded.\\nPlease reinstall.", "Main class %s cannot be loaded.\\nPlease reinstall."),
]

# A real start without "Main Class": (settings of [Application] and
# [Messages], the error line).
START_CASES = [
    ({}, {}, "Error: Main class in der INI-Datei nicht spezifiziert. \n"),
    ({"Message Language": "en"}, {}, "Error: The main class is not specified in the INI file. \n"),
    ({"Message Language": "en"}, {"210": "The application is damaged; please reinstall it."},
     "Error: The application is damaged; please reinstall it. \n"),
    ({"Message Language": "en"}, {"210": "Broken %s %n"}, "Error: The main class is not specified in the INI file. \n"),
]


class MessageCases:
    """Mixed into one test class per build. probe(ini_path, extra_env) runs
    the settings probe's "messages" command; start(sections) runs the
    launcher with a settings file of those sections."""

    def probe(self, ini: pathlib.Path, extra_env: dict | None = None) -> harness.Result:
        raise NotImplementedError

    def start(self, sandbox: harness.Sandbox, sections: dict) -> harness.Result:
        raise NotImplementedError

    def texts_in_use(self, sections: dict, extra_env: dict | None = None) -> tuple:
        sandbox = harness.Sandbox(self)
        result = self.probe(sandbox.write_ini("app.ini", sections), extra_env)
        self.assertEqual(result.code, 0, result.stderr)
        lines = result.stdout.replace("\r\n", "\n").splitlines()
        return dict(line.split("\t", 1) for line in lines), result.stderr

    def test_every_text_in_both_languages(self):
        table = read_table()
        for language, column in LANGUAGES:
            sections = {"Application": {"Message Language": language}} if language else {"Application": {}}
            texts, _ = self.texts_in_use(sections)
            self.assertEqual(sorted(texts), sorted(row[0] for row in table), language)
            for row in table:
                self.assertEqual(texts[row[0]], row[column], (language, row[0]))

    def test_replacements_with_other_placeholders_are_refused(self):
        for language, column in (("de", 1), ("en", 2)):
            # Each refused entry in a file of its own, beside the accepted ones.
            for number, text, why in REFUSED:
                sections = {"Application": {"Message Language": language},
                            "Messages": {number: text, **{n: t for n, t, _ in TAKEN if n != number}}}
                texts, trace = self.texts_in_use(sections, {"KITE_TRACE": "1"})
                self.assertEqual(texts[number], builtin(number, column), (language, why))
                self.assertIn(f"message {number} from [Messages] refused, the built-in text stays", trace, why)
                for taken, _, shown in TAKEN:
                    if taken != number:
                        self.assertEqual(texts[taken], shown, (language, taken))

    def test_unknown_language_is_german_with_a_trace_line(self):
        texts, trace = self.texts_in_use({"Application": {"Message Language": "fr"}}, {"KITE_TRACE": "1"})
        self.assertEqual(texts["230"], builtin("230", 1))
        self.assertIn('Message Language "fr" is not one of de, en', trace)

    def test_a_start_prints_the_line_its_settings_choose(self):
        for application, messages, expected in START_CASES:
            sandbox = harness.Sandbox(self)
            sections = {"Application": application, "Java Runtime Environment": {"Maximum Version": "any"}}
            if messages:
                sections["Messages"] = messages
            result = self.start(sandbox, sections)
            self.assertEqual((result.code, result.stdout.replace("\r\n", "\n")), (255, expected),
                             (application, messages, result.stderr))
