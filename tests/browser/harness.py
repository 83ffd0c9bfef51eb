"""What every browser test stands on: the virtual signs (tivor-sign --listen), tivor-server on a free port with a
data folder of its own, and Debian's chromium, headless, driven by chromedriver. The programs come from the build,
named by the environment ctest gives: TIVOR_SERVER, TIVOR_SIGN, TIVOR_CLI and TIVOR_PREVIEW_DOTS."""

import json
import os
import queue
import re
import shutil
import subprocess
import tempfile
import threading
import unittest
import urllib.request

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select, WebDriverWait


def program(name):
    path = os.environ.get(name)
    if not path or not os.path.exists(path):
        raise RuntimeError(f"{name} no apunta a un programa (ctest lo da con el programa construido)")
    return path


class VirtualSign:
    """tivor-sign --json on a loopback port: each transmission it decodes, as one JSON object."""

    def __init__(self):
        self.process = subprocess.Popen([program("TIVOR_SIGN"), "--json", "--listen", "tcp://127.0.0.1:0"],
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        first = self.process.stdout.readline()
        try:
            self.address = json.loads(first)["dispositivo"]
        except (ValueError, KeyError):
            self.process.kill()
            raise RuntimeError(f"tivor-sign no dijo donde escucha: {first!r}")
        self.port = int(self.address.rsplit(":", 1)[1])
        self.events = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            if line.strip():
                self.events.put(json.loads(line))

    def next_event(self, timeout=30):
        return self.events.get(timeout=timeout)

    def stop(self):
        self.process.terminate()
        self.process.wait(10)
        self.process.stdout.close()


class Server:
    """tivor-server on a free loopback port with the configuration given, its journal drained as it writes."""

    def __init__(self, folder, configuration, zone=None):
        self.folder = folder
        self.config = os.path.join(folder, "server.json")
        with open(self.config, "w", encoding="utf-8") as out:
            json.dump(configuration, out)
        self.environment = dict(os.environ, XDG_DATA_HOME=os.path.join(folder, "data"))
        self.environment.pop("STATE_DIRECTORY", None)
        if zone:
            self.environment["TZ"] = zone
        self.journal = []
        self.process = None

    def add_token(self, name, scope):
        done = subprocess.run([program("TIVOR_SERVER"), "token", "add", name, "--scope", scope, "--config",
                               self.config], env=self.environment, capture_output=True, text=True, timeout=30)
        if done.returncode != 0:
            raise RuntimeError(done.stderr)
        return re.search(r"[A-Za-z0-9_\-]{20,}", done.stdout + done.stderr).group(0)

    def start(self):
        self.process = subprocess.Popen([program("TIVOR_SERVER"), "--listen", "127.0.0.1:0", "--config", self.config],
                                        env=self.environment, stderr=subprocess.PIPE, stdout=subprocess.DEVNULL,
                                        text=True)
        first = self.process.stderr.readline()
        found = re.search(r"https?://\S+", first)
        if not found:
            self.process.kill()
            raise RuntimeError(f"tivor-server no dijo donde escucha: {first!r}")
        self.url = found.group(0).rstrip("/")
        threading.Thread(target=self._drain, daemon=True).start()
        return self

    def _drain(self):
        for line in self.process.stderr:
            self.journal.append(line)

    def call(self, method, path, body=None, content_type="application/json", token=None):
        data = json.dumps(body).encode() if isinstance(body, (dict, list)) else body
        request = urllib.request.Request(self.url + path, data=data, method=method)
        if data is not None:
            request.add_header("Content-Type", content_type)
        if token:
            request.add_header("Authorization", "Bearer " + token)
        with urllib.request.urlopen(request, timeout=30) as answer:
            return answer.status, answer.headers, answer.read()

    def stop(self):
        if self.process:
            self.process.terminate()
            self.process.wait(10)
            self.process.stderr.close()


def dump(message_file, folder):
    """tivor-cli dump's transmission for a message file's bytes, without the quotes and line end around it."""
    path = os.path.join(folder, "dump.mnm")
    with open(path, "wb") as out:
        out.write(message_file)
    line = subprocess.run([program("TIVOR_CLI"), "dump", path], capture_output=True, check=True, timeout=30).stdout
    return line[1:-3]


def desktop_dots(message_file, folder):
    """The desktop preview's still image of each page of a message file: one list of seven rows per page."""
    path = os.path.join(folder, "desktop.mnm")
    with open(path, "wb") as out:
        out.write(message_file)
    text = subprocess.run([program("TIVOR_PREVIEW_DOTS"), path], capture_output=True, check=True, text=True,
                          timeout=60, env=dict(os.environ, QT_QPA_PLATFORM="offscreen")).stdout
    pages = []
    for line in text.splitlines():
        if line.startswith("page "):
            pages.append([])
        elif line:
            pages[-1].append(line)
    return pages


def browser(width=1280, height=800, phone=False):
    """Debian's chromium, headless, its console kept for the test to read."""
    options = webdriver.ChromeOptions()
    options.binary_location = shutil.which("chromium") or "/usr/bin/chromium"
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     f"--window-size={max(width, 500)},{height}", "--lang=es", "--no-first-run"):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    driver = webdriver.Chrome(service=Service(shutil.which("chromedriver") or "/usr/bin/chromedriver"),
                              options=options)
    # The viewport exactly: headless chromium makes no window narrower than 500 px, and a window's size is not its
    # viewport's.
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                           {"width": width, "height": height, "deviceScaleFactor": 2 if phone else 1, "mobile": phone})
    return driver


# Reads back what the canvas shows: the colour at the middle of each dot's cell, as the desktop's 0, 1 or 2.
READ_DOTS = """
const canvas = arguments[0];
const pitch = canvas.width / 98;
const g = canvas.getContext('2d');
const colours = [[48, 10, 8], [255, 40, 20], [255, 176, 0]];
const rows = [];
for (let y = 0; y < 7; ++y) {
    let row = '';
    for (let x = 0; x < 96; ++x) {
        const p = g.getImageData(Math.floor((x + 1.5) * pitch), Math.floor((y + 1.5) * pitch), 1, 1).data;
        let best = 0, distance = Infinity;
        colours.forEach((c, i) => {
            const d = Math.abs(c[0] - p[0]) + Math.abs(c[1] - p[1]) + Math.abs(c[2] - p[2]);
            if (d < distance) { distance = d; best = i; }
        });
        row += distance < 60 ? String(best) : '?';
    }
    rows.push(row);
}
return rows;
"""


class PageTest(unittest.TestCase):
    """A fresh folder, signs, server and browser for each test; any error in the browser's console fails it."""

    # Console errors a test expects (a 401 before the token is typed), as parts of their text.
    expected_console = ()

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="tivor-browser-")
        self.signs = []
        self.server = None
        self.driver = None

    def tearDown(self):
        try:
            if self.driver:
                errors = [entry for entry in self.driver.get_log("browser") if entry["level"] == "SEVERE"
                          and not any(part in entry["message"] for part in self.expected_console)]
                self.assertEqual(errors, [], "errores en la consola del navegador")
        finally:
            if self.driver:
                self.driver.quit()
            if self.server:
                self.server.stop()
            for sign in self.signs:
                sign.stop()
            shutil.rmtree(self.folder, ignore_errors=True)

    def start_signs(self, count=1, dy1="10", dy2="01", groups=None):
        configuration = []
        for i in range(count):
            sign = VirtualSign()
            self.signs.append(sign)
            configuration.append({"id": chr(ord("a") + i), "name": f"Cartel {chr(ord('A') + i)}",
                                  "port": sign.address, "dy1": dy1, "dy2": dy2,
                                  "groups": (groups or {}).get(i, [])})
        return configuration

    def start_server(self, signs, zone=None, tokens=None):
        self.server = Server(self.folder, {"signs": signs}, zone)
        self.tokens = {name: self.server.add_token(name, scope) for name, scope in (tokens or {}).items()}
        return self.server.start()

    def open_browser(self, width=1280, height=800, phone=False):
        self.driver = browser(width, height, phone)
        self.driver.get(self.server.url + "/")
        return self.driver

    def wait(self, condition, timeout=20, message=""):
        return WebDriverWait(self.driver, timeout, poll_frequency=0.05).until(lambda d: condition(), message)

    def find(self, selector):
        return self.driver.find_element(By.CSS_SELECTOR, selector)

    def finds(self, selector):
        return self.driver.find_elements(By.CSS_SELECTOR, selector)

    def text(self, selector):
        found = self.finds(selector)
        return found[0].text if found else ""

    def type_page(self, index, text, effect=None, pause=None, centred=False):
        field = self.find(f"#p{index}-texto")
        field.clear()
        field.send_keys(text)
        if effect:
            Select(self.find(f"#p{index}-efecto")).select_by_value(effect)
        if pause:
            Select(self.find(f"#p{index}-pausa")).select_by_value(str(pause))
        self.find(f"input[name=p{index}-alineacion][value={'centrado' if centred else 'izquierda'}]").click()

    def page_dots(self, index):
        return self.driver.execute_script(READ_DOTS, self.find(f"#p{index}-matriz"))

    def preview_settled(self, count):
        """The preview drawn for `count` pages and not waiting for another answer."""
        labels = [self.find(f"#p{i}-matriz").get_attribute("aria-label") or "" for i in range(count)]
        return self.find("#paginas").get_attribute("aria-busy") == "false" and \
            all(label and "pagina vacia" not in label for label in labels)
