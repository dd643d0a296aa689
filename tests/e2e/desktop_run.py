#!/usr/bin/env python3
"""The main road of the desktop program under a real X server, with real X input.

Starts Xvfb and the program (xcb platform, Russian locale) on a copy of the
two-pipe sample with "keep the calculation text" on, then, once with the mouse
and once with the keyboard: runs the calculation, answers "Да", saves the text
under a typed name, closes the viewer and the completion dialog; checks the
text file, the calculation-done flag and that the main window still answers.

Clicks and keys go through xdotool (XTEST), the way a person's would. Where
things are on the screen comes from a plugin loaded into the program that only
reports the windows and controls (tests/e2e/WidgetProbe.cpp).

Usage: desktop_run.py BIN_DIR PLUGIN_DIR
"""
import json
import os
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time

BIN, PLUGINS = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
LIMIT = 60  # seconds any one step may take before the test gives up


class Failed(Exception):
    pass


def free_display():
    for n in range(90, 200):
        if not os.path.exists(f"/tmp/.X{n}-lock") and not os.path.exists(f"/tmp/.X11-unix/X{n}"):
            return f":{n}"
    raise Failed("no free X display")


class Desktop:
    def __init__(self, work):
        self.work = work
        self.probe = os.path.join(work, "probe.json")
        self.display = free_display()
        self.program = None
        self.xvfb = subprocess.Popen(["Xvfb", self.display, "-screen", "0", "1600x1200x24", "-nolisten", "tcp"],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.env = dict(os.environ, DISPLAY=self.display)
        self.wait(lambda: subprocess.run(["xdotool", "getmouselocation"], env=self.env,
                                         capture_output=True).returncode == 0, "the X server to start")

    def start(self, program_folder):
        env = dict(self.env, QT_QPA_PLATFORM="xcb", LANG="ru_RU.UTF-8", LC_ALL="ru_RU.UTF-8",
                   HOME=os.path.join(self.work, "home"), QT_PLUGIN_PATH=PLUGINS,
                   QT_QPA_GENERIC_PLUGINS="widgetprobe", ZURM_PROBE_FILE=self.probe)
        os.makedirs(env["HOME"], exist_ok=True)
        self.log = open(os.path.join(self.work, "zurm.log"), "w")
        self.program = subprocess.Popen([os.path.join(program_folder, "zurm")], env=env, cwd=program_folder,
                                        stdout=self.log, stderr=subprocess.STDOUT)

    def stop(self):
        if self.program and self.program.poll() is None:
            self.program.kill()
            self.program.wait()
        self.xvfb.send_signal(signal.SIGTERM)
        self.xvfb.wait()

    def wait(self, condition, what):
        deadline = time.monotonic() + LIMIT
        while time.monotonic() < deadline:
            if self.program is not None and self.program.poll() is not None:
                raise Failed(f"the program ended (code {self.program.returncode}) while waiting for {what}")
            value = condition()
            if value:
                return value
            time.sleep(0.05)
        shown = [(w["title"], [c.get("text", c["object"]) for c in w["controls"] if c["class"] != "QToolButton"])
                 for w in self.snapshot()["windows"]]
        raise Failed(f"gave up waiting for {what}; windows shown: {shown}")

    def snapshot(self):
        try:
            with open(self.probe, encoding="utf-8") as f:
                return json.load(f)
        except (OSError, ValueError):
            return {"windows": []}

    def window(self, match):
        for window in self.snapshot()["windows"]:
            if match(window):
                return window
        return None

    def control(self, window_match, control_match, what):
        def find():
            window = self.window(window_match)
            if window:
                for control in window["controls"]:
                    if control_match(control) and control["enabled"]:
                        return control
            return None
        return self.wait(find, what)

    def xdotool(self, *args):
        subprocess.run(["xdotool", *args], env=self.env, check=True)

    def click(self, control):
        x, y, w, h = control["rect"]
        self.xdotool("mousemove", "--sync", str(x + w // 2), str(y + h // 2))
        self.xdotool("click", "1")

    def key(self, *keys):
        self.xdotool("key", "--delay", "60", *keys)

    def type(self, text):
        self.xdotool("type", "--delay", "40", text)


def has_text(text):
    return lambda control: control.get("text", "").replace("&", "") == text


def main_window(window):
    return window["class"].endswith("MainWindow")


def question(window):
    return window["modal"] and any(has_text("Да")(c) for c in window["controls"])


def completion(window):
    return window["object"] == "RasVipForm"


def save_dialog(window):
    return window["title"] == "Сохранить текст расчета как..."


def viewer(window):
    return window["object"] == "VigrV_TXTForm"


def gone(desktop, match, what):
    desktop.wait(lambda: desktop.window(match) is None, what)


def focused(desktop, match):
    window = desktop.window(match)
    return next((c for c in window["controls"] if c["focus"]), None) if window else None


def run_once(desktop, calculation, text_path, by_mouse):
    run_button = desktop.control(main_window, lambda c: c.get("action") == "tbVipRas", "the run button")
    desktop.click(run_button)  # the toolbar is reached with the mouse in both passes
    yes = desktop.control(question, has_text("Да"), "the question before the run")
    if by_mouse:
        desktop.click(yes)
    else:
        # "Нет" is the default answer: Tab moves to "Да", Space presses it.
        for _ in range(4):
            now = focused(desktop, question)
            if now and has_text("Да")(now):
                break
            desktop.key("Tab")
            time.sleep(0.2)
        desktop.key("space")
    name_edit = desktop.control(save_dialog, lambda c: c["object"] == "fileNameEdit", "the save dialog of the text")
    if by_mouse:
        desktop.click(name_edit)
    desktop.key("ctrl+a")
    desktop.type(text_path)
    desktop.control(save_dialog, lambda c: c["object"] == "fileNameEdit" and c["text"] == text_path,
                    "the typed name in the save dialog")
    desktop.key("Return")
    gone(desktop, save_dialog, "the save dialog to close")
    desktop.wait(lambda: desktop.window(viewer), "the text viewer")
    # The viewer is closed with its menu's "Закрыть" (Alt+F4 needs a window manager).
    if by_mouse:
        desktop.click(desktop.control(viewer, lambda c: c["object"] == "miClose", "the viewer's \"Закрыть\""))
    else:
        desktop.wait(lambda: (desktop.window(viewer) or {}).get("active"), "the viewer to take the keyboard")
        desktop.key("Escape")
    gone(desktop, viewer, "the viewer to close")
    ok = desktop.control(completion, has_text("OK"), "the completion dialog")
    if by_mouse:
        desktop.click(ok)
    else:
        desktop.wait(lambda: (desktop.window(completion) or {}).get("active"), "the completion dialog's focus")
        desktop.key("Return")
    gone(desktop, completion, "the completion dialog to close")
    check_outcome(calculation, text_path)


def check_outcome(calculation, text_path):
    if not os.path.isfile(text_path) or os.path.getsize(text_path) == 0:
        raise Failed(f"no calculation text at {text_path}")
    with open(text_path, "rb") as f:
        text = f.read().decode("cp1251")
    if "\r\n" not in text:
        raise Failed("the calculation text has no CR LF line ends")
    with sqlite3.connect(calculation) as db:
        (done,) = db.execute("SELECT [РВ] FROM [НазвРасч]").fetchone()
    if done != 1:
        raise Failed(f"РВ is {done} after the run")


def still_answers(desktop):
    desktop.click(desktop.control(main_window, lambda c: c.get("action") == "tbVipRas", "the run button"))
    no = desktop.control(question, has_text("Нет"), "the question after a click on the run button")
    desktop.click(no)
    gone(desktop, question, "the question to close on \"Нет\"")


def main():
    work = tempfile.mkdtemp(prefix="zurm-desktop-")
    desktop = None
    try:
        program = os.path.join(work, "program")
        shutil.copytree(BIN, program, symlinks=True)
        calculation = os.path.join(work, "sample.mdb")
        shutil.copy(os.path.join(program, "samples", "sample.mdb"), calculation)
        with sqlite3.connect(os.path.join(program, "Nastr.mdb")) as db:
            db.execute("UPDATE [Настройки] SET [ФайлГР] = ?, [СохрТекстРас] = 1", (calculation,))
        with sqlite3.connect(calculation) as db:
            db.execute("UPDATE [НазвРасч] SET [РВ] = 0")
        desktop = Desktop(work)
        desktop.start(program)
        for by_mouse in (True, False):
            text_path = os.path.join(work, "mouse.txt" if by_mouse else "keys.txt")
            run_once(desktop, calculation, text_path, by_mouse)
        still_answers(desktop)
        print("the desktop run finished with the mouse and with the keyboard")
        return 0
    except Failed as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        log = os.path.join(work, "zurm.log")
        if os.path.exists(log):
            print(open(log, encoding="utf-8", errors="replace").read()[-4000:], file=sys.stderr)
        return 1
    finally:
        if desktop:
            desktop.stop()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
