#!/usr/bin/python3
"""The web show's figures, in Debian's headless chromium on SwiftShader, served
as make web-serve serves it:

    bench/web.py WEB_BUILD [SECONDS] [SIZE]     (defaults: build-web 40 1280x720)

Prints the page's weight (each file as served, and gzipped at level 6 as a
compressing server would send it), then for RUNS plays (default 3): the time
from navigation to the start card's "Click to start", from the click to the
first frame, and the passes per second over SECONDS of the show at SIZE; then
the median of each, and the load average. bench/run.sh gives the desktop
show's passes per second at the same size.
"""
import gzip
import os
import statistics
import subprocess
import sys
import tempfile
import time

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "tests", "web"))
import web_test  # noqa: E402  (the same browser and server as make web-test)

SERVED = ["index.html", "page.js", "nitrate-audio.js", "still.jpg", "nitrate.js", "nitrate.wasm",
          "nitrate.worker.js", "content.js.metadata", "nitrate.data"]


def weight(web_build):
    total = total_gzip = 0
    for name in SERVED:
        with open(os.path.join(web_build, name), "rb") as f:
            data = f.read()
        packed = len(gzip.compress(data, compresslevel=6))
        total += len(data)
        total_gzip += packed
        print(f"{name:22s} {len(data):10d} bytes  gzip {packed:10d}")
    print(f"{'total':22s} {total:10d} bytes  gzip {total_gzip:10d}")


def play(url, seconds, size):
    profile = tempfile.mkdtemp(prefix="nitrate-chromium-")
    driver = web_test.browser(profile, size)
    try:
        driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": size[0], "height": size[1], "deviceScaleFactor": 1, "mobile": False})
        started = time.monotonic()
        driver.get(url + "?size=%dx%d" % size)
        loaded = web_test.wait_for(driver, "return window.nitrateReport.loadedMs", 120)
        driver.find_element("id", "play").click()
        first = web_test.wait_for(driver, "return window.nitrateReport.firstFrameMs", 120)
        begin = driver.execute_script("return [performance.now(), window.nitrateReport.passesNow()]")
        time.sleep(seconds)
        end = driver.execute_script("return [performance.now(), window.nitrateReport.passesNow()]")
        rate = (end[1] - begin[1]) / ((end[0] - begin[0]) / 1000.0)
        driver.execute_script("document.dispatchEvent(new KeyboardEvent('keydown', {key: 'Escape'}))")
        return loaded, first, rate, time.monotonic() - started
    finally:
        driver.quit()
        subprocess.run(["rm", "-rf", profile])


def main():
    web_build = sys.argv[1] if len(sys.argv) > 1 else "build-web"
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 40
    size = tuple(int(v) for v in (sys.argv[3] if len(sys.argv) > 3 else "1280x720").split("x"))
    runs = int(os.environ.get("RUNS", "3"))
    weight(web_build)
    server, url = web_test.start_server(web_build, os.path.join(here, ".."))
    results = []
    try:
        for run in range(runs):
            loaded, first, rate, _ = play(url, seconds, size)
            print(f"run {run + 1}: start card {loaded:.0f} ms, first frame {first:.0f} ms after the "
                  f"click, {rate:.1f} passes/s over {seconds:g} s at {size[0]}x{size[1]}",
                  flush=True)
            results.append((loaded, first, rate))
    finally:
        server.terminate()
        server.wait()
    loaded, first, rate = (statistics.median(column) for column in zip(*results))
    print(f"median: start card {loaded:.0f} ms, first frame {first:.0f} ms, {rate:.1f} passes/s; "
          f"load average {os.getloadavg()[0]:.2f} {os.getloadavg()[1]:.2f} {os.getloadavg()[2]:.2f}")


if __name__ == "__main__":
    main()
