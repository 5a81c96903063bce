"""Headless Chromium for the web page's tests and benchmark (Debian's chromium,
chromium-driver and python3-selenium, run by /usr/bin/python3).

The browser starts with a new, empty profile and without any of its own
network traffic (no background requests, component updates or sync), and its
network is cut off: the page must need none. Every request the page makes is
kept in the performance log, which requests() reads.
"""
import base64
import json
import os
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

CHROMIUM = os.environ.get("FENWA_CHROMIUM", "/usr/bin/chromium")
CHROMEDRIVER = os.environ.get("FENWA_CHROMEDRIVER", "/usr/bin/chromedriver")

FLAGS = [
    "--headless",
    "--no-sandbox",
    "--disable-gpu",
    "--disable-quic",
    "--no-first-run",
    "--disable-background-networking",
    "--disable-component-update",
    "--disable-sync",
    "--disable-default-apps",
    "--disable-extensions",
    "--window-size=1280,1600",
    "--lang=ja",
]

# JavaScript for the page: bytes to and from base64 (WebDriver carries text only).
HELPERS = """
window.fenwaTest = {
  decode(text) {
    const binary = atob(text);
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
    return bytes;
  },
  encode(bytes) {
    let binary = '';
    for (let i = 0; i < bytes.length; i += 0x8000) binary += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    return btoa(binary);
  },
};
"""


class Browser:
    def __init__(self, offline=True):
        self.profile = tempfile.TemporaryDirectory(prefix="fenwa-chromium-")
        options = webdriver.ChromeOptions()
        options.binary_location = CHROMIUM
        for flag in FLAGS:
            options.add_argument(flag)
        options.add_argument("--user-data-dir=" + self.profile.name)
        options.set_capability("goog:loggingPrefs", {"performance": "ALL", "browser": "ALL"})
        self.driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
        self.driver.set_script_timeout(120)
        self.log = []
        if offline:
            self.driver.execute_cdp_cmd("Network.enable", {})
            self.driver.execute_cdp_cmd(
                "Network.emulateNetworkConditions",
                {"offline": True, "latency": 0, "downloadThroughput": -1, "uploadThroughput": -1},
            )

    def close(self):
        try:
            self.driver.quit()
        finally:
            self.profile.cleanup()

    def open(self, url, timeout=30):
        """Loads the page and waits until it says it is ready; returns the seconds that took."""
        start = time.monotonic()
        self.driver.get(url)
        while self.driver.execute_script("return document.body && document.body.dataset.state") != "ready":
            state = self.driver.execute_script("return document.body && document.body.dataset.state")
            if state == "broken" or time.monotonic() - start > timeout:
                raise AssertionError("the page did not start: %s, %s" % (state, self.text("page-status")))
            time.sleep(0.01)
        elapsed = time.monotonic() - start
        self.driver.execute_script(HELPERS)
        return elapsed

    def text(self, element_id):
        return self.driver.execute_script(
            "const e = document.getElementById(arguments[0]); return e ? e.textContent : null;", element_id
        )

    def run(self, script, *args):
        """Runs `script` (an async function body; `args` are its arguments) and returns its value."""
        return self.driver.execute_async_script(
            "const done = arguments[arguments.length - 1];"
            "(async (...args) => {" + script + "})(...Array.from(arguments).slice(0, -1))"
            ".then(done, (failure) => done({failed: String(failure && failure.stack || failure)}));",
            *args,
        )

    def fetch_bytes(self, url):
        """The bytes behind a blob: URL the page offers for download."""
        encoded = self.run(
            "const response = await fetch(args[0]); return fenwaTest.encode(new Uint8Array(await response.arrayBuffer()));",
            url,
        )
        if isinstance(encoded, dict):
            raise AssertionError(encoded["failed"])
        return base64.b64decode(encoded)

    def requests(self):
        """Every URL requested since the browser started (documents, scripts, fetches, downloads)."""
        for entry in self.driver.get_log("performance"):
            message = json.loads(entry["message"])["message"]
            method = message.get("method", "")
            params = message.get("params", {})
            if method == "Network.requestWillBeSent":
                self.log.append(params["request"]["url"])
            elif method == "Network.webSocketCreated":
                self.log.append(params["url"])
        return list(self.log)
