"""The message catalog of the Linux build in both languages, with a
publisher's replacements; the cases are in message_cases.py and run against
the Windows build too (test_wine_messages)."""

import os
import unittest

import harness
from message_cases import MessageCases


class LinuxMessages(MessageCases, unittest.TestCase):
    def setUp(self):
        self.probe_bin = harness.HOST_DIR / "tests" / "tools" / "settings_probe"
        if not self.probe_bin.exists():
            self.skipTest("settings_probe is not built")

    def probe(self, ini, extra_env=None):
        environment = {k: v for k, v in os.environ.items() if not k.startswith("KITE_TRACE")}
        return harness._run([str(self.probe_bin), "messages", str(ini)], {**environment, **(extra_env or {})},
                            None, 30, None)

    def start(self, sandbox, sections):
        launcher = harness.LinuxLauncher(sandbox)
        launcher.write_ini(sections)
        return launcher.run()


if __name__ == "__main__":
    unittest.main()
