"""The message catalog of the Windows executable under test in both
languages, with a publisher's replacements, under Wine: the same cases as
the Linux build's (message_cases.py). The probe is built with the platform
layer of the executable under test, and of its width, so the settings are
read by GetPrivateProfileStringW as a start reads them."""

import unittest

import harness
from message_cases import MessageCases


class WineMessages(MessageCases, harness.WineSuite):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.probe_exe = harness.TARGET.tool("settings_probe.exe")

    def probe(self, ini, extra_env=None):
        return self.wine.run(self.probe_exe, ["messages", self.wine.winpath(ini)], extra_env=extra_env)

    def start(self, sandbox, sections):
        launcher = harness.WineLauncher(self.wine, sandbox)
        launcher.write_ini(sections)
        return launcher.run()


if __name__ == "__main__":
    unittest.main()
