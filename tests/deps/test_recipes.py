"""The packager's guide's recipes as the tools read them: the winget block in
a minimal installer manifest against the rules of winget's manifest schema
(1.6 on) and validation that it touches; the Ansible block through
ansible-playbook and the modules' own documentation (ansible-doc)."""

import json
import re
import subprocess
import tempfile
import unittest
from pathlib import Path

import yaml

GUIDE = Path(__file__).resolve().parents[2] / "docs" / "packager-guide.md"

INSTALLER_TYPES = {"msix", "msi", "appx", "exe", "zip", "inno", "nullsoft", "wix", "burn", "pwa", "portable"}
RESPONSES = {"packageInUse", "packageInUseByApplication", "installInProgress", "fileInUse", "missingDependency",
             "diskFull", "insufficientMemory", "invalidParameter", "noNetwork", "contactSupport",
             "rebootRequiredToFinish", "rebootRequiredForInstall", "rebootInitiated", "cancelledByUser",
             "alreadyInstalled", "downgrade", "blockedByPolicy", "systemNotSupported", "custom"}


def recipe(heading):
    """The first yaml block after the recipe's bold heading, parsed."""
    found = re.search(re.escape(f"**{heading}**") + r".*?```yaml\n(.*?)```", GUIDE.read_text(), re.S)
    return yaml.safe_load(found.group(1))


def winget_faults(manifest):
    """What winget's installer schema and validation would reject."""
    faults = [f"no {key}" for key in ("PackageIdentifier", "PackageVersion", "Installers", "ManifestType",
                                      "ManifestVersion") if key not in manifest]
    for installer in [{**manifest, **entry} for entry in manifest.get("Installers") or []]:
        faults += [f"no {key}" for key in ("Architecture", "InstallerUrl", "InstallerSha256") if key not in installer]
        kind, nested = installer.get("InstallerType"), installer.get("NestedInstallerType")
        files = installer.get("NestedInstallerFiles") or []
        if kind not in INSTALLER_TYPES or kind == "zip" and nested not in INSTALLER_TYPES - {"zip", "pwa"}:
            faults.append(f"installer type {kind}/{nested}")
        if kind == "zip" and (not files or nested != "portable" and len(files) > 1):
            faults.append("NestedInstallerFiles: one file for a non-portable nested installer")
        faults += [f"relative path {f}" for f in files
                   if not isinstance(f.get("RelativeFilePath"), str) or ".." in f["RelativeFilePath"].split("\\")]
        success = installer.get("InstallerSuccessCodes") or []
        expected = installer.get("ExpectedReturnCodes") or []
        codes = success + [entry.get("InstallerReturnCode") for entry in expected]
        faults += [f"return code {c}" for c in codes if type(c) is not int or c == 0 or not -2**31 <= c < 2**32]
        faults += [f"duplicate return code {c}" for c in sorted(set(c for c in codes if codes.count(c) > 1))]
        faults += [f"response {e.get('ReturnResponse')}" for e in expected if e.get("ReturnResponse") not in RESPONSES]
    return faults


class Winget(unittest.TestCase):
    def test_the_recipe_in_a_minimal_manifest_passes_and_each_known_fault_fails(self):
        def manifest(**changes):
            block = {**recipe("winget"), **changes}
            return {"PackageIdentifier": "Vendor.Driver", "PackageVersion": "1.0", "ManifestType": "installer",
                    "ManifestVersion": "1.6.0", **block, "Installers": [{
                        "Architecture": "x86", "InstallerUrl": Path("driver.zip").absolute().as_uri(),
                        "InstallerSha256": "0" * 64}]}
        self.assertEqual(winget_faults(manifest()), [])
        good = recipe("winget")
        for changes in ({"InstallerSuccessCodes": [3010, 1641]}, {"InstallerType": "archive"},
                        {"NestedInstallerType": "zip"}, {"NestedInstallerFiles": good["NestedInstallerFiles"] * 2},
                        {"ExpectedReturnCodes": [{"InstallerReturnCode": 1618, "ReturnResponse": "retry"}]}):
            self.assertNotEqual(winget_faults(manifest(**changes)), [], changes)


class Ansible(unittest.TestCase):
    tasks = recipe("Ansible")

    def test_the_playbook_passes_the_syntax_check_with_documented_options_only(self):
        with tempfile.TemporaryDirectory() as folder:
            play = Path(folder) / "play.yml"
            play.write_text(yaml.safe_dump([{"hosts": "all", "gather_facts": False, "tasks": self.tasks}]))
            check = subprocess.run(["ansible-playbook", "-i", "localhost,", "--syntax-check", str(play)],
                                   capture_output=True, text=True, timeout=300)
            self.assertEqual(check.returncode, 0, check.stderr)
        modules = [next(key for key in task if key.startswith("ansible.")) for task in self.tasks]
        docs = json.loads(subprocess.run(["ansible-doc", "-j", *modules], capture_output=True, text=True,
                                         timeout=300, check=True).stdout)
        for task, module in zip(self.tasks, modules):
            self.assertLessEqual(set(task[module] or {}), set(docs[module]["doc"]["options"]), module)

    def test_the_reboot_follows_3010_and_1641_and_a_run_that_changed_nothing_passes(self):
        when = next(task["when"] for task in self.tasks if "ansible.windows.win_reboot" in task)
        results = {"rc0": {"reboot_required": False, "rc": 0}, "rc1603": {"reboot_required": False, "rc": 1603},
                   "rc3010": {"reboot_required": True, "rc": 3010}, "rc1641": {"reboot_required": False, "rc": 1641},
                   "unchanged": {"reboot_required": False}}
        play = [{"hosts": "localhost", "gather_facts": False, "tasks": [{
            "debug": {"msg": "restarts {{ item.key }}"}, "when": when, "vars": {"driver": "{{ item.value }}"},
            "loop": "{{ results | dict2items }}"}], "vars": {"results": results}}]
        with tempfile.TemporaryDirectory() as folder:
            (Path(folder) / "play.yml").write_text(yaml.safe_dump(play))
            run = subprocess.run(["ansible-playbook", "-i", "localhost,", "-c", "local", "play.yml"], cwd=folder,
                                 capture_output=True, text=True, timeout=300)
        self.assertEqual(run.returncode, 0, run.stdout)
        self.assertEqual(sorted(re.findall(r'"restarts (\w+)"', run.stdout)), ["rc1641", "rc3010"])


if __name__ == "__main__":
    unittest.main()
