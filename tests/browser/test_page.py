"""The web page in a real browser against the real server and virtual signs: a message composed on the page is
previewed dot for dot as the window previews it and reaches the sign as tivor-cli dump writes it; a long send is
cancelled with the terminator; a schedule shows its next runs; a phone's width scrolls only downwards."""

import datetime
import json
import time
import unittest
import zoneinfo

from croniter import croniter
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select

from harness import PageTest, VirtualSign, desktop_dots, dump

# Two pages as the page composes them, and the same two as the window stores them (effect, pause - 1, alignment
# 0 left / 2 centred, then the text in the file's Latin-1): "Ú" is one the sign gets changed, the second page's
# text runs past 16 characters.
PAGES = [
    ("Café ÚNICO", "Estatico", 1, True),
    ("¡Año nuevo y mas!", "LLuvia", 5, False),
]
MESSAGE_FILE = '1,0,2,"Café ÚNICO"\r\n2,4,0,"¡Año nuevo y mas!"\r\n'.encode("latin-1")


def read(path):
    try:
        with open(path, "rb") as file:
            return file.read()
    except FileNotFoundError:
        return None


class ComposeAndSend(PageTest):
    def compose(self):
        for index, (text, effect, pause, centred) in enumerate(PAGES):
            if index:
                self.find("#insertarPagina").click()
            self.type_page(index, text, effect, pause, centred)
        self.wait(lambda: self.preview_settled(len(PAGES)), message="la vista previa no llego")

    def test_two_pages_preview_as_the_window_and_reach_the_sign_as_dump_writes_them(self):
        self.start_server(self.start_signs())
        self.open_browser()
        self.wait(lambda: self.text("#cartel-a .disponible") == "Puerto disponible")
        self.compose()
        expected = desktop_dots(MESSAGE_FILE, self.folder)
        self.assertEqual(len(expected), 2)
        for index in range(2):
            self.assertEqual(self.page_dots(index), expected[index], f"pagina {index + 1}")
        # The window's notes beside the dots: the changed character, the text past the 16th column.
        self.assertEqual(self.text("#paginas li:nth-child(1) .nota"), 'Cambia: "Ú" > U')
        self.assertIn("No se envia", self.text("#paginas li:nth-child(2) .nota"))
        self.assertIn('"Café UNICO"', self.find("#p0-matriz").get_attribute("aria-label"))

        Select(self.find("#destino")).select_by_value("s:a")
        self.find("#enviar").click()
        self.wait(lambda: self.find("#envio-1-a").get_attribute("data-state") == "done", message="no termino")
        self.assertIn("hecho", self.text("#envio-1-a .detalle"))
        sent = self.signs[0].next_event()
        # Byte for byte what tivor-cli dump writes for the same pages.
        self.assertEqual(bytes.fromhex(sent["transmision_hex"]), dump(MESSAGE_FILE, self.folder))
        self.assertTrue(sent["completa"] and sent["aceptada"])
        # The progress came by the WebSocket: the page never had to ask for its job.
        self.assertFalse([line for line in self.server.journal if "GET /api/v1/jobs/" in line])
        self.wait(lambda: "Cafe UNICO" in self.text("#cartel-a .muestra") or
                  "Café ÚNICO" in self.text("#cartel-a .muestra"), message="no se ve lo que muestra el cartel")

    def test_the_entrance_plays_the_servers_frames_then_the_still_image(self):
        self.start_server(self.start_signs())
        self.open_browser()
        self.type_page(0, "HOLA", "LLuvia", centred=True)
        self.wait(lambda: self.preview_settled(1))
        still = self.page_dots(0)
        body = {"pages": [{"text": "HOLA", "effect": "LLuvia", "pause": 1, "align": "centrado"}]}
        answer = json.loads(self.server.call("POST", "/api/v1/preview?animation=1", body)[2])["pages"][0]
        frames = [[bin(int(row, 16))[2:].zfill(96) for row in frame] for frame in answer["animation"]]
        self.find("#p0-ver").click()
        seen = []
        until = time.monotonic() + 20
        while (not seen or self.find("#p0-matriz").get_attribute("data-playing")) and time.monotonic() < until:
            dots = self.page_dots(0)
            if self.find("#p0-matriz").get_attribute("data-playing") and dots not in seen:
                seen.append(dots)
        self.assertGreaterEqual(len(seen), 3)
        for dots in seen:
            self.assertTrue(dots in frames, "\n".join(["un cuadro que el servidor no dio:"] + dots))
        self.wait(lambda: self.page_dots(0) == still, message="no volvio a la imagen fija")

    def test_the_clock_goes_to_all_signs(self):
        self.start_server(self.start_signs(count=2, groups={0: ["planta"]}))
        self.open_browser()
        self.wait(lambda: self.text("#cartel-b .disponible") == "Puerto disponible")
        self.assertEqual(self.text("#listaGrupos"), "planta: Cartel A")
        Select(self.find("#destino")).select_by_value("todos")
        self.find("#enviarHora").click()
        self.wait(lambda: len(self.finds('#progreso li[data-state="done"]')) == 2, message="no termino")
        for sign in self.signs:
            event = sign.next_event()
            self.assertTrue(event["completa"] and "hora" in event and "fecha" in event, event)
        # A clock changes nothing the sign is believed to show.
        self.assertEqual(self.text("#cartel-a .muestra"), "No se sabe que muestra.")

    def test_a_sign_nobody_listens_for_says_so_and_fails_alone(self):
        signs = self.start_signs()
        # A port that refuses: the last sign stopped, its address left in the configuration.
        gone = VirtualSign()
        signs.append({"id": "z", "name": "Sin cartel", "port": gone.address, "dy1": "10", "dy2": "01", "groups": []})
        gone.stop()
        self.start_server(signs)
        self.open_browser()
        self.wait(lambda: self.text("#cartel-z .disponible").startswith("No disponible: "))
        self.assertIn("rechazada", self.text("#cartel-z .disponible"))
        self.assertEqual(self.text("#cartel-a .disponible"), "Puerto disponible")
        self.type_page(0, "HOLA")
        Select(self.find("#destino")).select_by_value("todos")
        self.find("#enviar").click()
        # One job a sign, made at once: which gets which number is the server's affair.
        row = lambda sign: f'#progreso li[id$="-{sign}"]'
        self.wait(lambda: len(self.finds(row("z") + '[data-state="failed"]')) == 1, message="z no fallo")
        self.assertIn("fallido", self.text(row("z") + " .detalle"))
        self.wait(lambda: len(self.finds(row("a") + '[data-state="done"]')) == 1, message="a no termino")
        self.assertTrue(self.signs[0].next_event()["completa"])
        self.assertEqual(self.text("#estado"), "Envio terminado: hecho, fallido.")

    def test_without_the_websocket_the_page_asks_for_its_jobs(self):
        self.start_server(self.start_signs())
        driver = self.open_browser()
        # As behind a proxy that does not pass WebSockets: each one closes as soon as it is opened.
        driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": """
            window.WebSocket = class extends EventTarget {
                constructor() {
                    super();
                    setTimeout(() => this.dispatchEvent(Object.assign(new Event('close'), {code: 1006})), 10);
                }
                send() {}
                close() {}
            };"""})
        driver.refresh()
        self.wait(lambda: self.text("#cartel-a .disponible") == "Puerto disponible")
        self.type_page(0, "sin novedades", "Estatico")
        self.wait(lambda: self.preview_settled(1))
        self.find("#enviar").click()
        self.wait(lambda: self.find("#envio-1-a").get_attribute("data-state") == "done", message="no termino")
        self.assertTrue(self.signs[0].next_event()["completa"])
        self.assertTrue([line for line in self.server.journal if "GET /api/v1/jobs/1 " in line])
        # What the sign shows comes from the list of signs asked again.
        self.wait(lambda: self.text("#cartel-a .muestra") == "Muestra: sin novedades")

    def test_cancel_stops_a_long_send_with_the_terminator(self):
        # 50 ms a character: the message takes seconds, time enough to cancel in the middle.
        self.start_server(self.start_signs(count=2, dy2="50", groups={0: ["planta"], 1: ["planta"]}))
        long_pages = {"pages": [{"text": "pagina numero %02d" % n, "effect": "Estatico"} for n in range(1, 9)]}
        self.server.call("PUT", "/api/v1/messages/largo", long_pages)
        self.open_browser()
        self.wait(lambda: self.finds('#listaMensajes li[data-name="largo"]'))
        self.find('#listaMensajes li[data-name="largo"] button').click()
        self.wait(lambda: len(self.finds("#paginas > li")) == 8 and self.preview_settled(8))
        Select(self.find("#destino")).select_by_value("g:planta")
        self.find("#enviar").click()
        self.wait(lambda: self.text("#envio-1-b .detalle").startswith("enviando"), message="no empezo")
        self.find("#cancelar").click()
        for sign in ("a", "b"):
            self.wait(lambda: self.find(f"#envio-1-{sign}").get_attribute("data-state") == "cancelled",
                      message=f"{sign} no quedo cancelado")
            self.assertIn("cancelado", self.text(f"#envio-1-{sign} .detalle"))
        for sign in self.signs:
            event = sign.next_event()
            # The sign got the terminator (01 01) and a message it knows to be cut.
            self.assertTrue(event["terminada"], event)
            self.assertTrue(event["transmision_hex"].endswith("0101"), event)
            self.assertFalse(event["completa"], event)
        self.assertTrue(self.find("#cancelar").get_attribute("hidden"))


class Schedules(PageTest):
    def test_a_schedule_made_on_the_page_shows_its_words_and_next_runs(self):
        zone = "Europe/Madrid"
        self.start_server(self.start_signs(), zone=zone)
        self.open_browser()
        self.wait(lambda: self.finds("#hDestino option"))
        self.find("#hId").send_keys("apertura")
        # Only the fields of the kind of schedule and of the action chosen are shown.
        shown = lambda: [field for field in ("hCron", "hAt", "hGuardado") if self.find("#" + field).is_displayed()]
        self.assertEqual(shown(), ["hCron"])
        Select(self.find("#hCuando")).select_by_value("at")
        Select(self.find("#hAccion")).select_by_value("stored")
        self.assertEqual(shown(), ["hAt", "hGuardado"])
        Select(self.find("#hCuando")).select_by_value("cron")
        cron = self.find("#hCron")
        cron.clear()
        cron.send_keys("0 9 * * 1-6")
        Select(self.find("#hAccion")).select_by_value("clock")
        self.find("#nuevoHorario button[type=submit]").click()
        item = '#listaHorarios li[data-schedule="apertura"]'
        self.wait(lambda: len(self.finds(item + " .proximas li")) == 3, message="no aparecieron las proximas")
        self.assertEqual(self.text(item + " .palabras"), "lunes a sabado a las 09:00")
        self.assertIn("pone la hora y fecha a cartel a", self.text(item + " .que"))
        # Each run shown is croniter's, in words.
        days = ["lunes", "martes", "miercoles", "jueves", "viernes", "sabado", "domingo"]
        months = ["enero", "febrero", "marzo", "abril", "mayo", "junio", "julio", "agosto", "septiembre", "octubre",
                  "noviembre", "diciembre"]
        runs = croniter("0 9 * * 1-6", datetime.datetime.now(zoneinfo.ZoneInfo(zone)))
        expected = []
        for _ in range(3):
            run = runs.get_next(datetime.datetime)
            expected.append(f"{days[run.weekday()]} {run.day} de {months[run.month - 1]} de {run.year}, 09:00")
        self.assertEqual([li.text for li in self.finds(item + " .proximas li")], expected)

        self.find(item + " button.peligro").click()
        self.driver.switch_to.alert.accept()
        self.wait(lambda: not self.finds(item), message="el horario no se borro")
        self.assertEqual(self.server.call("GET", "/api/v1/schedules")[2], b'{"schedules":[]}')


class PhoneWidth(PageTest):
    def test_at_390_px_nothing_scrolls_sideways(self):
        self.start_server(self.start_signs(count=3, groups={0: ["planta-baja-del-edificio-norte"]}))
        self.open_browser(390, 844, phone=True)
        self.wait(lambda: self.text("#cartel-c .disponible") == "Puerto disponible")
        self.assertEqual(self.driver.execute_script("return window.innerWidth"), 390)
        self.type_page(0, "Un texto bastante mas largo que una pagina del cartel", "Rotacion")
        self.find("#insertarPagina").click()
        self.type_page(1, "Hola", "Explosion", 9, centred=True)
        self.wait(lambda: self.preview_settled(2))
        self.find("#nombre").send_keys("telefono")
        self.find("#grabar button").click()
        self.wait(lambda: self.finds('#listaMensajes li[data-name="telefono"]'))
        self.find("#enviar").click()
        self.wait(lambda: self.finds("#progreso li") and all(
            li.get_attribute("data-state") == "done" for li in self.finds("#progreso li")))
        widths = self.driver.execute_script(
            "return [document.documentElement.scrollWidth, document.body.scrollWidth, window.innerWidth]")
        self.assertLessEqual(max(widths[:2]), widths[2], widths)
        # Nothing sticks out and is cut off by a container either.
        outside = self.driver.execute_script("""
            return [...document.querySelectorAll('body *')].filter((e) => {
                const r = e.getBoundingClientRect();
                return r.width > 0 && (r.right > window.innerWidth + 0.5 || r.left < -0.5) &&
                       !e.closest('.skip, .solo-lector');
            }).map((e) => e.tagName + '#' + e.id + '.' + e.className);""")
        self.assertEqual(outside, [])


class StoredMessages(PageTest):
    def test_save_download_upload_open_and_delete(self):
        self.start_server(self.start_signs())
        driver = self.open_browser()
        downloads = self.folder + "/descargas"
        driver.execute_cdp_cmd("Browser.setDownloadBehavior", {"behavior": "allow", "downloadPath": downloads})
        self.wait(lambda: not self.find("#sinMensajes").get_attribute("hidden"))
        self.type_page(0, "Buenos días", "Vert Arr", 3, centred=True)
        self.wait(lambda: self.preview_settled(1))
        self.find("#nombre").send_keys("saludo")
        self.find("#grabar button").click()
        self.wait(lambda: self.finds('#listaMensajes li[data-name="saludo"]'))
        stored = self.server.call("GET", "/api/v1/messages/saludo?format=mnm")[2]
        self.assertEqual(stored, '4,2,2,"Buenos días"\r\n'.encode("latin-1"))
        # The download is the stored file itself.
        self.find('#listaMensajes li[data-name="saludo"] button:nth-child(2)').click()
        self.wait(lambda: read(downloads + "/saludo.mnm") == stored, message="no se descargo")

        # A file of the window's, uploaded as it is, then opened into the composer.
        upload = self.folder + "/Otro mensaje.mnm"
        window_file = '0,0,0,"¡Oferta!"\r\n12,0,2,"Fecha 12/07/07 "\r\n'.encode("latin-1")
        with open(upload, "wb") as out:
            out.write(window_file)
        self.find("#archivo").send_keys(upload)
        item = '#listaMensajes li[data-name="Otro mensaje"]'
        self.wait(lambda: self.finds(item))
        self.assertEqual(self.server.call("GET", "/api/v1/messages/Otro%20mensaje?format=mnm")[2], window_file)
        self.find(item + " button").click()
        self.wait(lambda: len(self.finds("#paginas > li")) == 2 and self.preview_settled(2))
        self.assertEqual(self.find("#p0-texto").get_attribute("value"), "¡Oferta!")
        self.assertEqual(self.find("#p1-efecto").get_attribute("value"), "Fecha")
        # A clock page's text is the sign's own: shown, not edited.
        self.assertFalse(self.find("#p1-texto").is_enabled())
        self.assertTrue(self.find("input[name=p1-alineacion][value=centrado]").is_selected())
        # An edit not stored is not lost to another message without asking, as the window asks.
        self.type_page(0, "Cambiado")
        self.find('#listaMensajes li[data-name="saludo"] button').click()
        alert = self.driver.switch_to.alert
        self.assertIn("Hay cambios Realizados", alert.text)
        alert.dismiss()
        self.assertEqual(self.find("#p0-texto").get_attribute("value"), "Cambiado")

        self.find('#listaMensajes li[data-name="saludo"] button.peligro').click()
        self.driver.switch_to.alert.accept()
        self.wait(lambda: not self.finds('#listaMensajes li[data-name="saludo"]'))
        names = [m["name"] for m in json.loads(self.server.call("GET", "/api/v1/messages")[2])["messages"]]
        self.assertEqual(names, ["Otro mensaje"])


class Token(PageTest):
    # The requests refused before the token is typed, which the browser reports as failed loads.
    expected_console = ("status of 401",)

    def test_the_page_asks_for_a_token_and_keeps_it_for_the_tab(self):
        self.start_server(self.start_signs(), tokens={"web": "send"})
        self.open_browser()
        dialog = self.find("#pideToken")
        self.wait(lambda: dialog.is_displayed(), message="no pidio el token")
        self.assertIn("falta el token", self.text("#motivoToken"))
        # The page's own files hold no data: they come without a token, each under the policy that keeps the page
        # to its server's scripts.
        for path, kind in (("/", "text/html"), ("/app.js", "text/javascript"), ("/app.css", "text/css"),
                           ("/icon.svg", "image/svg+xml"), ("/favicon.ico", "image/svg+xml")):
            status, headers, _ = self.server.call("GET", path)
            self.assertEqual((status, headers["Content-Type"].split(";")[0]), (200, kind), path)
            self.assertIn("script-src 'self'", headers["Content-Security-Policy"])
            self.assertEqual(headers["X-Content-Type-Options"], "nosniff")
        self.find("#token").send_keys("no-es-un-token")
        self.find("#formToken button").click()
        self.wait(lambda: dialog.is_displayed() and "no es valido" in self.text("#motivoToken"))
        self.find("#token").send_keys(self.tokens["web"])
        self.find("#formToken button").click()
        self.wait(lambda: self.text("#cartel-a .disponible") == "Puerto disponible")
        self.assertEqual(self.driver.execute_script("return sessionStorage.getItem('tivor-token')"),
                         self.tokens["web"])
        self.assertIsNone(self.driver.execute_script("return localStorage.getItem('tivor-token')"))
        # The token goes with a send too, and with the WebSocket's first word.
        self.type_page(0, "con token", "Estatico")
        self.find("#enviar").click()
        self.wait(lambda: self.find("#envio-1-a").get_attribute("data-state") == "done")
        self.assertTrue(self.signs[0].next_event()["completa"])
        self.assertFalse([line for line in self.server.journal if "GET /api/v1/jobs/" in line])
        # A reload keeps the tab's token: nothing is asked again.
        self.driver.refresh()
        self.wait(lambda: self.text("#cartel-a .disponible") == "Puerto disponible")
        self.assertFalse(self.find("#pideToken").is_displayed())


class Accessibility(PageTest):
    def test_every_control_has_a_name_for_a_screen_reader(self):
        self.start_server(self.start_signs(count=2, groups={0: ["planta"]}))
        self.server.call("PUT", "/api/v1/messages/uno", {"text": "uno"})
        self.server.call("PUT", "/api/v1/schedules/diario", {"cron": "0 8 * * *", "action": "clock", "signs": ["a"]})
        self.open_browser()
        self.wait(lambda: self.finds("#listaHorarios .proximas li") and self.finds("#listaMensajes li"))
        self.type_page(0, "Hola", "Estatico")
        self.find("#insertarPagina").click()
        self.type_page(1, "Adios")
        self.wait(lambda: self.preview_settled(2))
        self.find("#enviar").click()
        self.wait(lambda: len(self.finds('#progreso li[data-state="done"]')) == 2)
        # What a screen reader is given: Chromium's own accessibility tree.
        nodes = self.driver.execute_cdp_cmd("Accessibility.getFullAXTree", {})["nodes"]
        roles = {"button", "textbox", "combobox", "radio", "link", "image", "img", "progressbar"}
        named = [(node["role"]["value"], node.get("name", {}).get("value", "")) for node in nodes
                 if not node.get("ignored") and node.get("role", {}).get("value") in roles]
        self.assertEqual([role for role, name in named if not name.strip()], [])
        images = [name for role, name in named if role in ("image", "img") and name.startswith("Vista previa")]
        # The preview's text alternative is the window's own spoken line for each page.
        self.assertEqual(len(images), 2, named)
        self.assertIn('"Hola"', images[0])
        self.assertIn("Estatico", images[0])
        progress = [name for role, name in named if role == "progressbar"]
        self.assertEqual(sorted(progress), ["Cartel A", "Cartel B"])
        # The live region says each sign's state as it changes, not each byte.
        spoken = self.find("#anuncio").get_attribute("textContent")
        self.assertIn("Cartel A: hecho, ", spoken)
        self.assertNotIn("enviando, 1 de", spoken)

    def test_the_keyboard_alone_composes_and_sends_and_focus_shows(self):
        self.start_server(self.start_signs())
        self.open_browser()
        self.wait(lambda: self.text("#cartel-a .disponible") == "Puerto disponible")
        unseen = []

        def tab_to(target, limit=60):
            for _ in range(limit):
                self.driver.switch_to.active_element.send_keys(Keys.TAB)
                focused = self.driver.switch_to.active_element
                style = self.driver.execute_script(
                    "const s = getComputedStyle(arguments[0]); return [s.outlineStyle, s.outlineWidth]", focused)
                if style[0] == "none" or style[1] == "0px":
                    unseen.append(focused.get_attribute("outerHTML")[:80])
                if focused.get_attribute("id") == target:
                    return focused
            self.fail(f"el tabulador no llego a {target}")

        tab_to("p0-texto").send_keys("TECLADO")
        tab_to("p0-efecto").send_keys("E")  # the first effect that starts with E: Estatico
        tab_to("enviar").send_keys(Keys.ENTER)
        self.wait(lambda: self.finds("#envio-1-a") and
                  self.find("#envio-1-a").get_attribute("data-state") == "done")
        self.assertEqual(self.signs[0].next_event()["paginas"][0]["efecto"], "Estatico")
        self.assertEqual(unseen, [], "controles sin foco visible")


if __name__ == "__main__":
    unittest.main()
