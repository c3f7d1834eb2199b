"""Every include in src/ runs downward through the folders, or stays in its own."""
import os
import re
import unittest

SRC = os.path.join(os.path.dirname(__file__), "..", "..", "src")
# Top first; a folder may include its own files and those of any later row.
LAYERS = [
    ["."],
    ["startup"],
    ["waitwindow", "manifest"],
    ["binding"],
    ["shell"],
    ["protocol"],
    ["runtime/process"],
    ["runtime/forms", "runtime/files"],
    ["runtime/platform"],
    ["runtime/text"],
]
RANK = {folder: rank for rank, row in enumerate(LAYERS) for folder in row}


def folder_of(path):
    return os.path.relpath(os.path.dirname(os.path.normpath(path)), SRC)


class Layers(unittest.TestCase):
    def test_includes_run_downward(self):
        upward = []
        for top, _, names in os.walk(SRC):
            for name in (n for n in names if n.endswith((".h", ".cpp"))):
                path = os.path.join(top, name)
                here = folder_of(path)
                self.assertIn(here, RANK, f"{here} has no row in LAYERS")
                with open(path, encoding="utf-8") as f:
                    for target in re.findall(r'^#include "([^"]+)"', f.read(), re.M):
                        there = folder_of(os.path.join(top, target))
                        if there != here and RANK.get(there, -1) <= RANK[here]:
                            upward.append(f"{os.path.relpath(path, SRC)} -> {target}")
        self.assertEqual(upward, [])


if __name__ == "__main__":
    unittest.main()
