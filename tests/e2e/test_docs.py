"""The user documentation stays true: every settings example in docs/ and the
README is started by the Linux build and gets past the settings and the
runtime search, every message number of the catalog has a row in
docs/messages.md with its German and English text as the catalog holds them,
and every key the settings reader knows is in docs/configuration.md."""

import re
import textwrap
import unittest
import zipfile

import harness

KITE_SECTIONS = {"product information", "java runtime environment", "java runtime environment+",
                 "class path", "class path+", "application", "application+", "messages"}
# What a fragment (an example of a few keys) is completed with, so that it can start.
BASE = {"java runtime environment": {"Main Class": "com.example.App"},
        "class path": {"Class Path": "\\app.jar"}}


def ini_examples():
    """(page, number, text) of every ```ini block in the README, docs/ and the archives' READMEs."""
    pages = [harness.SOURCE_DIR / "README.md", *sorted((harness.SOURCE_DIR / "docs").glob("*.md")),
             *sorted((harness.SOURCE_DIR / "release").glob("*.md"))]
    for page in pages:
        blocks = re.findall(r"^([ \t]*)```ini\n(.*?)^[ \t]*```", page.read_text(encoding="utf-8"),
                            re.MULTILINE | re.DOTALL)
        for number, (_, block) in enumerate(blocks, 1):
            yield page.name, number, textwrap.dedent(block)


def parse(text):
    """{section (lower case): {key: value}} in the order written; comments dropped."""
    sections, current = {}, None
    for line in text.splitlines():
        line = line.strip()
        if not line or line.startswith(";"):
            continue
        if line.startswith("[") and line.endswith("]"):
            current = sections.setdefault(line[1:-1].lower(), {})
        elif current is not None and "=" in line:
            key, value = line.split("=", 1)
            current[key.strip()] = value.strip()
    return sections


class DocsStayTrue(unittest.TestCase):
    def test_every_settings_example_gets_past_settings_and_discovery(self):
        started = 0
        for page, number, text in ini_examples():
            sections = parse(text)
            if not KITE_SECTIONS & sections.keys():
                continue  # not a settings file of Kite's (a systemd unit, say)
            with self.subTest(page=page, example=number):
                complete = {name: dict(keys) for name, keys in BASE.items()}
                for name, keys in sections.items():
                    complete.setdefault(name, {}).update(keys)
                sandbox = harness.Sandbox(self)
                kite = harness.LinuxLauncher(sandbox)
                kite.write_ini(complete)
                # What the examples' relative class path entries name: a jar for a
                # pattern, a file or a folder for a plain entry.
                for entry in complete["class path"].get("Class Path", "").split(";"):
                    entry = entry.strip().lstrip("\\").replace("\\", "/")
                    if not entry or ":" in entry:
                        continue
                    if "*" in entry:
                        sandbox.write("app/" + entry.replace("*", "app"), b"")
                    elif "." in entry.rsplit("/", 1)[-1]:
                        sandbox.write("app/" + entry, b"")
                    else:
                        sandbox.path("app", entry).mkdir(parents=True, exist_ok=True)
                # A "Main Jar" relative to the executable: a jar whose manifest names the main class.
                main_jar = complete["java runtime environment"].get("Main Jar", "").lstrip("\\").replace("\\", "/")
                if main_jar and ":" not in main_jar and "%" not in main_jar:
                    with zipfile.ZipFile(sandbox.path("app", main_jar), "w") as archive:
                        archive.writestr("META-INF/MANIFEST.MF", "Main-Class: com.example.App\n")
                # No example's application runs: the VM refuses the unknown option
                # that JAVA_TOOL_OPTIONS adds, after the settings and the runtime
                # search checked here (a service example, Jetty's, would serve on).
                result = kite.run(stdin=b"", timeout=60, extra_env={
                    "KITE_TRACE": "1", "JAVA_TOOL_OPTIONS": "-XX:+KiteDocsExampleEndsHere"})
                self.assertNotIn("INI-Datei", result.stdout, result.stderr)
                self.assertNotIn("INI file", result.stdout, result.stderr)
                self.assertNotIn("[Messages] refused", result.stderr)
                self.assertIn("kite: chosen by ", result.stderr)
                started += 1
        print(f"{started} settings examples started")
        self.assertGreaterEqual(started, 10)

    def test_every_catalog_message_has_a_row(self):
        header = (harness.SOURCE_DIR / "src" / "foundation" / "message_catalog.h").read_text(encoding="utf-8")
        catalog = set(re.findall(r"^\s+\w+ = (\d+),", header, re.MULTILINE))
        page = (harness.SOURCE_DIR / "docs" / "messages.md").read_text(encoding="utf-8")
        documented = set(re.findall(r"^\| (\d{3}) \|", page, re.MULTILINE))
        self.assertTrue(catalog)
        self.assertEqual(sorted(catalog - documented), [], "catalog messages without a row in docs/messages.md")
        self.assertEqual(sorted(documented - catalog), [], "rows in docs/messages.md for no catalog message")

    def test_the_page_shows_both_catalogs_as_built(self):
        # The page writes a line break inside a text as ` / ` and leaves out a final one.
        def shown(text):
            return "`" + text.removesuffix("\\n").replace("\\n", "` / `") + "`"
        page = (harness.SOURCE_DIR / "docs" / "messages.md").read_text(encoding="utf-8")
        rows = {number: (german, english) for number, german, english in
                re.findall(r"^\| (\d{3}) \| (`.*?`) \| (`.*?`) \|", page, re.MULTILINE)}
        table = (harness.SOURCE_DIR / "tests" / "e2e" / "message_cases.tsv").read_text(encoding="utf-8")
        for line in table.splitlines():
            if line and not line.startswith("#"):
                number, german, english = line.split("\t")
                self.assertEqual(rows.get(number), (shown(german), shown(english)), number)

    def test_the_message_keys_are_documented(self):
        page = (harness.SOURCE_DIR / "docs" / "configuration.md").read_text(encoding="utf-8")
        for text in ("Message Language", "[Messages]", "messages.md"):
            self.assertIn(text, page)


if __name__ == "__main__":
    unittest.main()
