#!/usr/bin/python3
"""The live results in a real browser.

Starts the program on an X server of its own with the live results switched on, opens a
start list with Ctrl+O, types two couples' marks with real keys (xdotool), and checks in
headless Chromium (chromium-driver, Selenium) that "/" and "/overlay" show what the
scoreboard shows, that Ctrl+A fades the overlay out, and that a page whose server goes
away says that it reconnects. Screenshots of both pages, and of "/" 360 pixels wide, go to
the output folder.

usage: browser_test.py PROGRAM OUTPUT_FOLDER
"""
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By

CHROMIUM = "/usr/bin/chromium"
DRIVER = "/usr/bin/chromedriver"


def fail(message):
    print("live browser test: FAILED: " + message, file=sys.stderr)
    sys.exit(1)


def within(seconds, check, what):
    deadline = time.monotonic() + seconds
    while True:
        try:
            result = check()
            if result:
                return result
        except Exception:  # a page or server not there yet
            pass
        if time.monotonic() > deadline:
            fail(what)
        time.sleep(0.1)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    program, output = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    for tool in (CHROMIUM, DRIVER, shutil.which("Xvfb"), shutil.which("xdotool"), shutil.which("openbox"),
                 shutil.which("xprop")):
        if not tool or not os.path.exists(tool):
            fail("%s is missing (scripts/install-deps.sh)" % tool)
    os.makedirs(output, exist_ok=True)
    work = tempfile.mkdtemp(prefix="scorelane-live-")
    processes = []
    driver = None
    try:
        env = dict(os.environ)
        for name in ("config", "data", "runtime"):
            os.makedirs(os.path.join(work, name), mode=0o700)
        env.update(XDG_CONFIG_HOME=os.path.join(work, "config"), XDG_DATA_HOME=os.path.join(work, "data"),
                   XDG_RUNTIME_DIR=os.path.join(work, "runtime"), QT_QPA_PLATFORM="xcb")

        # The X server and a window manager to give the program the keys.
        read_end, write_end = os.pipe()
        xvfb_log = open(os.path.join(output, "xvfb.log"), "w")
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1920x1080x24",
                                 "-nolisten", "tcp"], pass_fds=[write_end], stdout=xvfb_log, stderr=xvfb_log)
        processes.append(xvfb)
        os.close(write_end)
        display = os.read(read_end, 32).decode().strip()
        env["DISPLAY"] = ":" + display
        processes.append(subprocess.Popen(["openbox"], env=env, stdout=subprocess.DEVNULL,
                                          stderr=subprocess.DEVNULL))
        # A window mapped while openbox is still starting may stay unmapped: the program
        # starts once openbox manages the screen.
        within(10, lambda: "window id" in subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=env,
                                                          capture_output=True, text=True).stdout,
               "openbox did not start")

        # The live results on, as the operator left them; a start list in Windows-1252.
        port = free_port()
        settings = os.path.join(work, "config", "Quellmark")
        os.makedirs(settings)
        with open(os.path.join(settings, "Scorelane.ini"), "w") as f:
            f.write("[General]\nLiveOn=1\nLivePort=%d\nLiveNetwork=0\n" % port)
        start_list = os.path.join(work, "Latein.txt")
        with open(start_list, "wb") as f:
            f.write("Nr.\tName\tVerein\r\n".encode("cp1252"))
            f.write("11\tJörg Müller / Anna Groß\tTSC Grün-Weiß\r\n".encode("cp1252"))
            f.write("12\tBen Ode / Cleo Ruiz\tTanzclub Rot-Gold\r\n".encode("cp1252"))
            f.write("13\tDan Eck / Eva Fink\tTSC Grün-Weiß\r\n".encode("cp1252"))

        log = open(os.path.join(output, "program.log"), "w")
        program_process = subprocess.Popen([program], env=env, cwd=work, stdout=log, stderr=subprocess.STDOUT)
        processes.append(program_process)

        def xdotool(*args):
            return subprocess.run(["xdotool", *args], env=env, capture_output=True, text=True).stdout.strip()

        main_window = within(20, lambda: xdotool("search", "--onlyvisible", "--pid", str(program_process.pid),
                                                 "--name", "^Scorelane 1\\.6$").split("\n")[0],
                             "the main window did not appear")
        base = "http://127.0.0.1:%d" % port

        def state():
            with urllib.request.urlopen(base + "/api/state", timeout=2) as answer:
                return json.load(answer)

        within(10, state, "the server did not start with the program")

        def key(*keys):
            xdotool("windowactivate", main_window)
            for k in keys:
                xdotool("key", k)
                time.sleep(0.05)

        # Open the start list as the operator does.
        key("ctrl+o")
        time.sleep(1.0)
        xdotool("key", "ctrl+a")
        xdotool("type", "--delay", "5", start_list)
        xdotool("key", "Return")
        within(10, lambda: state()["competition"] == "Latein", "the start list was not opened (tab caption)")
        time.sleep(0.5)

        driver_options = webdriver.ChromeOptions()
        driver_options.binary_location = CHROMIUM
        for argument in ("--headless=new", "--disable-gpu", "--disable-dev-shm-usage", "--hide-scrollbars",
                         "--window-size=1280,900", "--lang=de-DE"):
            driver_options.add_argument(argument)
        if os.geteuid() == 0:
            driver_options.add_argument("--no-sandbox")
        driver = webdriver.Chrome(service=Service(executable_path=DRIVER), options=driver_options)
        driver.get(base + "/")
        results = driver.current_window_handle
        driver.switch_to.new_window("tab")
        driver.get(base + "/overlay")
        # The page as streaming software gets it: 1920 x 1080, transparent where nothing is shown.
        driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                               {"width": 1920, "height": 1080, "deviceScaleFactor": 1, "mobile": False})
        driver.execute_cdp_cmd("Emulation.setDefaultBackgroundColorOverride",
                               {"color": {"r": 0, "g": 0, "b": 0, "a": 0}})
        overlay = driver.current_window_handle

        def on(handle, script):
            driver.switch_to.window(handle)
            return driver.execute_script(script)

        within(10, lambda: on(results, "return !document.body.classList.contains('reconnecting')"),
               "the page did not connect")
        if on(results, "return document.getElementById('couple').classList.contains('empty')") is not True:
            fail("a couple is shown before any was entered")

        # Two couples' marks with the keys: to J.1 (Esc, Tab), five marks each with Enter.
        key("Escape", "Tab")
        for mark in ("9", "8", "8", "7", "8"):
            key(mark, "Return")
        key("Down", "Tab")
        for mark in ("7", "9", "6", "8", "8"):
            key(mark, "Return")
        shown = within(10, lambda: state()["couple"] and state()["couple"]["number"] == "12" and state(),
                       "the second couple did not reach the server")
        if len(shown["rows"]) != 2:
            fail("expected 2 placed rows, the server has %d" % len(shown["rows"]))

        def page_couple():
            return on(results, """
                const text = (id) => document.getElementById(id).textContent;
                return { number: text('couple-number'), name: text('couple-name'), club: text('couple-club'),
                         total: text('couple-total'), place: text('couple-place'),
                         marks: [...document.querySelectorAll('#couple-marks .mark .value')].map(e => e.textContent),
                         struck: [...document.querySelectorAll('#couple-marks .mark.struck')].map(e => e.dataset.judge),
                         places: [...document.querySelectorAll('#places tbody tr')].map(
                             r => [...r.cells].map(c => c.textContent)) };""")

        expected = {"number": "12", "name": "Ben Ode / Cleo Ruiz", "club": "Tanzclub Rot-Gold", "total": "23",
                    "place": "2", "marks": ["7", "9", "6", "8", "8"], "struck": ["2", "3"]}
        got = within(10, lambda: page_couple() if page_couple()["number"] == "12" else None,
                     "the phone page did not show the second couple")
        for field, value in expected.items():
            if got[field] != value:
                fail("phone page %s: %r, expected %r" % (field, got[field], value))
        if [row[0] for row in got["places"]] != ["1", "2"] or "Jörg Müller / Anna Groß" not in got["places"][0][2]:
            fail("phone page places: %r" % got["places"])

        def overlay_state():
            return on(overlay, """
                const third = document.getElementById('lower-third');
                return { shown: third.classList.contains('shown'), opacity: getComputedStyle(third).opacity,
                         name: document.getElementById('lt-name').textContent,
                         total: document.getElementById('lt-total').textContent,
                         place: document.getElementById('lt-place').textContent,
                         struck: document.querySelectorAll('#lt-marks .mark.struck').length };""")

        got = within(10, lambda: overlay_state() if overlay_state()["shown"] else None,
                     "the overlay did not show the couple")
        if (got["name"], got["total"], got["place"], got["struck"]) != ("Ben Ode / Cleo Ruiz", "23", "2", 2):
            fail("overlay: %r" % got)
        background = on(overlay, "return getComputedStyle(document.body).backgroundColor")
        if background != "rgba(0, 0, 0, 0)":
            fail("the overlay's background is %s, not transparent" % background)
        time.sleep(0.8)  # the fade-in
        driver.switch_to.window(overlay)
        driver.save_screenshot(os.path.join(output, "overlay.png"))
        driver.switch_to.window(results)
        driver.save_screenshot(os.path.join(output, "phone-page.png"))
        driver.set_window_size(360, 760)
        time.sleep(0.3)
        driver.save_screenshot(os.path.join(output, "phone-page-360.png"))
        width = driver.execute_script("return document.documentElement.scrollWidth")
        if width > 360:
            fail("the phone page is %d pixels wide at 360" % width)

        # Ctrl+A clears the scoreboard: the overlay fades out, the phone page empties its couple.
        key("ctrl+a")
        within(10, lambda: not overlay_state()["shown"], "Ctrl+A did not clear the overlay")
        within(5, lambda: overlay_state()["opacity"] == "0", "the overlay did not fade out")
        within(5, lambda: on(results, "return document.getElementById('couple').classList.contains('empty')"),
               "Ctrl+A did not clear the phone page's couple")
        driver.switch_to.window(overlay)
        driver.save_screenshot(os.path.join(output, "overlay-cleared.png"))

        # The server goes away: the page says it reconnects.
        program_process.kill()
        program_process.wait()
        within(10, lambda: "verbinde neu" in on(results, "return document.getElementById('connection').textContent"),
               "the page does not say that it reconnects")
        driver.switch_to.window(results)
        driver.set_window_size(1280, 900)
        time.sleep(0.3)
        driver.save_screenshot(os.path.join(output, "phone-page-reconnecting.png"))
        print("live browser test: passed; screenshots in " + output)
        return 0
    finally:
        if driver:
            driver.quit()
        for process in reversed(processes):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(5)
                except subprocess.TimeoutExpired:
                    process.kill()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
