#!/usr/bin/python3
"""The web page against the native programs, in headless Chromium.

The page (build-web/page/, `make web`) is opened from file:// with the
network cut off, and every result it gives is compared with what the native
fenwaimg, fenwadump and fenwamake of the same commit (build/) print and write
for the same bytes: exit status, standard output, standard error and files.

  - Conversions: the sample and well over 200 inputs (every sample network,
    one past each limit, refused header fields, random networks, and cuts and
    damaged bytes of them) through the page's module, and the sample, a
    refused input and bad files through the page itself.
  - Dumps, summaries and pictures of every input and of the images made.
  - Edits in the table against the same edits made in a dump with fenwamake,
    and edits the format cannot hold refused at their cell in fenwamake's words.
  - What changed between two files, and what the edits changed, against
    fenwadump --diff of the same pair: its text, JSON, picture and status.
  - No request leaves the page; the page also works from a static server, and
    fenwa.js from Node.js.

Run by `make web-test`: FENWA_BUILD (build) and FENWA_WEB_BUILD (build-web)
name the two builds. Screenshots of the page with the sample drawn and of what
changed in an edited copy are kept in build-web/screenshots/ (sample.png,
difference.png).
"""
import base64
import functools
import hashlib
import http.server
import json
import os
import random
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from browser import Browser  # noqa: E402

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
BUILD = os.path.abspath(os.environ.get("FENWA_BUILD", os.path.join(ROOT, "build")))
WEB_BUILD = os.path.abspath(os.environ.get("FENWA_WEB_BUILD", os.path.join(ROOT, "build-web")))
PAGE = os.path.join(WEB_BUILD, "page")
PAGE_URL = "file://" + os.path.join(PAGE, "index.html")
FENWAIMG = os.path.join(BUILD, "fenwaimg")
FENWADUMP = os.path.join(BUILD, "tools", "fenwadump", "fenwadump")
FENWAMAKE = os.path.join(BUILD, "tools", "fenwamake", "fenwamake")
INPUT_MAKER = os.path.join(BUILD, "tests", "web", "fenwa_web_inputs")
SAMPLE_JSON = os.path.join(ROOT, "examples", "sample-network.json")
NODE = os.environ.get("FENWA_NODE", "node")

work = None  # the temporary folder of the run
browser = None
inputs = {}  # name -> bytes: everything compared with the native converter
images = {}  # name -> bytes: the images the native converter made of them


# ---- the native programs, each run in a folder of its own ----


def run(command, cwd, stdin=None):
    done = subprocess.run(command, cwd=cwd, input=stdin, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
    return done.returncode, done.stdout, done.stderr


def native_convert(name, data, encoding="utf-8"):
    """fenwaimg NAME, NAME given in `encoding` ('?' for a character it cannot hold) and its error line read in it."""
    folder = tempfile.mkdtemp(dir=work)
    argument = name.encode(encoding, errors="replace")
    with open(os.path.join(os.fsencode(folder), argument), "wb") as file:
        file.write(data)
    status, out, err = run([FENWAIMG, argument], folder)
    image_path = os.path.join(folder, "fenwaimg.pdb")
    image = open(image_path, "rb").read() if os.path.exists(image_path) else b""
    shutil.rmtree(folder)
    return {"status": status, "console": out, "error": err.decode(encoding), "image": image}


def native_dump(name, data, *options):
    folder = tempfile.mkdtemp(dir=work)
    with open(os.path.join(folder, name), "wb") as file:
        file.write(data)
    status, out, err = run([FENWADUMP, *options, name], folder)
    shutil.rmtree(folder)
    return {"status": status, "out": out.decode("utf-8"), "err": err.decode("utf-8")}


def native_diff(old, new, *options):
    """fenwadump --diff [OPTIONS] OLD NEW on two (name, bytes), as the page names them."""
    folder = tempfile.mkdtemp(dir=work)
    for name, data in (old, new):
        with open(os.path.join(folder, name), "wb") as file:
            file.write(data)
    status, out, err = run([FENWADUMP, "--diff", *options, old[0], new[0]], folder)
    shutil.rmtree(folder)
    return {"status": status, "out": out.decode("utf-8"), "err": err.decode("utf-8")}


def native_make(name, text):
    folder = tempfile.mkdtemp(dir=work)
    with open(os.path.join(folder, name), "w", encoding="utf-8") as file:
        file.write(text)
    status, out, err = run([FENWAMAKE, name, "out.dat"], folder)
    made = os.path.join(folder, "out.dat")
    data = open(made, "rb").read() if status == 0 else b""
    shutil.rmtree(folder)
    return {"status": status, "out": out.decode("utf-8"), "err": err.decode("utf-8"), "file": data}


# ---- the page's module, called in the page ----


def b64(data):
    return base64.b64encode(data).decode("ascii")


def page_call(script, *args):
    result = browser.run(script, *args)
    if isinstance(result, dict) and "failed" in result:
        raise AssertionError("the page failed: " + result["failed"])
    return result


def page_convert(batch):
    """[(name, bytes)] converted by the page's module."""
    results = page_call(
        "return args[0].map(([name, data]) => {"
        "  const run = fenwaPage.fenwa.convert(fenwaTest.decode(data), name);"
        "  return {status: run.status, console: fenwaTest.encode(run.console), error: run.error,"
        "          image: fenwaTest.encode(run.image)};"
        "});",
        [[name, b64(data)] for name, data in batch],
    )
    for result in results:
        result["console"] = base64.b64decode(result["console"])
        result["image"] = base64.b64decode(result["image"])
    return results


# Text longer than this comes back from the page as its SHA-256.
LONG_TEXT = 100000


def page_tool(batch):
    """[(call, name, bytes, options)] through fenwa.dump, .summary or .draw; long output as a hash."""
    return page_call(
        "const results = [];"
        "for (const [call, name, data, options] of args[0]) {"
        "  const run = fenwaPage.fenwa[call](fenwaTest.decode(data), name, options);"
        "  let out = run.out;"
        "  if (out.length > args[1]) {"
        "    const digest = await crypto.subtle.digest('SHA-256', new TextEncoder().encode(out));"
        "    out = 'sha256:' + Array.from(new Uint8Array(digest), (b) => b.toString(16).padStart(2, '0')).join('');"
        "  }"
        "  results.push({status: run.status, out, err: run.err});"
        "}"
        "return results;",
        [[call, name, b64(data), options] for call, name, data, options in batch],
        LONG_TEXT,
    )


def comparable(native):
    out = native["out"]
    if len(out) > LONG_TEXT:
        out = "sha256:" + hashlib.sha256(out.encode("utf-8")).hexdigest()
    return {"status": native["status"], "out": out, "err": native["err"]}


def batches(items, size_limit=4 << 20):
    batch, size = [], 0
    for item in items:
        batch.append(item)
        size += len(item[1]) if isinstance(item[1], bytes) else len(item[2])
        if size >= size_limit:
            yield batch
            batch, size = [], 0
    if batch:
        yield batch


# ---- the page itself ----


def open_in_page(path, timeout=120, chooser="file-input", count="loads"):
    """Gives the page files (paths one a line) through a file chooser and waits until it has shown them:
    until body's data-loads (the files opened) or data-compares (the comparisons) counts one more."""
    driver = browser.driver
    script = "return Number(document.body.dataset[arguments[0]] || 0)"
    before = driver.execute_script(script, count)
    driver.find_element("id", chooser).send_keys(path)
    start = time.monotonic()
    while driver.execute_script(script, count) == before:
        if time.monotonic() - start > timeout:
            raise AssertionError("the page did not finish with %s in %d s" % (path, timeout))
        time.sleep(0.02)
    driver.execute_script("document.getElementById(arguments[0]).value = ''", chooser)
    return time.monotonic() - start


def compare_in_page(path):
    """Gives the page a file to compare the opened one with, and waits until it has shown the difference."""
    return open_in_page(path, chooser="diff-input", count="compares")


def shown(element_id):
    return browser.driver.execute_script(
        "const e = document.getElementById(arguments[0]);"
        "return e && !e.hidden && e.closest('[hidden]') === null;",
        element_id,
    )


def offered(link_id):
    """The bytes the page offers behind a download link, or None when it offers none."""
    if not shown(link_id):
        return None
    href = browser.driver.execute_script("return document.getElementById(arguments[0]).href", link_id)
    return browser.fetch_bytes(href)


def status_shown(element_id):
    return int(browser.driver.execute_script("return document.getElementById(arguments[0]).dataset.status", element_id))


def keep_screenshot(element_id, file_name):
    """A screenshot of the element, all of it even where it is taller than the window."""
    driver = browser.driver
    box = driver.execute_script(
        "const r = document.getElementById(arguments[0]).getBoundingClientRect();"
        "return {x: r.left + scrollX - 8, y: r.top + scrollY - 8, width: r.width + 16, height: r.height + 16,"
        "        scale: 1};", element_id)
    shot = driver.execute_cdp_cmd("Page.captureScreenshot",
                                  {"format": "png", "captureBeyondViewport": True, "clip": box})
    shots = os.path.join(WEB_BUILD, "screenshots")
    os.makedirs(shots, exist_ok=True)
    with open(os.path.join(shots, file_name), "wb") as file:
        file.write(base64.b64decode(shot["data"]))


def write_file(name, data):
    path = os.path.join(work, "files", name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as file:
        file.write(data)
    return path


# ---- the inputs ----


def edited_sample():
    """The sample's description with 北町 renamed, a station added with a stop, two stops swapped and an edge
    given another value."""
    network = json.load(open(SAMPLE_JSON, encoding="utf-8"))
    network["stations"].append({"name": "新駅", "word_b": 1, "sort": 16, "kana_sort": 16})
    routes = {route["name"]: route for route in network["routes"]}
    routes["東都急行本線"]["stops"].append({"station": "新駅", "companion": 22})
    stops = routes["みなと環状線"]["stops"]
    stops[1], stops[2] = stops[2], stops[1]
    next(node for node in network["nodes"] if node["id"] == "中央 東都急行本線")["edges"][0]["value"] = 5
    text = json.dumps(network, ensure_ascii=False, indent=1)
    return text.replace('"北町"', '"北町駅"').replace('"北町 ', '"北町駅 ').encode("utf-8")


def make_inputs():
    folder = os.path.join(work, "generated")
    subprocess.run([INPUT_MAKER, folder], check=True, stdout=subprocess.DEVNULL)
    for name in sorted(os.listdir(folder)):
        inputs[name] = open(os.path.join(folder, name), "rb").read()
    sample = native_make("sample-network.json", open(SAMPLE_JSON, encoding="utf-8").read())
    assert sample["status"] == 0, sample["err"]
    inputs["sample.dat"] = sample["file"]
    # Cuts and damaged bytes of the smaller valid files: the same every run.
    rng = random.Random(18)
    small = ["sample.dat", "tiny.dat"] + rng.sample(
        [name for name, data in sorted(inputs.items()) if len(data) < 60000 and name not in ("sample.dat", "tiny.dat")],
        12)
    for name in small[:12]:
        data = inputs[name]
        for cut in sorted({0, 1, 4, 63, 64, 65, len(data) - 1} | {rng.randrange(len(data)) for _ in range(3)}):
            if 0 <= cut < len(data):
                inputs["%s.cut-%d" % (name, cut)] = data[:cut]
    for name in small[:14]:
        for copy in range(5):
            data = bytearray(inputs[name])
            for _ in range(rng.randint(1, 8)):
                data[rng.randrange(len(data))] = rng.randrange(256)
            inputs["%s.damaged-%d" % (name, copy)] = bytes(data)
    inputs["random-bytes.bin"] = bytes(rng.randrange(256) for _ in range(3000))


def setUpModule():
    global work, browser
    for path in (FENWAIMG, FENWADUMP, FENWAMAKE, INPUT_MAKER, os.path.join(PAGE, "index.html")):
        if not os.path.exists(path):
            raise unittest.SkipTest(path + " is missing: run make build web")
    work = tempfile.mkdtemp(prefix="fenwa-web-test-")
    make_inputs()
    browser = Browser(offline=True)
    browser.requests()  # the browser's own start page: not the page's
    browser.log.clear()
    browser.open(PAGE_URL)


def tearDownModule():
    if browser:
        browser.close()
    if work:
        shutil.rmtree(work, ignore_errors=True)


class Converter(unittest.TestCase):
    def test_every_input_converts_as_natively(self):
        compared = accepted = 0
        for batch in batches(sorted(inputs.items())):
            for (name, data), page in zip(batch, page_convert(batch)):
                native = native_convert(name, data)
                self.assertEqual(page["status"], native["status"], name)
                self.assertEqual(page["console"], native["console"], name)
                self.assertEqual(page["error"], native["error"], name)
                self.assertEqual(page["image"], native["image"], name)
                if native["status"] == 0:
                    images[name] = native["image"]
                    accepted += 1
                compared += 1
        print("\n  %d inputs converted in the page as natively (%d accepted, %d refused)"
              % (compared, accepted, compared - accepted), file=sys.stderr)
        self.assertGreaterEqual(compared, 200)
        self.assertGreater(accepted, 50)
        self.assertGreater(compared - accepted, 50)

    def test_the_sample_through_the_page(self):
        open_in_page(SAMPLE_JSON)
        self.assertEqual(browser.driver.execute_script("return document.getElementById('file-kind').dataset.kind"),
                         "description")
        made = native_make("sample-network.json", open(SAMPLE_JSON, encoding="utf-8").read())
        self.assertEqual(status_shown("make-status"), made["status"])
        self.assertEqual(browser.text("make-err"), made["err"])
        self.assertEqual(offered("make-download"), made["file"])
        native = native_convert("sample-network.dat", made["file"])
        self.assertEqual(browser.text("convert-console"), native["console"].decode("cp932"))
        self.assertIn("が作成されました", browser.text("convert-console"))
        self.assertEqual(status_shown("convert-status"), 0)
        self.assertEqual(browser.text("convert-error"), native["error"])
        self.assertEqual(offered("convert-download"), native["image"])
        summary = native_dump("sample-network.dat", made["file"], "--summary")
        self.assertEqual(browser.text("summary"), summary["out"])
        dump = native_dump("sample-network.dat", made["file"])
        self.assertEqual(offered("dump-download").decode("utf-8"), dump["out"])
        self.assertEqual(browser.text("problems"), dump["err"])

        # The picture: the stations' Japanese names as text of the SVG.
        dump_json = json.loads(dump["out"])
        texts = browser.driver.execute_script(
            "return Array.from(document.querySelectorAll('#picture svg text'), (t) => t.textContent)")
        for station in dump_json["stations"]:
            self.assertIn(station["name"], texts)
        svg = offered("svg-download").decode("utf-8")
        self.assertTrue(svg.lstrip().startswith("<?xml") or svg.lstrip().startswith("<svg"), svg[:100])
        self.assertIn(dump_json["stations"][0]["name"], svg)
        dot = native_dump("sample-network.dat", made["file"], "--dot")
        self.assertEqual(offered("dot-download").decode("utf-8"), dot["out"])
        # Each name is drawn within its node: no label is wider than its shape.
        overflowing = browser.driver.execute_script(
            "const out = [];"
            "for (const node of document.querySelectorAll('#picture svg g.node')) {"
            "  const shape = node.querySelector('ellipse, polygon, path');"
            "  const text = node.querySelector('text');"
            "  if (!shape || !text) continue;"
            "  if (text.getBBox().width > shape.getBBox().width + 1) out.push(text.textContent);"
            "}"
            "return out;")
        self.assertEqual(overflowing, [])

        shots = os.path.join(WEB_BUILD, "screenshots")
        os.makedirs(shots, exist_ok=True)
        driver = browser.driver
        driver.execute_script("document.getElementById('picture').scrollIntoView()")
        height = driver.execute_script("return document.documentElement.scrollHeight")
        driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                               {"width": 1280, "height": height, "deviceScaleFactor": 1, "mobile": False})
        try:
            shot = driver.execute_cdp_cmd("Page.captureScreenshot", {"format": "png", "captureBeyondViewport": True})
        finally:
            driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})
        with open(os.path.join(shots, "sample.png"), "wb") as file:
            file.write(base64.b64decode(shot["data"]))
        driver.find_element("id", "picture").screenshot(os.path.join(shots, "sample-picture.png"))

    def test_refused_inputs_through_the_page(self):
        # The converter gets the name as where its console is Shift_JIS: in code page 932, each character it
        # cannot hold (丂, and 😀 outside the Basic Multilingual Plane) as one '?'.
        cases = [(name, inputs[name]) for name in ("past-companies.dat", "bad-magic.dat", "sample.dat.cut-65")]
        cases.append(("東京丂駅😀.dat", inputs["bad-magic.dat"]))
        for name, data in cases:
            with self.subTest(name):
                path = write_file(name, data)
                open_in_page(path)
                native = native_convert(name, data, "cp932")
                self.assertEqual(native["status"], 9)
                self.assertEqual(browser.text("convert-console"), native["console"].decode("cp932"))
                self.assertEqual(status_shown("convert-status"), 9)
                self.assertEqual(browser.text("convert-error"), native["error"])
                self.assertIsNone(offered("convert-download"))
                self.assertEqual(page_convert([(name, data)])[0]["console"], native["console"])
        self.assertEqual(browser.text("convert-console"), "fn=東京?駅?.datP\n")


class Tools(unittest.TestCase):
    def test_dumps_and_summaries_as_natively(self):
        # Every input, and the images the converter made of those it accepted.
        files = sorted(inputs.items()) + [("fenwaimg.pdb-of-" + name, data) for name, data in sorted(images.items())]
        if not images:
            files += [("fenwaimg.pdb", native_convert("sample.dat", inputs["sample.dat"])["image"])]
        calls = [(call, name, data, None) for name, data in files for call in ("dump", "summary")]
        compared = 0
        for batch in batches(calls):
            for (call, name, data, _), page in zip(batch, page_tool(batch)):
                native = native_dump(name, data, *(["--summary"] if call == "summary" else []))
                self.assertEqual(page, comparable(native), call + " " + name)
                compared += 1
        print("\n  %d dumps and summaries as natively" % compared, file=sys.stderr)

    def test_pictures_as_natively(self):
        image = native_convert("sample.dat", inputs["sample.dat"])["image"]
        files = [("sample.dat", inputs["sample.dat"]), ("fenwaimg.pdb", image), ("tiny.dat", inputs["tiny.dat"]),
                 ("chunked.dat", inputs["chunked.dat"]), ("random-7.dat", inputs["random-7.dat"]),
                 ("random-33.dat", inputs["random-33.dat"]), ("stop-count-lies.dat", inputs["stop-count-lies.dat"])]
        dump = json.loads(native_dump("fenwaimg.pdb", image)["out"])
        views = [{"view": "network"}, {"view": "graph"},
                 {"view": "network", "only": "company:" + dump["companies"][0]["name"]},
                 {"view": "graph", "only": "route:" + dump["routes"][2]["name"]},
                 {"view": "network", "only": "route:3"},
                 {"view": "network", "only": "company:ない会社"},
                 {"view": "sideways"}]
        calls = [("draw", name, data, options) for name, data in files for options in views]
        for (call, name, data, options), page in zip(calls, page_tool(calls)):
            arguments = ["--dot" + ("=" + options["view"] if options["view"] != "network" else "")]
            if "only" in options:
                arguments.append("--only=" + options["only"])
            native = native_dump(name, data, *arguments)
            if native["status"] == 2 and not native["out"] and "usage:" in native["err"]:
                # A wrong option: the page gives the program's words without its usage lines.
                self.assertEqual(page["status"], 2)
                self.assertEqual(page["err"], native["err"].split("\n")[0] + "\n")
                continue
            self.assertEqual(page, comparable(native), "%s %s" % (name, arguments))

    def test_make_as_natively(self):
        texts = [("sample-network.json", open(SAMPLE_JSON, encoding="utf-8").read()),
                 ("syntax.json", '{"stations": [}'),
                 ("empty.json", ""),
                 ("kind.json", '{"kind": "sideways"}'),
                 ("unknown-field.json", '{"stations": [{"name": "A", "colour": 3}]}'),
                 ("emoji.json", '{"stations": [{"name": "駅\U0001F600"}]}')]
        for name in ("tiny.dat", "chunked.dat", "sample.dat", "random-12.dat", "tiny.dat.damaged-0"):
            texts.append((name + ".json", native_dump(name, inputs[name])["out"]))
            image = native_convert(name, inputs[name])["image"]
            if image:
                texts.append((name + ".pdb.json", native_dump("fenwaimg.pdb", image)["out"]))
        results = page_call(
            "return args[0].map(([name, text]) => {"
            "  const run = fenwaPage.fenwa.make(text, name);"
            "  return {status: run.status, out: run.out, err: run.err, file: fenwaTest.encode(run.file)};"
            "});", texts)
        for (name, text), page in zip(texts, results):
            page["file"] = base64.b64decode(page["file"])
            self.assertEqual(page, native_make(name, text), name)


class Editing(unittest.TestCase):
    def edit_in_page(self, name, data, edits):
        """Opens the file, makes the edits in the table and makes the files again."""
        open_in_page(write_file(name, data))
        driver = browser.driver
        for edit in edits:
            kind = edit[0]
            if kind == "rename":
                field = driver.find_element("css selector", '[data-path="%s"]' % edit[1])
                field.clear()
                field.send_keys(edit[2])
            elif kind == "stop":
                field = driver.find_element("css selector", '[data-path="%s.station"]' % edit[1])
                field.clear()
                field.send_keys(str(edit[2]))
            elif kind == "move":
                driver.find_element("css selector", '[data-path="%s"] button.%s' % (edit[1], edit[2])).click()
            elif kind == "add":
                driver.find_element("id", "new-route-name").send_keys(edit[1])
                driver.find_element("id", "new-route-company").send_keys(edit[2])
                driver.find_element("id", "new-route-stops").send_keys(edit[3])
                driver.find_element("id", "add-route-button").click()
        driver.find_element("id", "rebuild").click()

    @staticmethod
    def edit_dump(dump, edits):
        """The same edits made in fenwadump's JSON, as a person would."""
        for edit in edits:
            kind = edit[0]
            if kind == "rename":
                table, index, field = edit[1].replace("[", ".").replace("]", "").split(".")
                dump[table][int(index)][field] = edit[2]
            elif kind in ("stop", "move"):
                _, route, _, stop = edit[1].replace("[", ".").replace("]", "").split(".")
                stops = dump["routes"][int(route)]["stops"]
                if kind == "stop":
                    stops[int(stop)]["station"] = edit[2]
                else:
                    other = int(stop) + (1 if edit[2] == "later" else -1)
                    stops[int(stop)], stops[other] = stops[other], stops[int(stop)]
            elif kind == "add":
                route = {"name": edit[1]}
                if edit[2]:
                    route["company_name"] = edit[2]
                route["stops"] = [{"station": int(s) if s.strip().isdigit() else s.strip()}
                                  for s in edit[3].split(",") if s.strip()]
                dump["routes"].append(route)
        return dump

    def native_edit(self, name, data, edits):
        dump = self.edit_dump(json.loads(native_dump(name, data)["out"]), edits)
        stem = name.rsplit(".", 1)[0] if "." in name[1:] else name
        text = json.dumps(dump, indent=1, ensure_ascii=False)
        return stem, native_make(stem + "-edited.json", text)

    def test_edits_give_the_image_fenwamake_gives(self):
        image = native_convert("sample.dat", inputs["sample.dat"])["image"]
        cases = [
            ("sample.dat", inputs["sample.dat"],
             [("rename", "stations[3].name", "新港町"), ("rename", "routes[2].name", "北辰電鉄新北辰線"),
              ("move", "routes[1].stops[0]", "later"), ("stop", "routes[4].stops[1]", 7),
              ("add", "東都急行湾岸線", "東都急行", "0, 9, 港南")]),
            ("fenwaimg.pdb", image,
             [("rename", "stations[0].name", "中央ターミナル"), ("move", "routes[5].stops[4]", "earlier"),
              ("add", "みなと短絡線", "", "5,6")]),
            ("tiny.dat", inputs["tiny.dat"], [("rename", "routes[1].name", "AAA north-east")]),
        ]
        for name, data, edits in cases:
            with self.subTest(name):
                self.edit_in_page(name, data, edits)
                stem, made = self.native_edit(name, data, edits)
                self.assertEqual(made["status"], 0, made["err"])
                self.assertEqual(status_shown("rebuild-make-status"), 0)
                self.assertEqual(offered("rebuild-dat-download"), made["file"])
                converted = native_convert(stem + "-edited.dat", made["file"])
                self.assertEqual(converted["status"], 0, converted["error"])
                self.assertEqual(offered("rebuild-pdb-download"), converted["image"])
                self.assertEqual(browser.text("rebuild-console"), converted["console"].decode("cp932"))
                self.assertNotEqual(converted["image"], native_convert(name, data)["image"])
                # What the edits changed: the file opened against the one they made.
                browser.driver.find_element("id", "rebuild-diff").click()
                text, _ = assert_difference_shown(self, (name, data), (stem + "-edited.dat", made["file"]))
                self.assertEqual(text["status"], 1)

    def test_edits_the_format_cannot_hold_are_refused_at_their_field(self):
        full_image = native_convert("full-route-stations.dat", inputs["full-route-stations.dat"])["image"]
        # (file, edits, the field fenwamake names, the cells the page marks)
        cases = [
            # A character Shift_JIS has no bytes for.
            ("sample.dat", inputs["sample.dat"], [("rename", "stations[3].name", "駅\U0001F683")],
             "stations[3].name", ["stations[3].name"]),
            ("sample.dat", inputs["sample.dat"], [("rename", "routes[5].name", "Ω線\u20AC")], "routes[5].name",
             ["routes[5].name"]),
            # A stop at a station that does not exist.
            ("sample.dat", inputs["sample.dat"], [("add", "新線", "", "0, ない駅")], "routes[7].stops[1].station",
             ["routes[7].stops[1].station"]),
            # The string table at its limit: the new name has no room.
            ("most-strings.dat", inputs["most-strings.dat"], [("rename", "routes[0].name", "New name")], "strings",
             ["routes[0].name"]),
            # The route-station table at its limit in an image.
            ("fenwaimg.pdb", full_image, [("add", "One more", "", "1, 2, 3")], "routes", ["routes"]),
        ]
        for name, data, edits, path, cells in cases:
            with self.subTest(path=path, name=name):
                self.edit_in_page(name, data, edits)
                stem, made = self.native_edit(name, data, edits)
                self.assertEqual(made["status"], 1)
                refusal = [line for line in made["err"].splitlines() if ": " + path + ": " in line]
                self.assertEqual(len(refusal), 1, made["err"])
                self.assertEqual(browser.text("edit-refusal"), refusal[0])
                self.assertEqual(browser.text("rebuild-make-err"), made["err"])
                self.assertEqual(status_shown("rebuild-make-status"), 1)
                marked = browser.driver.execute_script(
                    "return Array.from(document.querySelectorAll('.refused'), (e) => e.dataset.path || e.id)")
                self.assertEqual(marked, cells)
                self.assertIsNone(offered("rebuild-dat-download"))
                self.assertIsNone(offered("rebuild-pdb-download"))
                if path == "stations[3].name":
                    shots = os.path.join(WEB_BUILD, "screenshots")
                    os.makedirs(shots, exist_ok=True)
                    cell = browser.driver.find_element("css selector", '[data-path="%s"]' % path)
                    cell.find_element("xpath", "./ancestor::tr").screenshot(os.path.join(shots, "refused-name.png"))


# What the page's status line adds to fenwadump's exit status after --diff.
DIFF_STATUS = {0: "the same network", 1: "they differ", 2: "they cannot be compared"}
# The longest text the page shows whole, and the longest Graphviz text it lays out unasked (kMostShown and
# kMostDrawnAtOnce in page.js).
MOST_SHOWN = 200000
MOST_DRAWN_AT_ONCE = 60000


def assert_difference_shown(test, old, new):
    """What changed between two (name, bytes) as the page shows it, against fenwadump --diff; returns the
    native text and picture runs."""
    text, as_json, dot = (native_diff(old, new, *options) for options in ([], ["--json"], ["--dot"]))
    test.assertEqual(status_shown("diff-status"), text["status"])
    test.assertIn(DIFF_STATUS[text["status"]], browser.text("diff-status"))
    test.assertEqual(browser.text("diff-command"), "--diff %s %s" % (old[0], new[0]))
    test.assertEqual(browser.text("diff-err"), text["err"])
    shown_text = browser.text("diff-text")
    if len(text["out"]) <= MOST_SHOWN:
        test.assertEqual(shown_text, text["out"])
    else:
        test.assertTrue(shown_text.startswith(text["out"][:MOST_SHOWN]), shown_text[-200:])
    for link, native in (("diff-text-download", text), ("diff-json-download", as_json), ("diff-dot-download", dot)):
        test.assertEqual(offered(link), native["out"].encode("utf-8") or None, link)
    return text, dot


class Comparing(unittest.TestCase):
    def test_what_changed_as_natively(self):
        sample_json = ("sample-network.json", open(SAMPLE_JSON, "rb").read())
        sample = ("sample.dat", inputs["sample.dat"])
        tiny = ("tiny.dat", inputs["tiny.dat"])
        # (the file opened, the file compared with it, given both at once in the first chooser (the newer
        # first), fenwadump's status, the picture)
        cases = [
            (sample, ("edited.json", edited_sample()), False, 1, "drawn"),
            (sample_json, sample, True, 0, "drawn"),  # the same network in other bytes
            (sample, ("past-companies.dat", inputs["past-companies.dat"]), False, 2, "none"),  # refused by fenwaimg
            (tiny, ("most-stations.dat", inputs["most-stations.dat"]), False, 1, "large"),  # drawn only when asked
        ]
        for old, new, at_once, status, picture in cases:
            with self.subTest(old=old[0], new=new[0]):
                paths = [write_file(name, data) for name, data in (old, new)]
                if at_once:
                    os.utime(paths[1], (time.time(), time.time() + 3600))
                    open_in_page("\n".join(reversed(paths)), count="compares")
                else:
                    open_in_page(paths[0])
                    compare_in_page(paths[1])
                text, dot = assert_difference_shown(self, old, new)
                self.assertEqual(text["status"], status)
                drawn = browser.driver.execute_script(
                    "return Array.from(document.querySelectorAll('#diff-picture svg text'), (t) => t.textContent)")
                if picture == "large":
                    self.assertGreater(len(dot["out"]), MOST_DRAWN_AT_ONCE)
                    self.assertEqual(drawn, [])
                    self.assert_drawn_only_when_confirmed()
                elif picture == "none":
                    self.assertEqual(drawn, [])
                    self.assertTrue(text["err"].startswith("fenwadump: %s: " % new[0]), text["err"])
                else:
                    self.assertIn("中央", drawn)
                    self.assertEqual(offered("diff-svg-download").decode("utf-8").count("<svg"), 1)
                if new[0] == "edited.json":
                    self.assertIn("新駅", drawn)
                    # All of the picture, not the part its frame shows.
                    browser.driver.execute_script("document.getElementById('diff-picture').style.maxHeight = 'none'")
                    keep_screenshot("diff", "difference.png")
                    browser.driver.execute_script("document.getElementById('diff-picture').style.maxHeight = ''")

    def assert_drawn_only_when_confirmed(self):
        driver = browser.driver
        self.assertTrue(shown("diff-note") and shown("diff-draw"))
        driver.execute_script("fenwaTest.confirm = window.confirm;"
                              "window.confirm = (text) => { fenwaTest.asked = text; return false; };")
        try:
            driver.find_element("id", "diff-draw").click()
        finally:
            driver.execute_script("window.confirm = fenwaTest.confirm;")
        self.assertIn("Draw it anyway?", driver.execute_script("return fenwaTest.asked"))
        self.assertEqual(driver.execute_script("return document.querySelectorAll('#diff-picture svg').length"), 0)
        self.assertIsNone(offered("diff-svg-download"))


class BadFiles(unittest.TestCase):
    def test_each_shows_a_clear_message(self):
        rng = random.Random(100)
        huge = os.path.join(work, "files", "huge.bin")
        os.makedirs(os.path.dirname(huge), exist_ok=True)
        with open(huge, "wb") as file:
            file.write(rng.randbytes(100 << 20))
        cases = [
            ("empty.dat", write_file("empty.dat", b""), "empty"),
            ("truncated.dat", write_file("truncated.dat", inputs["sample.dat"][:300]), "intermediate"),
            ("noise.bin", write_file("noise.bin", rng.randbytes(5000)), "unknown"),
            ("huge.bin", huge, "unknown"),
            ("broken.json", write_file("broken.json", b'{"stations": [{"name": "A"},]}'), "json"),
        ]
        for name, path, kind in cases:
            with self.subTest(name):
                seconds = open_in_page(path)
                self.assertLess(seconds, 60)
                self.assertEqual(browser.driver.execute_script("return document.body.dataset.state"), "done")
                self.assertEqual(
                    browser.driver.execute_script("return document.getElementById('file-kind').dataset.kind"), kind)
                data = open(path, "rb").read()
                if kind == "json":
                    made = native_make(name, data.decode("utf-8"))
                    self.assertEqual(browser.text("make-err"), made["err"])
                    self.assertIn("not valid JSON", made["err"])
                    self.assertIsNone(offered("make-download"))
                else:
                    native = native_convert(name, data)
                    self.assertEqual(status_shown("convert-status"), 9)
                    self.assertEqual(browser.text("convert-error"), native["error"])
                    self.assertTrue(native["error"].startswith("fenwaimg: "))
                    self.assertIsNone(offered("convert-download"))
                    self.assertEqual(browser.text("problems"), native_dump(name, data)["err"])
                del data
        # The page still works after all of them.
        open_in_page(write_file("again.dat", inputs["sample.dat"]))
        self.assertEqual(status_shown("convert-status"), 0)
        severe = [entry for entry in browser.driver.get_log("browser") if entry["level"] == "SEVERE"]
        self.assertEqual(severe, [])


class Elsewhere(unittest.TestCase):
    def test_from_a_static_server(self):
        class Quiet(http.server.SimpleHTTPRequestHandler):
            def log_message(self, *args):
                pass

        handler = functools.partial(Quiet, directory=PAGE)
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        thread = threading.Thread(target=server.serve_forever, daemon=True)
        thread.start()
        online = Browser(offline=False)
        try:
            online.open("http://127.0.0.1:%d/index.html" % server.server_address[1])
            result = online.run(
                "const made = fenwaPage.fenwa.make(args[0], 'sample-network.json');"
                "return fenwaTest.encode(fenwaPage.fenwa.convert(made.file, 'sample.dat').image);",
                open(SAMPLE_JSON, encoding="utf-8").read())
            self.assertEqual(base64.b64decode(result), native_convert("sample.dat", inputs["sample.dat"])["image"])
            # The log that the last test reads sees requests that leave the page.
            served = [url for url in online.requests() if url.startswith("http://127.0.0.1:")]
            self.assertLessEqual({"index.html", "page.css", "fenwa.js", "viz-global.js", "page.js"},
                                 {url.rsplit("/", 1)[1] for url in served})
        finally:
            online.close()
            server.shutdown()
            server.server_close()

    def test_from_node(self):
        folder = os.path.join(work, "node")
        os.makedirs(folder)
        chosen = [name for name in sorted(inputs) if not name.startswith("random-bytes")][::3]
        for name in chosen:
            with open(os.path.join(folder, name), "wb") as file:
                file.write(inputs[name])
        edited = write_file("edited.json", edited_sample())
        refused_text = '{"stations": [{"name": "A"}],\n "routes": [{"nmae": "R"}]}'
        refused = write_file("refused.json", refused_text.encode("utf-8"))
        done = subprocess.run([NODE, os.path.join(ROOT, "tests", "web", "api-node.js"),
                               os.path.join(PAGE, "fenwa.js"), folder, SAMPLE_JSON, edited, refused],
                              stdout=subprocess.PIPE, check=True, timeout=300)
        lines = [json.loads(line) for line in done.stdout.decode("utf-8").splitlines()]
        converted = [line for line in lines if line["call"] == "convert"]
        self.assertEqual(len(converted), len(chosen))
        for line in converted:
            native = native_convert(line["name"], inputs[line["name"]])
            self.assertEqual((line["status"], base64.b64decode(line["console"]), line["error"],
                              base64.b64decode(line["image"])),
                             (native["status"], native["console"], native["error"], native["image"]), line["name"])
        kinds = {line["name"]: line["kind"] for line in lines if line["call"] == "identify"}
        self.assertEqual(kinds["sample.dat"], "intermediate")
        made = next(line for line in lines if line["call"] == "make" and line["name"] == "sample-network.json")
        self.assertEqual(base64.b64decode(made["file"]), inputs["sample.dat"])
        self.assertIsNone(made["refusal"])
        # A refusal's place and field come apart from its line, which they agree with.
        made = next(line for line in lines if line["call"] == "make" and line["name"] == "refused.json")
        native = native_make("refused.json", refused_text)
        self.assertEqual((made["status"], made["err"], made["file"]), (native["status"], native["err"], ""))
        self.assertEqual(native["err"], "fenwamake: refused.json: line 2, column 14: routes[0].nmae: unknown field\n")
        self.assertEqual(made["refusal"], {"message": "unknown field", "line": 2, "column": 14, "path": "routes[0].nmae"})
        image = native_convert("sample.dat", inputs["sample.dat"])["image"]
        for call, options in (("dump", []), ("summary", ["--summary"]), ("draw", ["--dot=graph"])):
            line = next(line for line in lines if line["call"] == call)
            native = native_dump("fenwaimg.pdb", image, *options)
            self.assertEqual((line["status"], line["out"], line["err"]), (native["status"], native["out"], native["err"]))
        line = next(line for line in lines if line["call"] == "diff")
        native = native_diff(("old", open(SAMPLE_JSON, "rb").read()), ("new", edited_sample()))
        self.assertEqual(native["status"], 1)
        self.assertEqual((line["status"], line["out"], line["err"]), (native["status"], native["out"], native["err"]))


class Network(unittest.TestCase):
    def test_nothing_but_local_urls_requested(self):
        """Run last: every request the page made in all the tests above."""
        requested = browser.requests()
        self.assertIn(PAGE_URL, requested)
        elsewhere = [url for url in requested if not url.startswith(("file://", "data:", "blob:"))]
        self.assertEqual(elsewhere, [])
        print("\n  %d requests, all file:, data: or blob: (%d blob:)"
              % (len(requested), sum(url.startswith("blob:") for url in requested)), file=sys.stderr)


def main():
    start = time.monotonic()
    loader = unittest.TestLoader()
    suite = unittest.TestSuite(
        loader.loadTestsFromTestCase(case) for case in (Converter, Tools, Editing, Comparing, BadFiles, Elsewhere,
                                                       Network))
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    failed = len(result.failures) + len(result.errors)
    print("web page tests: %d passed, %d failed, %d skipped in %.0f s"
          % (result.testsRun - failed - len(result.skipped), failed, len(result.skipped), time.monotonic() - start))
    return 0 if result.wasSuccessful() and result.testsRun > len(result.skipped) else 1


if __name__ == "__main__":
    sys.exit(main())
