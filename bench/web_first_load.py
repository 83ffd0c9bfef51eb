"""The web page's first load in headless chromium, against the real tivor-server and a virtual sign: the bytes
transferred (page, script, style, icon and the API's first answers, headers included, from the browser's
performance timeline) and the time until the preview's matrix is drawn; then the time from a key typed to the
sign's dots drawn for it (the page waits for a pause in typing before it asks). It prints its figures.

    TIVOR_SERVER=... TIVOR_SIGN=... python3 bench/web_first_load.py [LOADS]
(or: cmake --build BUILD --target bench_web_first_load)
"""

import os
import shutil
import statistics
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "browser"))

from harness import Server, VirtualSign, browser  # noqa: E402

LOADS = int(sys.argv[1]) if len(sys.argv) > 1 else 20
KEYS = 30
BUDGET_BYTES = 150 * 1024

ENTRIES = """
const navigation = performance.getEntriesByType('navigation')[0];
return [navigation].concat(performance.getEntriesByType('resource')).map((e) => ({
    name: e.name.replace(location.origin, '') || '/', bytes: e.transferSize, body: e.decodedBodySize}));
"""
DRAWN = """
const marks = performance.getEntriesByName(arguments[0]);
return marks.length ? marks[0].startTime : null;
"""


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))]


def wait_for(driver, script, *arguments, timeout=20):
    until = time.monotonic() + timeout
    while time.monotonic() < until:
        value = driver.execute_script(script, *arguments)
        if value is not None:
            return value
        time.sleep(0.005)
    raise TimeoutError(script)


def first_loads(driver, url):
    """Each load as a first visit: nothing from the cache."""
    driver.execute_cdp_cmd("Network.setCacheDisabled", {"cacheDisabled": True})
    totals, drawn, entries = [], [], []
    for _ in range(LOADS):
        driver.get(url)
        drawn.append(wait_for(driver, DRAWN, "tivor-matriz"))
        # The first answers of the API (signs, the port's state, messages, schedules) belong to the first load.
        wait_for(driver, "return document.querySelector('.disponible.ok, .disponible.mal') ? 1 : null")
        time.sleep(0.2)
        entries = driver.execute_script(ENTRIES)
        totals.append(sum(entry["bytes"] for entry in entries))
    return totals, drawn, entries


def keystrokes(driver):
    """From a key typed into the page's text to the dots of the preview that answers it."""
    field = driver.find_element("css selector", "#p0-texto")
    # The key's own moment, as the page saw it, on the same clock as the marks.
    driver.execute_script("arguments[0].addEventListener('input', (e) => { window.typedAt = e.timeStamp; })", field)
    latencies = []
    for i in range(KEYS):
        driver.execute_script("performance.clearMarks('tivor-puntos')")
        field.send_keys("ABCDEFGHIJKLMNOPQRSTUVWXYZ"[i % 26])
        drawn = wait_for(driver, DRAWN, "tivor-puntos")
        latencies.append(drawn - driver.execute_script("return window.typedAt"))
    return latencies


def main():
    folder = tempfile.mkdtemp(prefix="tivor-bench-web-")
    sign = VirtualSign()
    server = Server(folder, {"signs": [{"id": "a", "port": sign.address, "dy1": "10", "dy2": "01"}]})
    driver = None
    try:
        server.start()
        driver = browser(1280, 800)
        totals, drawn, entries = first_loads(driver, server.url + "/")
        print(f"Primera carga, {LOADS} veces en chromium sin cache:")
        for entry in entries:
            print(f"  {entry['name']:<28} {entry['bytes']:>7} bytes transferidos ({entry['body']} de cuerpo)")
        total = statistics.median(totals)
        print(f"  total: {total:.0f} bytes ({total / 1024:.1f} KB; meta < {BUDGET_BYTES // 1024} KB: "
              f"{'cumple' if total < BUDGET_BYTES else 'NO cumple'})")
        print(f"  hasta la matriz de la vista previa dibujada: p50 {statistics.median(drawn):.1f} ms, "
              f"max {max(drawn):.1f} ms")
        latencies = keystrokes(driver)
        print(f"De una tecla a sus puntos dibujados ({KEYS} teclas; la pagina espera 80 ms sin teclas): "
              f"p50 {statistics.median(latencies):.1f} ms, p90 {percentile(latencies, 0.9):.1f} ms, "
              f"max {max(latencies):.1f} ms")
    finally:
        if driver:
            driver.quit()
        server.stop()
        sign.stop()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
