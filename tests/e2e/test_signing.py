"""A signed loader, as a vendor ships it: signed with `make sign`, accepted by
osslsigncode against the signing certificate, and still doing its main job
under Wine: RUNsetup.exe beside a setup program, started from its folder."""

import unittest

import signing
import winehost
from winehost import wait_until

WINDOW = "Please wait..."


class SignedLoader(unittest.TestCase):
    def test_a_signed_loader_verifies_and_runs_the_setup_program(self):
        with winehost.WineDesktop() as desktop:
            folder = desktop.folder("Drivers")
            loader = winehost.install_loader(folder, "RUNsetup.exe")
            cert, key = signing.throwaway_certificate(desktop.root)
            stranger, _ = signing.throwaway_certificate(desktop.root, "stranger")

            signing.sign(cert, key, loader)
            passed, said = signing.verify(cert, loader)
            self.assertTrue(passed, said)
            self.assertNotIn("Warning", said)
            passed, said = signing.verify(stranger, loader)
            self.assertFalse(passed, "a certificate that did not sign it is not accepted")
            self.assertEqual(signing.security_directory(loader)[0], winehost.LOADER.stat().st_size,
                             "the signature follows the loader's own bytes")

            setup = winehost.install_setup(folder, "setup.exe", run_ms=3000)
            desktop.start(loader)
            desktop.wait_for_window(WINDOW, timeout=120)
            wait_until(lambda: winehost.setup_starts(setup), 120, what="the setup program to start")
            desktop.wait_for_no_window(WINDOW, timeout=180)
            wait_until(lambda: not desktop.processes("RUNsetup.exe"), 60, what="the loader to end")
            self.assertEqual(len(winehost.setup_starts(setup)), 1)
            self.assertEqual(len(winehost.setup_ends(setup)), 1)
            self.assertFalse((folder / "done").exists())


if __name__ == "__main__":
    unittest.main()
