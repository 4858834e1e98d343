#!/usr/bin/python3
"""The show in Debian's headless chromium, served as make web-serve serves it.

    web_test.py WEB_BUILD DESKTOP_BUILD WORKDIR

Checks, each a group of its own:
  - the start page: it loads without a console error, the browser offers
    WebGL 2 and the page is cross-origin isolated, and it offers to start;
  - a click starts the show, Escape ends it with exit code 0, and the page
    offers to play again;
  - the pictures: in capture mode the page's picture at a show time matches
    nitrate-capture's at the same time, size and pass rate (PSNR >= 30 dB),
    and each run ends cleanly without a console error.
Prints the figures it measures on the way (load and start times, passes).
"""
import base64
import io
import json
import os
import socket
import subprocess
import sys
import tempfile
import time

import numpy
from PIL import Image
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.keys import Keys

# The planes, the cube and the textured cube: the last two carry their ray
# directions screen-linear, which ES has to emulate.
CAPTURE_TIMES = ["41.53", "71.3", "81.7"]
CAPTURE_SIZE = (640, 480)
CAPTURE_FPS = "16"
MIN_PSNR = 30.0

failures = []


def check(condition, what, detail=""):
    print(("ok   " if condition else "FAIL ") + what + (f" ({detail})" if detail else ""), flush=True)
    if not condition:
        failures.append(what)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def start_server(folder, root):
    port = free_port()
    server = subprocess.Popen(
        ["/usr/bin/python3", os.path.join(root, "scripts/web/serve.py"), folder, "--port", str(port),
         "--quiet"], stdout=subprocess.PIPE, text=True)
    server.stdout.readline()  # the address: it listens
    return server, f"http://127.0.0.1:{port}/"


def browser(profile):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ["--headless=new", "--no-sandbox", "--disable-gpu", "--use-angle=swiftshader",
                 "--enable-unsafe-swiftshader", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--autoplay-policy=no-user-gesture-required", "--window-size=800,600",
                 f"--user-data-dir={profile}"]:
        options.add_argument(flag)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def wait_for(driver, script, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = driver.execute_script(script)
        if value:
            return value
        time.sleep(0.25)
    return None


def console_errors(driver):
    return [entry["message"] for entry in driver.get_log("browser") if entry["level"] == "SEVERE"]


def psnr(a, b):
    difference = a.astype(numpy.float64) - b.astype(numpy.float64)
    mse = numpy.mean(difference ** 2)
    return float("inf") if mse == 0 else 10 * numpy.log10(255.0 ** 2 / mse)


def test_start_page(driver, url):
    driver.get(url)
    loaded = wait_for(driver, "return window.nitrateReport && window.nitrateReport.loadedMs", 60)
    report = driver.execute_script("return window.nitrateReport")
    check(loaded is not None, "the page loads the program", f"{loaded:.0f} ms" if loaded else "")
    check(report["webgl2"], "the browser gives the page a WebGL 2 context")
    check(driver.execute_script("return window.crossOriginIsolated"),
          "the server's headers make the page cross-origin isolated")
    label = driver.execute_script("return document.getElementById('play').textContent")
    check(label == "Click to start", "the page offers to start", label)
    errors = console_errors(driver)
    check(not errors and not report["messages"], "no console error while loading",
          "; ".join(errors + report["messages"]))
    return loaded


def test_pictures(driver, url, desktop_build, work, content):
    reference_dir = os.path.join(work, "desktop")
    os.makedirs(reference_dir, exist_ok=True)
    env = dict(os.environ, SDL_VIDEODRIVER="offscreen")
    for at in CAPTURE_TIMES:
        # One run per time, as the page makes one: each asked time adds a
        # pass, and every pass draws the lamp's flicker from the show's
        # random sequence.
        subprocess.run([os.path.join(desktop_build, "nitrate-capture"), "--content", content,
                        "--at", at, "--out", reference_dir,
                        "--size", "%dx%d" % CAPTURE_SIZE, "--fps", CAPTURE_FPS],
                       check=True, env=env, stdout=subprocess.DEVNULL)
        test_picture(driver, url, at, os.path.join(reference_dir, f"t{at}.png"), work)


def test_picture(driver, url, at, reference, work):
    desktop = numpy.asarray(Image.open(reference).convert("RGB"))
    driver.get(url + "?at=%s&size=%dx%d&fps=%s&autostart=1" % (at, *CAPTURE_SIZE, CAPTURE_FPS))
    started = time.monotonic()
    capture = wait_for(driver, "return window.nitrateReport && window.nitrateReport.capture", 600)
    check(capture is not None, f"the page captures show time {at}",
          "%.0f s" % (time.monotonic() - started))
    if not capture:
        print(json.dumps(driver.execute_script("return window.nitrateReport"))[:2000])
        return
    png = base64.b64decode(capture["png"].split(",", 1)[1])
    web = numpy.asarray(Image.open(io.BytesIO(png)).convert("RGB"))
    Image.fromarray(web).save(os.path.join(work, f"web-t{at}.png"))
    check(web.shape == desktop.shape, f"the web picture at {at} has the desktop's size",
          str(web.shape[:2]))
    if web.shape == desktop.shape:
        value = psnr(web, desktop)
        check(value >= MIN_PSNR, f"the web picture at {at} matches the desktop's (PSNR >= {MIN_PSNR} dB)",
              f"{value:.1f} dB")
    ended = wait_for(driver, "return window.nitrateReport.exitCode !== null", 60)
    report = driver.execute_script("return window.nitrateReport")
    check(ended and report["exitCode"] == 0, "the show ends with exit code 0 after the capture",
          str(report["exitCode"]))
    errors = console_errors(driver)
    check(not errors and not report["messages"], "no console error while playing",
          "; ".join(errors + report["messages"]))


def test_click_and_escape(driver, url):
    driver.get(url + "?size=640x480")
    wait_for(driver, "return window.nitrateReport.loadedMs", 60)
    driver.find_element("id", "play").click()
    first = wait_for(driver, "return window.nitrateReport.firstFrameMs", 60)
    check(first is not None, "a click starts the show", "first frame %.0f ms after it" % (first or 0))
    time.sleep(2)
    passes = driver.execute_script("return window.nitrateReport.passesNow()")
    check(passes > 10, "the show runs its passes", f"{passes} in its first seconds")
    ActionChains(driver).send_keys(Keys.ESCAPE).perform()
    ended = wait_for(driver, "return window.nitrateReport.exitCode !== null", 20)
    report = driver.execute_script("return window.nitrateReport")
    check(ended and report["exitCode"] == 0, "Escape ends the show with exit code 0",
          str(report["exitCode"]))
    offered = wait_for(driver, "return !document.getElementById('end').hidden && "
                               "!document.getElementById('again').disabled", 60)
    check(offered, "the page then offers to play again")
    errors = console_errors(driver)
    check(not errors and not report["messages"], "no console error from start to end",
          "; ".join(errors + report["messages"]))


def main():
    web_build, desktop_build, work = sys.argv[1:4]
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    os.makedirs(work, exist_ok=True)
    server, url = start_server(web_build, root)
    profile = tempfile.mkdtemp(prefix="nitrate-chromium-")
    driver = browser(profile)
    try:
        test_start_page(driver, url)
        test_click_and_escape(driver, url)
        test_pictures(driver, url, desktop_build, work, os.path.join(root, "content"))
    finally:
        driver.quit()
        server.terminate()
        server.wait()
        subprocess.run(["rm", "-rf", profile])
    print(f"{len(failures)} failed" if failures else "all passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
