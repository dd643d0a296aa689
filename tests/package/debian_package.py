#!/usr/bin/env python3
"""The Debian package as a user receives it.

Builds the package from the build tree with cpack in a temporary folder,
checks its control fields, its file list and the modes of its files, lets
lintian judge it, extracts it into a temporary root whose program folder is
read-only (as installed), and there runs zurm-calc on an installed example and
zurm (offscreen) once on its first start and once on a file given as its
argument. Last, the calculation file type is looked up as the desktop does it:
an SQLite .mdb is a calculation, an Access .mdb stays an Access database.

Root may write into any folder: for root the installed marker of the program
folder is what keeps the program out of it.

Usage: debian_package.py BUILD_DIR SOURCE_DIR
"""
import os
import shutil
import sqlite3
import stat
import subprocess
import sys
import tempfile
import time

BUILD, SOURCE = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
PACKAGE = "zurm_1.4-1_amd64.deb"
LIMIT = 60  # seconds the program may take to open a file


class Failed(Exception):
    pass


def run(*args, **kwargs):
    result = subprocess.run(args, capture_output=True, text=True, **kwargs)
    if result.returncode != 0:
        raise Failed(f"{' '.join(args)} ended with {result.returncode}:\n{result.stdout}{result.stderr}")
    return result.stdout


def expect(condition, text):
    if not condition:
        raise Failed(text)


def build_package(work):
    out = os.path.join(work, "out")
    run("cpack", "--config", os.path.join(BUILD, "CPackConfig.cmake"), "-B", out)
    deb = os.path.join(out, PACKAGE)
    expect(os.path.isfile(deb), f"cpack wrote no {PACKAGE}: {os.listdir(out)}")
    return deb


def check_control(deb):
    fields = {name: run("dpkg-deb", "-f", deb, name).strip()
              for name in ("Package", "Version", "Architecture", "Section", "Priority", "Maintainer", "Depends")}
    for name, value in {"Package": "zurm", "Version": "1.4-1", "Architecture": "amd64",
                        "Section": "science", "Priority": "optional"}.items():
        expect(fields[name] == value, f"{name}: {fields[name]!r}, expected {value!r}")
    expect("@" in fields["Maintainer"], f"Maintainer: {fields['Maintainer']!r}")
    depends = {part.split()[0] for part in fields["Depends"].split(",")}
    # What shlibdeps finds and what it cannot see (plugins, translations, a font).
    needed = {"libqt6widgets6", "libqt6gui6", "libqt6sql6", "libqt6printsupport6", "libsqlite3-0",
              "libxlsxwriter4", "libminizip1", "libqt6sql6-sqlite", "libqt6svg6", "qt6-translations-l10n",
              "fonts-dejavu-core", "libmdb3"}
    expect(needed <= depends, f"Depends lacks {sorted(needed - depends)}: {fields['Depends']}")


def expected_files():
    """Every file the package must hold, from the sources it is built of."""
    files = {"usr/lib/zurm/zurm", "usr/lib/zurm/zurm-calc", "usr/lib/zurm/GidrRas.mdb", "usr/lib/zurm/Spr.mdb",
             "usr/lib/zurm/Nastr.mdb", "usr/lib/zurm/installed", "usr/lib/zurm/samples/sample.mdb",
             "usr/share/doc/zurm/copyright", "usr/share/doc/zurm/changelog.Debian.gz",
             "usr/share/doc/zurm/examples/district_map.jpg",
             "usr/share/man/man1/zurm.1.gz", "usr/share/man/man1/zurm-calc.1.gz",
             "usr/share/applications/zurm.desktop", "usr/share/icons/hicolor/scalable/apps/zurm.svg",
             "usr/share/mime/packages/zurm.xml"}
    files |= {"usr/lib/zurm/" + name for name in os.listdir(os.path.join(SOURCE, "data/reports"))}
    files |= {"usr/share/doc/zurm/examples/" + name[:-4] + ".mdb"
              for name in os.listdir(os.path.join(SOURCE, "data/examples")) if name.endswith(".sql")}
    help_root = os.path.join(SOURCE, "data/help")
    for folder, _, names in os.walk(help_root):
        files |= {"usr/lib/zurm/help/" + os.path.relpath(os.path.join(folder, n), help_root) for n in names}
    return files


def check_tree(root):
    found, problems = set(), []
    for folder, dirs, names in os.walk(root):
        for name in dirs + names:
            path = os.path.join(folder, name)
            relative = os.path.relpath(path, root)
            mode = stat.S_IMODE(os.lstat(path).st_mode)
            if os.path.islink(path):
                target = os.readlink(path)
                expect(not os.path.isabs(target), f"{relative} links to an absolute path {target}")
                found.add(relative)
            elif os.path.isdir(path):
                if mode != 0o755:
                    problems.append(f"{relative}/ {mode:o}")
            else:
                found.add(relative)
                program = relative in ("usr/lib/zurm/zurm", "usr/lib/zurm/zurm-calc")
                if mode != (0o755 if program else 0o644):
                    problems.append(f"{relative} {mode:o}")
    expect(not problems, f"wrong modes: {problems}")
    wanted = expected_files() | {"usr/bin/zurm", "usr/bin/zurm-calc"}
    expect(found == wanted, f"missing {sorted(wanted - found)}, unexpected {sorted(found - wanted)}")
    for name in ("zurm", "zurm-calc"):
        expect(os.path.realpath(os.path.join(root, "usr/bin", name)) == os.path.join(root, "usr/lib/zurm", name),
               f"usr/bin/{name} does not lead into the program folder")
        kind = run("file", "-b", os.path.join(root, "usr/lib/zurm", name))
        expect("not stripped" not in kind and "debug_info" not in kind, f"{name}: {kind}")
    run("desktop-file-validate", os.path.join(root, "usr/share/applications/zurm.desktop"))


class User:
    """A user with a home folder of its own."""

    def __init__(self, work, name):
        self.home = os.path.join(work, name)
        os.makedirs(os.path.join(self.home, "runtime"), mode=0o700)
        self.env = dict(os.environ, HOME=self.home, XDG_RUNTIME_DIR=os.path.join(self.home, "runtime"),
                        QT_QPA_PLATFORM="offscreen")
        for name in ("XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_DOCUMENTS_DIR"):
            self.env.pop(name, None)

    def copy(self, source, name):
        path = os.path.join(self.home, name)
        shutil.copyfile(source, path)
        return path

    def settings_file(self):
        return os.path.join(self.home, ".local/share/ЗУРМ/Nastr.mdb")

    def stored_calculation(self):
        try:
            with sqlite3.connect(f"file:{self.settings_file()}?mode=ro", uri=True, timeout=1) as db:
                return db.execute("SELECT [ФайлГР] FROM [Настройки]").fetchone()[0]
        except sqlite3.Error:
            return None

    def start_window(self, root, expected, *args):
        """Starts zurm and waits until the settings name `expected` and the program holds it open."""
        log = open(os.path.join(self.home, "zurm.log"), "w")
        program = subprocess.Popen([os.path.join(root, "usr/bin/zurm"), *args], env=self.env,
                                   cwd=self.home, stdout=log, stderr=subprocess.STDOUT)
        try:
            deadline = time.monotonic() + LIMIT
            while time.monotonic() < deadline:
                expect(program.poll() is None, f"zurm ended with {program.returncode}")
                # The document is open once the program has taken its lock.
                lock = os.path.join(os.path.dirname(expected), "~$" + os.path.basename(expected) + ".lock")
                if self.stored_calculation() == expected and os.path.isfile(lock):
                    return
                time.sleep(0.1)
            raise Failed(f"zurm {' '.join(args)} did not open {expected}; "
                         f"the settings name {self.stored_calculation()!r}")
        finally:
            program.terminate()
            program.wait()
            log.close()


def check_installed(root):
    program_folder = os.path.join(root, "usr/lib/zurm")
    before = sorted(os.listdir(program_folder))
    for folder, dirs, names in os.walk(program_folder):
        for name in dirs + names + [""]:
            path = os.path.join(folder, name)
            os.chmod(path, stat.S_IMODE(os.stat(path).st_mode) & ~0o222)
    examples = os.path.join(root, "usr/share/doc/zurm/examples")

    user = User(os.path.dirname(root), "home")
    calculation = user.copy(os.path.join(examples, "one_pipe.mdb"), "one_pipe.mdb")
    text = os.path.join(user.home, "one_pipe.txt")
    run(os.path.join(root, "usr/bin/zurm-calc"), calculation, "--text", text, env=user.env)
    expect(os.path.getsize(text) > 0, "zurm-calc wrote an empty protocol")

    # The first start: the window opens on a copy of the sample among the documents.
    user.start_window(root, os.path.join(user.home, "Documents/ЗУРМ/sample.mdb"))
    # A file on the command line is opened and remembered as "Открыть расчет" does.
    district = user.copy(os.path.join(examples, "district_two_pipe.mdb"), "квартал.mdb")
    user.start_window(root, district, "квартал.mdb")
    expect(sorted(os.listdir(program_folder)) == before, "something was written into the program folder")


def check_file_types(root, work):
    share = os.path.join(work, "mime")
    packages = os.path.join(share, "mime/packages")
    os.makedirs(packages)
    shutil.copy("/usr/share/mime/packages/freedesktop.org.xml", packages)
    shutil.copy(os.path.join(root, "usr/share/mime/packages/zurm.xml"), packages)
    run("update-mime-database", os.path.join(share, "mime"))
    env = dict(os.environ, XDG_DATA_DIRS=share, XDG_DATA_HOME=os.path.join(work, "no-user-data"))
    cases = [(os.path.join(root, "usr/share/doc/zurm/examples/one_pipe.mdb"), "application/x-zurm-calculation"),
             (os.path.join(SOURCE, "tests/data/jet/emptyJet4.mdb"), "application/vnd.ms-access")]
    for path, expected in cases:
        found = run("gio", "info", "-a", "standard::content-type", path, env=env)
        expect(f"content-type: {expected}" in found, f"{os.path.basename(path)}: {found.strip()}, expected {expected}")


def main():
    work = tempfile.mkdtemp(prefix="zurm-package-")
    try:
        deb = build_package(work)
        check_control(deb)
        root = os.path.join(work, "root")
        run("dpkg-deb", "-x", deb, root)
        check_tree(root)
        if shutil.which("lintian"):
            found = subprocess.run(["lintian", "--fail-on", "error", deb], capture_output=True, text=True)
            expect(found.returncode == 0, f"lintian:\n{found.stdout}{found.stderr}")
        check_file_types(root, work)
        check_installed(root)
    except Failed as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        return 1
    finally:
        subprocess.run(["chmod", "-R", "u+w", work])
        shutil.rmtree(work, ignore_errors=True)
    print("the package builds, installs into a read-only folder and runs")
    return 0


if __name__ == "__main__":
    sys.exit(main())
