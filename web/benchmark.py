#!/usr/bin/python3
"""Speed and size of the web page, measured in the headless Chromium the tests use.

  - ready: from the start of loading index.html from file:// to the page
    saying it is ready (fenwa.js and Graphviz compiled and started), as the
    page's own clock (performance.now()) has it; median of fresh loads;
  - convert: fenwa.convert on the largest input the converter accepts
    (samples::Largest(), written by build/tests/web/fenwa_web_inputs), timed
    in the page, against the native converter run on the same file in a
    temporary folder (process start, reading, writing and flushing included);
    medians; and the whole page opening that file (identify, convert,
    summary, dump, edit table);
  - sample picture: from giving the page sample-network.json to its picture
    being on the page;
  - size: every file the page loads.

Usage: make build web && /usr/bin/python3 web/benchmark.py [RUNS]
(FENWA_BUILD and FENWA_WEB_BUILD name the builds, build and build-web by default.)
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "web"))
from browser import Browser  # noqa: E402

BUILD = os.path.abspath(os.environ.get("FENWA_BUILD", os.path.join(ROOT, "build")))
WEB_BUILD = os.path.abspath(os.environ.get("FENWA_WEB_BUILD", os.path.join(ROOT, "build-web")))
PAGE = os.path.join(WEB_BUILD, "page")
URL = "file://" + os.path.join(PAGE, "index.html")



def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 20
    work = tempfile.mkdtemp(prefix="fenwa-web-bench-")
    try:
        inputs = os.path.join(work, "inputs")
        subprocess.run([os.path.join(BUILD, "tests", "web", "fenwa_web_inputs"), inputs], check=True,
                       stdout=subprocess.DEVNULL)
        largest = os.path.join(inputs, "largest.dat")
        size = os.path.getsize(largest)

        native = []
        folder = os.path.join(work, "native")
        os.makedirs(folder)
        shutil.copy(largest, folder)
        for _ in range(runs):
            start = time.perf_counter()
            subprocess.run([os.path.join(BUILD, "fenwaimg"), "largest.dat"], cwd=folder, check=True,
                           stdout=subprocess.DEVNULL)
            native.append(time.perf_counter() - start)

        ready = []
        for _ in range(5):
            browser = Browser(offline=True)
            try:
                browser.open(URL)
                ready.append(browser.driver.execute_script("return fenwaPage.readyAt"))
            finally:
                browser.close()

        browser = Browser(offline=True)
        try:
            browser.open(URL)
            driver = browser.driver
            page_ms = browser.run(
                "const bytes = fenwaTest.decode(args[0]);"
                "const times = [];"
                "for (let i = 0; i < args[1]; ++i) {"
                "  const start = performance.now();"
                "  const run = fenwaPage.fenwa.convert(bytes, 'largest.dat');"
                "  times.push(performance.now() - start);"
                "  if (run.status !== 0) throw new Error(run.error);"
                "}"
                "return times;",
                __import__("base64").b64encode(open(largest, "rb").read()).decode("ascii"), runs)

            def open_file(path, until):
                before = int(driver.execute_script("return document.body.dataset.loads"))
                start = time.perf_counter()
                driver.find_element("id", "file-input").send_keys(path)
                while not driver.execute_script(until, before):
                    time.sleep(0.002)
                seconds = time.perf_counter() - start
                while int(driver.execute_script("return document.body.dataset.loads")) == before:
                    time.sleep(0.01)
                driver.execute_script("document.getElementById('file-input').value = ''")
                return seconds

            loaded = "return Number(document.body.dataset.loads) > arguments[0]"
            whole = [open_file(largest, loaded) for _ in range(3)]
            drawn = "return Number(document.body.dataset.loads) > arguments[0] && " \
                    "document.querySelector('#picture svg') !== null"
            sample = [open_file(os.path.join(ROOT, "examples", "sample-network.json"), drawn) for _ in range(5)]
        finally:
            browser.close()

        files = sorted(os.listdir(PAGE))
        total = sum(os.path.getsize(os.path.join(PAGE, name)) for name in files)
        native_ms = statistics.median(native) * 1000
        convert_ms = statistics.median(page_ms)
        print("web page benchmark (%d runs; medians)" % runs)
        print("  ready after opening from file://: %.0f ms (of %s)" % (statistics.median(ready),
                                                                        ", ".join("%.0f" % r for r in ready)))
        print("  largest input, %d bytes: native fenwaimg %.2f ms, fenwa.convert in the page %.2f ms: %.2fx"
              % (size, native_ms, convert_ms, convert_ms / native_ms))
        print("  the page opening the largest input (identify, convert, summary, dump, edit table): %.0f ms"
              % (statistics.median(whole) * 1000))
        print("  the sample's picture on the page after choosing sample-network.json: %.0f ms"
              % (statistics.median(sample) * 1000))
        print("  the page's files: %d bytes (%s)" % (total, ", ".join(
            "%s %d" % (name, os.path.getsize(os.path.join(PAGE, name))) for name in files)))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
