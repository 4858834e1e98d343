#!/usr/bin/python3
"""The show in Debian's headless chromium, served as make web-serve serves it.

    web_test.py WEB_BUILD DESKTOP_BUILD WORKDIR MUSIC_CHECKSUM MUSIC_CHECKSUM_JS

Checks, each a group of its own:
  - the start page: it loads without a console error, the browser offers
    WebGL 2 and the page is cross-origin isolated, and it offers to start;
  - a click starts the show, Escape ends it with exit code 0, and the page
    offers to play again;
  - the pictures: in capture mode the page's picture at a show time matches
    nitrate-capture's at the same time, size and pass rate (PSNR >= 30 dB),
    and each run ends cleanly without a console error;
  - the music: the first seconds the sound worklet plays, after the half of
    silence, are sample for sample what the web build's decoder gives
    (MUSIC_CHECKSUM_JS, run by node: a checksum over the same frames), and
    those are the desktop decoder's (MUSIC_CHECKSUM) to within float rounding;
  - the end: with the clock sped up, the show ends by itself at 131 s of show
    time and the page offers to play again;
  - a hidden tab: while another tab is in front the show's clock and music
    run on, and back in front the show resumes in sync with the music;
  - damaged content: a served copy with one content file removed or damaged
    shows the file's message (caption: text, as the desktop's) in the page and
    on the console, ends with -1 and offers to play again;
  - window sizes: at 1280x720, 800x800 and twice the device pixel ratio the
    canvas is the window's largest 4:3 box, centred, its drawing buffer is its
    CSS size times devicePixelRatio, the viewer sees black around it, and the
    picture at that size matches the desktop's.
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


def browser(profile, size=(800, 600), scale=None):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    flags = ["--headless=new", "--no-sandbox", "--disable-gpu", "--use-angle=swiftshader",
             "--enable-unsafe-swiftshader", "--disable-quic", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--autoplay-policy=no-user-gesture-required", "--window-size=%d,%d" % size,
             f"--user-data-dir={profile}"]
    if scale:
        flags.append(f"--force-device-scale-factor={scale}")
    for flag in flags:
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


def offers_play_again(driver):
    return wait_for(driver, "return !document.getElementById('end').hidden && "
                            "!document.getElementById('again').disabled", 60)


def escape(driver):
    """Presses Escape; whether the show then ended."""
    ActionChains(driver).send_keys(Keys.ESCAPE).perform()
    return wait_for(driver, "return window.nitrateReport.exitCode !== null", 20)


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
    ended = escape(driver)
    report = driver.execute_script("return window.nitrateReport")
    check(ended and report["exitCode"] == 0, "Escape ends the show with exit code 0",
          str(report["exitCode"]))
    check(offers_play_again(driver), "the page then offers to play again")
    errors = console_errors(driver)
    check(not errors and not report["messages"], "no console error from start to end",
          "; ".join(errors + report["messages"]))


# The first frames the sound plays: the half of silence the stream opens
# with, then four seconds of the march at its 44100 Hz.
TAP_FRAMES = 16384 + 4 * 44100


# Debian's x86-64 libvorbis is built with gcc -ffast-math, which rounds its
# inverse MDCT a little differently from the same source built for
# WebAssembly: about half the samples differ in their last bit or two.
MAX_DECODER_DIFFERENCE = 2.0 ** -21  # -126 dBFS


def decoded_music(command, music, work, name):
    """(frames, checksum, rate, half checksums, samples) from music_checksum."""
    raw = os.path.join(work, name + ".f32")
    out = subprocess.run(command + [music, str(TAP_FRAMES), raw], check=True,
                         capture_output=True, text=True).stdout.split()
    return out[0], out[1], out[2], out[3:], numpy.fromfile(raw, dtype="<f4")


def test_music(driver, url, checksum_tools, content, work):
    music = os.path.join(content, "music/belvamarch.ogg")
    desktop = decoded_music([checksum_tools[0]], music, work, "music-desktop")
    frames, checksum, rate, halves, samples = decoded_music(
        ["node", "--no-experimental-fetch", checksum_tools[1]], music, work, "music-web")
    difference = numpy.abs(desktop[4].astype(numpy.float64) - samples)
    check(desktop[4].shape == samples.shape and difference.max() <= MAX_DECODER_DIFFERENCE,
          "the web build's decoder gives the desktop's samples to within float rounding",
          "at most %.2g apart, %.1f %% identical" % (difference.max(),
                                                    100 * numpy.mean(difference == 0)))
    driver.get(url + "?size=640x480&autostart=1&tap=%d" % TAP_FRAMES)
    tap = wait_for(driver, "return window.nitrateReport && window.nitrateReport.audioTap", 90)
    check(tap is not None, f"the sound worklet plays {TAP_FRAMES} frames")
    if tap:
        got = "%08x" % tap["checksum"]
        got_halves = ["%08x" % h for h in tap["halves"]]
        parted = [i for i, (a, b) in enumerate(zip(got_halves, halves)) if a != b]
        check(tap["frames"] == int(frames) and got == checksum,
              f"the music reaches the audio graph sample for sample as the web build's decoder "
              f"gives it ({frames} frames at {rate} Hz, one half silent)",
              f"played {tap['frames']} frames {got}, decoded {frames} frames {checksum}" +
              (f"; they part in the 16384 frames from {parted[0] * 16384}" if parted else ""))
    rate_used = driver.execute_script("return window.nitrateReport.audioRate")
    check(str(rate_used) == rate, "the audio context runs at the music's own rate",
          f"{rate_used} Hz")
    escape(driver)
    errors = console_errors(driver)
    check(not errors, "no console error while the music plays", "; ".join(errors))


SPEED = 16
SHOW_SECONDS = 131.0


def test_end_of_show(driver, url):
    driver.get(url + "?size=640x480&autostart=1&speed=%d" % SPEED)
    ended = wait_for(driver, "return window.nitrateReport && window.nitrateReport.exitCode !== null",
                     SHOW_SECONDS / SPEED + 120)
    report = driver.execute_script("return window.nitrateReport")
    check(ended and report["exitCode"] == 0, "the show ends by itself with exit code 0",
          str(report["exitCode"]))
    if not ended or report["shownMs"] is None:
        return
    # From the picture's first showing to main's return, in show seconds: the
    # end at 131 s, the pass that ends it and the little start-up after the
    # canvas shows.
    seconds = (report["endedMs"] - report["shownMs"]) / 1000.0 * SPEED
    check(SHOW_SECONDS - 0.5 <= seconds <= SHOW_SECONDS + 6,
          f"it ends at {SHOW_SECONDS:.0f} s of show time (clock {SPEED} times as fast)",
          f"{seconds:.1f} s, {report['passes']} passes")
    check(offers_play_again(driver), "after the end the page offers to play again")
    errors = console_errors(driver)
    check(not errors and not report["messages"], "no console error through the whole show",
          "; ".join(errors + report["messages"]))


HIDDEN_SECONDS = 4


def test_hidden_tab(driver, url):
    driver.get(url + "?size=320x240")
    wait_for(driver, "return window.nitrateReport.loadedMs", 60)
    driver.find_element("id", "play").click()
    wait_for(driver, "return window.nitrateReport.firstFrameMs", 60)
    driver.execute_script("window.visibilityChanges = [];"
                          "document.addEventListener('visibilitychange',"
                          " () => window.visibilityChanges.push(document.visibilityState));")
    time.sleep(2)
    before = driver.execute_script("return window.nitrateReport.syncNow()")
    show = driver.current_window_handle
    driver.switch_to.new_window("tab")
    time.sleep(HIDDEN_SECONDS)
    driver.close()
    driver.switch_to.window(show)
    time.sleep(1.5)
    after = driver.execute_script("return window.nitrateReport.syncNow()")
    changes = driver.execute_script("return window.visibilityChanges")
    check(changes[:1] == ["hidden"] and changes[-1:] == ["visible"],
          "another tab in front hides the show's tab, and closing it shows it again", str(changes))
    if before and after:
        moved = after["clock"] - before["clock"]
        drift = (after["clock"] - after["sound"]) - (before["clock"] - before["sound"])
        check(moved >= HIDDEN_SECONDS and abs(drift) < 0.1,
              "back in front, the show resumes in sync with its music, which played on",
              f"clock moved {moved:.2f} s, music {after['sound'] - before['sound']:.2f} s, "
              f"drift {drift * 1000:+.0f} ms")
    else:
        check(False, "the page reports where the clock and the music stand", f"{before} {after}")
    ended = escape(driver)
    check(ended, "Escape then ends the show")


# (what is done to the served content, the file, the message the page shows)
DAMAGES = [
    ("removed", "shaders/plasma.fs", "shaders/plasma.fs: Could not open"),
    ("removed", "images/f2.png", "images/f2.png: File error."),
    ("cut to 33 bytes", "images/f3.png", "images/f3.png: PNG file ends early"),
    ("removed", "3d/cube.obj", "3d/cube.obj: Could not open"),
    ("overwritten at its start", "music/belvamarch.ogg", "Error: Sound error."),
]
SERVED_FILES = ["index.html", "page.js", "nitrate-audio.js", "still.jpg", "nitrate.js",
                "nitrate.wasm", "nitrate.worker.js", "nitrate.data", "content.js.metadata"]


def damaged_copy(web_build, folder, damage, path):
    """The served files in folder, with the content package's file at path
    removed from its index, cut short or overwritten."""
    os.makedirs(folder)
    for name in SERVED_FILES:
        if name not in ("nitrate.data", "content.js.metadata"):
            os.link(os.path.join(web_build, name), os.path.join(folder, name))
    with open(os.path.join(web_build, "content.js.metadata")) as f:
        metadata = json.load(f)
    with open(os.path.join(web_build, "nitrate.data"), "rb") as f:
        data = bytearray(f.read())
    entries = [e for e in metadata["files"] if e["filename"] == "/" + path]
    assert len(entries) == 1, f"{path} is not in the content package"
    entry = entries[0]
    if damage == "removed":
        metadata["files"].remove(entry)
    elif damage.startswith("cut to "):
        entry["end"] = entry["start"] + int(damage.split()[2])
    else:
        data[entry["start"]:entry["start"] + 64] = b"\x55" * 64
    with open(os.path.join(folder, "content.js.metadata"), "w") as f:
        json.dump(metadata, f)
    with open(os.path.join(folder, "nitrate.data"), "wb") as f:
        f.write(data)


def test_damaged_content(driver, web_build, root, work):
    served = os.path.join(work, "damaged")
    for number, (damage, path, message) in enumerate(DAMAGES):
        damaged_copy(web_build, os.path.join(served, str(number)), damage, path)
    server, url = start_server(served, root)
    try:
        for number, (damage, path, message) in enumerate(DAMAGES):
            what = f"{path} {damage}"
            driver.get(url + f"{number}/?size=640x480&autostart=1")
            ended = wait_for(driver, "return window.nitrateReport && "
                                     "window.nitrateReport.exitCode !== null", 90)
            report = driver.execute_script("return window.nitrateReport")
            check(ended and report["exitCode"] == -1, f"{what}: the show stops with -1",
                  str(report["exitCode"]))
            shown = driver.execute_script("return document.getElementById('messages').textContent")
            check(message in shown.splitlines(), f"{what}: the page shows '{message}'", shown.strip())
            console = [line for line in console_errors(driver) if message in line]
            check(console, f"{what}: the console says it too")
            check(offers_play_again(driver), f"{what}: the page then offers to play again")
        # Without the content package at all the page says so rather than
        # wait for it.
        folder = os.path.join(served, "nodata")
        os.makedirs(folder)
        for name in SERVED_FILES:
            if name != "nitrate.data":
                os.link(os.path.join(web_build, name), os.path.join(folder, name))
        driver.get(url + "nodata/")
        said = wait_for(driver, "return document.getElementById('messages').textContent", 30)
        label = driver.execute_script("return document.getElementById('play').textContent")
        check(said and "nitrate.data" in said and label == "Cannot play here",
              "nitrate.data missing: the page says it cannot load it and offers no start",
              f"{(said or '').strip()}; button '{label}'")
    finally:
        server.terminate()
        server.wait()


# (window size in CSS pixels, device scale factor or None)
WINDOWS = [((1280, 720), None), ((800, 800), None), ((800, 500), 2)]
# A title card on its film frame, a few passes in.
SIZES_AT, SIZES_FPS = "5", "4"


def picture_box(width, height):
    """The largest 4:3 box of width x height, centred: (left, top, w, h)."""
    w, h = (width, width * 3 / 4) if width * 3 <= height * 4 else (height * 4 / 3, height)
    return (width - w) / 2, (height - h) / 2, w, h


def test_window_sizes(url, desktop_build, content, work):
    for size, scale in WINDOWS:
        what = "%dx%d%s" % (size[0], size[1], f" at scale {scale}" if scale else "")
        tag = what.replace(" ", "-")
        profile = tempfile.mkdtemp(prefix="nitrate-chromium-")
        driver = browser(profile, size, scale)
        try:
            # The viewport itself, whatever room the headless screen has.
            driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
                "width": size[0], "height": size[1], "deviceScaleFactor": 0, "mobile": False})
            driver.get(url)
            wait_for(driver, "return window.nitrateReport.loadedMs", 60)
            driver.find_element("id", "play").click()
            first = wait_for(driver, "return window.nitrateReport.firstFrameMs", 60)
            check(first is not None, f"{what}: a click starts the show")
            layout = driver.execute_script(
                "const c = document.getElementById('canvas'), r = c.getBoundingClientRect();"
                "return [c.width, c.height, r.left, r.top, r.width, r.height,"
                " window.devicePixelRatio, window.innerWidth, window.innerHeight];")
            width, height, left, top, css_width, css_height, ratio, inner_width, inner_height = layout
            want = picture_box(*size)
            check((inner_width, inner_height) == size
                  and all(abs(a - b) <= 1 for a, b in zip((left, top, css_width, css_height), want)),
                  f"{what}: the canvas is the window's largest 4:3 box, centred",
                  "%gx%g at %g,%g in %dx%d" % (css_width, css_height, left, top, inner_width,
                                                inner_height))
            check(abs(width - css_width * ratio) <= 1 and abs(height - css_height * ratio) <= 1,
                  f"{what}: its drawing buffer is its CSS size times devicePixelRatio",
                  f"buffer {width}x{height}, CSS {css_width:g}x{css_height:g}, ratio {ratio}")
            # What the viewer sees around the picture.
            shot = numpy.asarray(Image.open(io.BytesIO(driver.get_screenshot_as_png())).convert("RGB"))
            Image.fromarray(shot).save(os.path.join(work, f"window-{tag}.png"))
            l, t, w, h = (round(v * ratio) for v in want)
            outside = numpy.ones(shot.shape[:2], bool)
            outside[max(t - 1, 0):t + h + 1, max(l - 1, 0):l + w + 1] = False
            inside = shot[t + 1:t + h - 1, l + 1:l + w - 1]
            check(shot.shape[:2] == (round(size[1] * ratio), round(size[0] * ratio))
                  and int(shot[outside].max(initial=0)) <= 2 and inside.max() > 100,
                  f"{what}: the viewer sees the picture between black bars",
                  "brightest pixel beside it %d, in it %d" % (shot[outside].max(initial=0),
                                                             inside.max()))
            ended = escape(driver)
            check(ended, f"{what}: Escape ends the show")

            # The picture drawn at that size, against the desktop's.
            driver.get(url + f"?at={SIZES_AT}&fps={SIZES_FPS}&autostart=1")
            capture = wait_for(driver, "return window.nitrateReport.capture", 300)
            check(capture is not None, f"{what}: the page captures show time {SIZES_AT}")
            if not capture:
                continue
            web = numpy.asarray(Image.open(io.BytesIO(
                base64.b64decode(capture["png"].split(",", 1)[1]))).convert("RGB"))
            Image.fromarray(web).save(os.path.join(work, f"capture-{tag}.png"))
            device = (web.shape[1], web.shape[0])
            check(abs(device[0] - want[2] * ratio) <= 1 and abs(device[1] - want[3] * ratio) <= 1,
                  f"{what}: the show draws the 4:3 box's device pixels", "%dx%d" % device)
            reference_dir = os.path.join(work, f"desktop-{tag}")
            subprocess.run([os.path.join(desktop_build, "nitrate-capture"), "--content", content,
                            "--at", SIZES_AT, "--out", reference_dir, "--size", "%dx%d" % device,
                            "--fps", SIZES_FPS], check=True, stdout=subprocess.DEVNULL,
                           env=dict(os.environ, SDL_VIDEODRIVER="offscreen"))
            desktop = numpy.asarray(Image.open(os.path.join(reference_dir, f"t{SIZES_AT}.png"))
                                    .convert("RGB"))
            value = psnr(web, desktop)
            check(value >= MIN_PSNR, f"{what}: the picture matches the desktop's at that size "
                  f"(PSNR >= {MIN_PSNR} dB)", f"{value:.1f} dB")
            errors = console_errors(driver)
            check(not errors, f"{what}: no console error", "; ".join(errors))
        finally:
            driver.quit()
            subprocess.run(["rm", "-rf", profile])


def main():
    web_build, desktop_build, work = sys.argv[1:4]
    checksum_tools = sys.argv[4:6]
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    os.makedirs(work, exist_ok=True)
    server, url = start_server(web_build, root)
    profile = tempfile.mkdtemp(prefix="nitrate-chromium-")
    driver = browser(profile)
    try:
        test_start_page(driver, url)
        test_click_and_escape(driver, url)
        test_pictures(driver, url, desktop_build, work, os.path.join(root, "content"))
        test_music(driver, url, checksum_tools, os.path.join(root, "content"), work)
        test_end_of_show(driver, url)
        test_hidden_tab(driver, url)
        test_damaged_content(driver, web_build, root, work)
    finally:
        driver.quit()
        subprocess.run(["rm", "-rf", profile])
    try:
        test_window_sizes(url, desktop_build, os.path.join(root, "content"), work)
    finally:
        server.terminate()
        server.wait()
    print(f"{len(failures)} failed" if failures else "all passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
