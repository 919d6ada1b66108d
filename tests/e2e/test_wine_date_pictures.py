"""Date/time pictures through the real Windows functions (GetTimeFormatW,
GetDateFormatW) under Wine, held against the table that the unit test of the
portable implementation reads too (date_picture_cases.tsv). The probe is built
with the platform layer of the executable under test, and of its width."""

import pathlib
import re
import subprocess
import unittest

import harness

CASES_FILE = pathlib.Path(__file__).with_name("date_picture_cases.tsv")


def expand_repeats(text: str) -> str:
    """{u*N} stands for N times u (one to four characters)."""
    return re.sub(r"\{([^{}*]{1,4})\*(\d+)\}", lambda m: m.group(1) * int(m.group(2)), text)


def read_cases():
    cases = []
    for line in CASES_FILE.read_text(encoding="utf-8").splitlines():
        if not line or line.startswith("#"):
            continue
        mode, text, result = line.split("\t")
        cases.append((mode, expand_repeats(text), expand_repeats(result)))
    return cases


class WineDatePictures(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        harness.TARGET.require()
        cls.exe = harness.TARGET.tool("date_pictures_probe.exe")
        cls.wine = harness.Wine()

    @classmethod
    def tearDownClass(cls):
        cls.wine.close()

    def run_probe(self, cases):
        """One probe run for all cases: one answer line per input line."""
        stdin = "".join(f"{mode}\t{text}\n" for mode, text, _ in cases).encode("utf-8")
        completed = subprocess.run(harness.Wine.command(self.exe), env=self.wine.env, input=stdin,
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
        self.assertEqual(completed.returncode, 0, completed.stderr.decode("utf-8", "replace")[-2000:])
        return completed.stdout.decode("utf-8").replace("\r\n", "\n").split("\n")[:-1]

    def test_windows_functions_agree_with_the_table(self):
        cases = read_cases()
        self.assertGreater(len(cases), 30)
        answers = self.run_probe(cases)
        self.assertEqual(len(answers), len(cases))
        for (mode, text, result), answer in zip(cases, answers):
            expected = "!" if result == "!" else f"<{result}>"
            with self.subTest(mode=mode, text=text[:60]):
                self.assertEqual(answer, expected)

    def test_long_pictures_do_not_break_the_process(self):
        # Results far beyond what the functions can return: refused, never a crash.
        cases = [("E", "a%" + "x" * n + "%b", "ab") for n in (300, 1000, 100000)]
        cases += [("T", "x" * 5000, "!"), ("D", "d" * 100000, "Tuesday")]
        answers = self.run_probe(cases)
        self.assertEqual(answers, ["<ab>", "<ab>", "<ab>", "!", "<Tuesday>"])


if __name__ == "__main__":
    unittest.main()
