"""Makes the README's pictures of the web page: docs/web-telefono.png (390x844) and docs/web-escritorio.png
(1280x800), from the real server with three virtual signs, a stored message, a schedule and a send just done.

    TIVOR_SERVER=... TIVOR_SIGN=... python3 tests/browser/screenshots.py [DOCS]
"""

import os
import shutil
import sys
import tempfile

from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select, WebDriverWait

from harness import Server, VirtualSign, browser

DOCS = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..", "docs")


def wait(driver, condition):
    WebDriverWait(driver, 30, poll_frequency=0.05).until(lambda d: condition())


def compose(driver):
    find = lambda selector: driver.find_element(By.CSS_SELECTOR, selector)
    find("#p0-texto").send_keys("¡Café ÚNICO hoy!")
    Select(find("#p0-efecto")).select_by_value("Estatico")
    find("input[name=p0-alineacion][value=centrado]").click()
    find("#insertarPagina").click()
    find("#p1-texto").send_keys("Abierto de 9 a 21")
    Select(find("#p1-efecto")).select_by_value("LLuvia")
    Select(find("#p1-pausa")).select_by_value("5")
    wait(driver, lambda: find("#paginas").get_attribute("aria-busy") == "false"
         and "vacia" not in find("#p1-matriz").get_attribute("aria-label"))


def picture(server, path, width, height, phone, scroll_to=None):
    driver = browser(width, height, phone)
    try:
        driver.get(server.url + "/")
        wait(driver, lambda: all(p.text != "Comprobando el puerto..."
                                 for p in driver.find_elements(By.CSS_SELECTOR, ".disponible")))
        wait(driver, lambda: driver.find_elements(By.CSS_SELECTOR, "#listaHorarios .proximas li"))
        compose(driver)
        Select(driver.find_element(By.CSS_SELECTOR, "#destino")).select_by_value("g:planta-baja")
        driver.find_element(By.CSS_SELECTOR, "#enviar").click()
        wait(driver, lambda: len(driver.find_elements(By.CSS_SELECTOR, '#progreso li[data-state="done"]')) == 2)
        # The status line would cover what the picture is for.
        driver.execute_script("document.getElementById('estado').textContent = ''; document.activeElement.blur()")
        if scroll_to:
            driver.execute_script("document.querySelector(arguments[0]).scrollIntoView()", scroll_to)
        else:
            driver.execute_script("window.scrollTo(0, 0)")
        driver.save_screenshot(path)
    finally:
        driver.quit()


def main():
    folder = tempfile.mkdtemp(prefix="tivor-capturas-")
    signs = [VirtualSign() for _ in range(3)]
    server = Server(folder, {"signs": [
        {"id": "entrada", "name": "Entrada", "port": signs[0].address, "dy1": "10", "dy2": "01",
         "groups": ["planta-baja"]},
        {"id": "caja", "name": "Caja", "port": signs[1].address, "dy1": "10", "dy2": "01",
         "groups": ["planta-baja"]},
        {"id": "oficina", "name": "Oficina", "port": signs[2].address, "dy1": "10", "dy2": "01"},
    ]}, zone="Europe/Madrid")
    try:
        server.start()
        server.call("PUT", "/api/v1/messages/ofertas", {"pages": [{"text": "Ofertas", "effect": "Explosion"}]})
        server.call("PUT", "/api/v1/messages/bienvenida", {"text": "Bienvenidos", "effect": "Estatico"})
        server.call("PUT", "/api/v1/schedules/apertura",
                    {"cron": "0 9 * * 1-6", "action": "show", "body": {"message": "bienvenida"},
                     "groups": ["planta-baja"]})
        server.call("POST", "/api/v1/signs/oficina/show?wait=10", {"text": "Reunion 12:00", "effect": "Estatico"})
        picture(server, os.path.join(DOCS, "web-escritorio.png"), 1280, 800, False)
        picture(server, os.path.join(DOCS, "web-telefono.png"), 390, 844, True, "#mensaje")
    finally:
        server.stop()
        for sign in signs:
            sign.stop()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
