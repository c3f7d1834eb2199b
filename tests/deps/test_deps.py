"""scripts/ensure-deps.sh against what the project runs: every outside
program that a script, test, the Makefile or a CMake file calls has its
package in the script's table, and the script decides by package."""

import ast
import os
import re
import subprocess
import tempfile
import unittest
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
SCRIPT = ROOT / "scripts" / "ensure-deps.sh"

# Shell words that run no outside program.
SHELL_WORDS = set("""if then else elif fi for while until do done case esac in function return exit set shift
    local export readonly declare unset read mapfile cd pwd true false command type trap wait eval exec source
    break continue printf echo test [ [[ ! time env""".split())
# Words after which a command line names no program.
DECLARING = {"for", "case", "local", "export", "readonly", "declare", "unset", "function"}
# The programs of the base system every Debian 12 has (its required
# packages); sudo only serves users who are not root, who need it anyway.
BASE_SYSTEM = set("""bash sh id sudo cat tee grep sed awk sort uniq comm head tail tr cut wc mkdir rm cp mv ln ls
    chmod stat dirname basename find xargs sleep date uname mount umount dpkg dpkg-query apt-get nice mktemp touch""".split())
# Calls in Python whose first argument is the program and its arguments.
PYTHON_RUNNERS = {"run", "Popen", "call", "check_call", "check_output", "_spawn", "x", "which"}


def table():
    """(program, package) rows of the table in ensure-deps.sh."""
    body = re.search(r"<<'TABLE'\n(.*?)\nTABLE\n", SCRIPT.read_text(), re.S).group(1)
    return [tuple(line.split()[:2]) for line in body.splitlines() if line.strip()]


def shell_programs(text):
    """The programs that shell text runs: the first word of each command."""
    lines, heredoc = [], None
    for line in text.replace("\\\n", " ").splitlines():
        if heredoc:
            heredoc = None if line.strip() == heredoc else heredoc
            continue
        found = re.search(r"<<-?\s*['\"]?(\w+)", line)
        heredoc = found and found.group(1)
        lines.append(re.sub(r"(^|\s)#.*", "", line))
    text = re.sub(r"'[^']*'", "$STR", "\n".join(lines))
    text = re.sub(r"\$\(\([^()]*\)\)", "$NUM", text)
    commands = []
    while True:  # command substitutions, innermost first, are commands of their own
        inner = re.findall(r"\$\(([^()]*)\)", text)
        if not inner:
            break
        commands += inner
        text = re.sub(r"\$\(([^()]*)\)", "$SUB", text)
    commands.append(text)
    functions = set(re.findall(r"^\s*([\w-]+)\s*\(\)", text, re.M))
    programs = set()
    for command in commands:
        command = re.sub(r'"[^"]*"', "$STR", re.sub(r"\d*[<>]{1,3}&?\d*-?", " ", command))
        for segment in re.split(r"[;&|(){}\n]+", command):
            words = [w for w in segment.split() if not re.match(r"\w+=", w)]
            while words and words[0] in SHELL_WORDS | {"as_root", "sudo"}:
                words.pop(0)
            if words and not DECLARING & set(segment.split()[:1]) and re.fullmatch(r"[A-Za-z][\w.+-]*", words[0]):
                programs.add(words[0])
    return programs - functions


def python_programs(text):
    programs = set()
    for node in ast.walk(ast.parse(text)):
        if not isinstance(node, ast.Call) or not node.args:
            continue
        name = getattr(node.func, "attr", getattr(node.func, "id", ""))
        first = node.args[0]
        if isinstance(first, (ast.List, ast.Tuple)) and first.elts:
            first = first.elts[0]
        if name in PYTHON_RUNNERS and isinstance(first, ast.Constant) and isinstance(first.value, str):
            programs.add(first.value)
    return programs


def cmake_programs(text):
    return (set(re.findall(r"\bCOMMAND\s+([A-Za-z][\w.+-]*)", text)) |
            set(re.findall(r"CMAKE_\w+_COMPILER\s+([A-Za-z][\w.+-]*)", text)))


def makefile_programs(text):
    recipes = [line.lstrip("\t@-+") for line in text.splitlines() if line.startswith("\t")]
    # $(NAME) in a recipe is make's variable, not a command substitution.
    return shell_programs(re.sub(r"\$\((\w+)\)", r"$\1", "\n".join(recipes)))


def programs_called():
    """program -> the files that call it (the project's own programs left out)."""
    files = [ROOT / "Makefile", ROOT / ".ci" / "run", ROOT / "CMakeLists.txt", *ROOT.glob("cmake/*.cmake"),
             *ROOT.glob("scripts/*"), *ROOT.glob("tests/**/*")]
    cmake_files = [p for p in files if p.suffix == ".cmake" or p.name == "CMakeLists.txt"]
    targets = {t for p in cmake_files for t in re.findall(r"add_executable\(\s*([\w.+-]+)", p.read_text())}
    found = {}
    for path in files:
        if path.suffix == ".py":
            programs = python_programs(path.read_text())
        elif path.suffix == ".sh" or path.parent.name == ".ci":
            programs = shell_programs(path.read_text())
        elif path in cmake_files:
            programs = cmake_programs(path.read_text()) - targets
        elif path.name == "Makefile":
            programs = makefile_programs(path.read_text())
        else:
            continue
        for program in programs:
            found.setdefault(program, []).append(str(path.relative_to(ROOT)))
    return found


class InstallScript(unittest.TestCase):
    def test_every_program_called_has_its_package_in_the_table(self):
        called = programs_called()
        # The scan itself must see the calls it exists for.
        self.assertTrue({"wine", "xdotool", "import", "cmake", "ctest", "apt-get"} <= set(called), sorted(called))
        covered = {program for program, _ in table()} | BASE_SYSTEM
        uncovered = {p: files for p, files in called.items() if p not in covered}
        self.assertEqual(uncovered, {}, "add these programs and their packages to the table in ensure-deps.sh")

    def test_decides_by_package_whatever_the_path_holds(self):
        """A `convert` that is not ImageMagick's on the PATH, ImageMagick not
        installed: ImageMagick is installed; installed packages are not."""
        with tempfile.TemporaryDirectory() as stubs:
            installed = sorted({package for _, package in table()} - {"imagemagick", "qemu-user-static"})
            (Path(stubs) / "dpkg-query").write_text(
                "#!/bin/sh\n" + "".join(f"echo '{p} installed'\n" for p in installed) +
                "echo 'no packages found matching imagemagick' >&2\nexit 1\n")
            (Path(stubs) / "convert").write_text("#!/bin/sh\necho 'not ImageMagick'\n")
            for stub in Path(stubs).iterdir():
                stub.chmod(0o755)
            env = dict(os.environ, PATH=f"{stubs}:{os.environ['PATH']}")
            out = subprocess.run(["bash", str(SCRIPT), "--missing"], env=env, capture_output=True, text=True,
                                 check=True, timeout=60).stdout
        self.assertEqual(out.split(), ["imagemagick"])

    def test_backports_come_from_the_machines_own_debian_source(self):
        # Local URIs stand in for a mirror: no host is named.
        deb822 = ("Types: deb-src\nURIs: file:/srv/src\nSuites: bookworm\n\n"
                  "Types: deb\n# a comment\nURIs: file:/srv/one file:/srv/two\n"
                  "Suites: bookworm bookworm-updates\nComponents: main\n")
        one_line = "# deb file:/srv/old bookworm main\ndeb [arch=amd64] file:/srv/list bookworm main\n"
        for files, expected in (({"sources.list.d/debian.sources": deb822}, "file:/srv/one"),
                                ({"sources.list": one_line}, "file:/srv/list"),
                                ({"sources.list": "deb file:/srv/old bullseye main\n"}, None)):
            with self.subTest(expected=expected), tempfile.TemporaryDirectory() as apt:
                (Path(apt) / "sources.list.d").mkdir()
                for name, content in files.items():
                    (Path(apt) / name).write_text(content)
                result = subprocess.run(["bash", str(SCRIPT), "--mirror"], env=dict(os.environ, APT_DIR=apt),
                                        capture_output=True, text=True, timeout=60)
                self.assertEqual(result.stdout.strip() or None, expected)
                self.assertEqual(result.returncode == 0, expected is not None)


if __name__ == "__main__":
    unittest.main()
