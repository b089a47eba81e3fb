"""The browser kiosk and its server, driven in a real browser (headless Chromium).

Run by CTest: kiosk_test.py TIMECLOCK OUTPUT_FOLDER. Each test leaves a screenshot of its last
screen in OUTPUT_FOLDER. The server is started on a free loopback port with a bounded lifetime
and stopped whatever happens.
"""

import json
import os
import re
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import unittest
import urllib.error
import urllib.request

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

TIMECLOCK = OUTPUT = None
SERVER_LIFETIME = "300"  # seconds: the server ends by itself should this test be killed
WAIT = 20  # seconds a screen may take to come up on a busy machine


class Clock:
    """A clock server on a scratch folder: employees, a manager, two registered kiosks."""

    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="kiosk-test-")
        self.env = dict(os.environ, STAMPKIND_REGISTRY=os.path.join(self.folder, "registry.json"))
        self.config = os.path.join(self.folder, "timeclock.json")
        self.db = os.path.join(self.folder, "clock.db")
        with open(self.config, "w") as f:
            json.dump({"database": self.db, "idle_seconds": 4, "confirm_seconds": 2}, f)
        self.run("register")
        for card, name in (("1001", "Avery Stone"), ("1002", "Jordan Reyes"), ("1003", "Sam Okafor"),
                           ("1004", "Riley Chen")):
            self.run("employee", "add", "--db", self.db, "--card", card, "--name", name)
        self.run("employee", "add", "--db", self.db, "--card", "9001", "--name", "Morgan Lee",
                 "--manager", "--pin-stdin", stdin="2468\n")
        self.run("admin-password", "--config", self.config, stdin="correct horse battery\n")
        self.keys = {name: self.add_kiosk(name) for name in ("Front Door", "Dock")}
        self.server = subprocess.Popen(
            ["timeout", SERVER_LIFETIME, TIMECLOCK, "serve", "--listen", "127.0.0.1:0",
             "--config", self.config], env=self.env, stdout=subprocess.PIPE, text=True)
        line = self.server.stdout.readline()
        match = re.search(r"http://127\.0\.0\.1:(\d+)/kiosk", line)
        if not match:
            self.stop()
            raise RuntimeError("the server did not start: " + line)
        self.url = "http://127.0.0.1:" + match.group(1)

    def run(self, *arguments, stdin=None):
        return subprocess.run([TIMECLOCK, *arguments], env=self.env, input=stdin, text=True,
                              capture_output=True, check=True, timeout=60).stdout

    def add_kiosk(self, name):
        printed = self.run("kiosk-key", "add", name, "--config", self.config)
        link = re.search(r"#(key=([a-z2-7]+)&kiosk=\S+)", printed)
        with open(self.config) as f:
            assert link.group(2) not in f.read(), "the key itself must never be stored"
        return link.group(1)

    def rows(self, query):
        with sqlite3.connect(self.db) as db:
            return db.execute(query).fetchall()

    def stop(self):
        self.server.terminate()
        try:
            self.server.wait(10)
        except subprocess.TimeoutExpired:
            self.server.kill()
            self.server.wait()
        shutil.rmtree(self.folder, ignore_errors=True)


def browser():
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
                     "--disable-background-networking", "--disable-component-update",
                     "--disable-sync", "--window-size=1280,800",
                     "--user-data-dir=" + tempfile.mkdtemp(prefix="kiosk-browser-")):
        options.add_argument(argument)
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


class KioskTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.clock = Clock()
        try:
            cls.driver = browser()
        except Exception:
            cls.clock.stop()
            raise

    @classmethod
    def tearDownClass(cls):
        try:
            cls.driver.quit()
        finally:
            cls.clock.stop()

    def tearDown(self):
        for number, handle in enumerate(self.driver.window_handles):
            self.driver.switch_to.window(handle)
            suffix = "" if number == 0 else "-" + str(number + 1)
            self.driver.save_screenshot(os.path.join(OUTPUT, self._testMethodName + suffix + ".png"))
        for handle in self.driver.window_handles[1:]:
            self.driver.switch_to.window(handle)
            self.driver.close()
        self.driver.switch_to.window(self.driver.window_handles[0])

    # What the page shows.
    def open_kiosk(self, name="Front Door"):
        self.driver.get(self.clock.url + "/kiosk#" + self.clock.keys[name])
        self.driver.refresh()  # a new fragment alone loads no page
        self.wait_for_state("card")

    def wait_for_state(self, state):
        WebDriverWait(self.driver, WAIT).until(
            lambda d: d.find_element(By.TAG_NAME, "body").get_attribute("data-state") == state)

    def wait_for_text(self, element, text):
        WebDriverWait(self.driver, WAIT).until(
            lambda d: text in d.find_element(By.ID, element).text)

    def type(self, text):
        body = self.driver.find_element(By.TAG_NAME, "body")
        body.send_keys(text)

    def touch(self, path):
        button = WebDriverWait(self.driver, WAIT).until(
            lambda d: d.find_element(By.CSS_SELECTOR, 'button[data-path="%s"]' % path))
        button.click()

    def records(self, card):
        return self.clock.rows('SELECT "Punch Type", "Date In" IS NOT NULL, "Date Out" IS NOT NULL '
                               'FROM "Clock Data Table" WHERE "Card ID" = %d ORDER BY "ID"' % card)

    # The tests.
    def test_in_by_touch_then_out_by_keyboard(self):
        self.open_kiosk()
        for digit in "1001":
            self.driver.find_element(By.XPATH, '//button[.="%s"]' % digit).click()
        self.touch("cmdEnter")
        self.wait_for_state("punch")
        self.wait_for_text("employee", "Avery Stone")
        self.touch("cmdStampkind(0)")
        self.touch("cmdEnter")
        self.wait_for_state("confirm")
        self.wait_for_text("confirmation", "IN")
        self.assertEqual(len(self.records(1001)), 1)
        self.type("1001" + Keys.ENTER)
        self.wait_for_state("punch")
        self.type("2" + Keys.ENTER)
        self.wait_for_text("confirmation", "OUT")
        self.assertEqual([(row[1], row[2]) for row in self.records(1001)], [(1, 1)])

    def test_manager_enters_hours_with_pin(self):
        self.open_kiosk("Dock")
        self.type("9001" + Keys.ENTER)
        self.wait_for_state("pin")
        self.type("2468" + Keys.ENTER)
        self.type("1002" + Keys.ENTER)
        self.wait_for_text("banner", "MANAGER MODE")
        self.type("+4" + Keys.ENTER + "1204260800" + Keys.ENTER + "0800" + Keys.ENTER)
        self.wait_for_text("confirmation", "VACATION 8:00 h")
        self.assertEqual(self.clock.rows('SELECT "Manager Card", "Clock Name" FROM "Manager Entries"'),
                         [(9001, "Dock")])

    def test_idle_screen_returns_to_the_card_prompt(self):
        self.open_kiosk()
        self.type("1003" + Keys.ENTER)
        self.wait_for_state("punch")
        self.wait_for_state("card")  # after the configured idle time, with no input
        self.assertEqual(self.records(1003), [])

    def test_wrong_key_is_refused(self):
        # No kiosk's key; a kiosk's name with a wrong key; one kiosk's key under another's name.
        for link in ("key=notakey", "key=notakey&kiosk=Dock",
                     self.clock.keys["Front Door"].replace("Front%20Door", "Dock")):
            with self.subTest(link=link):
                self.driver.get(self.clock.url + "/kiosk#" + link)
                self.driver.refresh()
                self.wait_for_text("refused-text", "not a registered kiosk")
        request = urllib.request.Request(self.clock.url + "/api/kiosk/input",
                                         data=b'{"key": 49}', method="POST",
                                         headers={"X-Kiosk-Session": "forged"})
        with self.assertRaises(urllib.error.HTTPError) as refused:
            urllib.request.urlopen(request, timeout=WAIT)
        self.assertEqual(refused.exception.code, 403)

    def test_second_server_on_the_port_is_refused(self):
        # Two servers sharing one port would each take some kiosks: the second is refused.
        port = self.clock.url.rsplit(":", 1)[1]
        second = subprocess.run(
            ["timeout", "20", TIMECLOCK, "serve", "--listen", "127.0.0.1:" + port, "--config",
             self.clock.config], env=self.clock.env, capture_output=True, text=True, timeout=30)
        self.assertNotEqual(second.returncode, 0)
        self.assertIn("cannot listen on 127.0.0.1:" + port, second.stderr)

    def test_link_that_names_no_kiosk_opens_by_its_key_alone(self):
        key = re.search(r"key=([a-z2-7]+)", self.clock.keys["Dock"]).group(1)
        self.driver.get(self.clock.url + "/kiosk#key=" + key)
        self.driver.refresh()
        self.wait_for_state("card")

    def test_two_kiosks_punch_at_once(self):
        self.open_kiosk("Front Door")
        first = self.driver.current_window_handle
        self.driver.switch_to.new_window("window")
        second = self.driver.current_window_handle
        self.open_kiosk("Dock")
        for handle, card in ((first, "1002"), (second, "1003")):
            self.driver.switch_to.window(handle)
            self.type(card + Keys.ENTER)
        for handle in (first, second):
            self.driver.switch_to.window(handle)
            self.wait_for_state("punch")
            self.touch("cmdStampkind(0)")
            self.touch("cmdEnter")
        for handle in (first, second):
            self.driver.switch_to.window(handle)
            self.wait_for_text("confirmation", "IN")
        self.assertEqual(len(self.records(1003)), 1)
        self.assertEqual(len([r for r in self.records(1002) if r[0] == "I"]), 1)

    def test_admin_pages_need_a_login_then_show_the_timesheet(self):
        self.clock.run("punch", "--db", self.clock.db, "--config", self.clock.config, "--card",
                       "1004", "--now", "2026-12-01 08:00:00", "--keys", "CLICK:cmdStampkind(0) ENTER")
        self.clock.run("punch", "--db", self.clock.db, "--config", self.clock.config, "--card",
                       "1004", "--now", "2026-12-01 16:30:00", "--keys", "CLICK:cmdStampkind(1) ENTER")
        self.driver.get(self.clock.url + "/admin/timesheet?week=2026-12-01")
        self.assertIn("/admin/login", self.driver.current_url)
        field = self.driver.find_element(By.NAME, "password")
        field.send_keys("wrong password" + Keys.ENTER)
        WebDriverWait(self.driver, WAIT).until(lambda d: "Wrong password" in d.page_source)
        self.driver.find_element(By.NAME, "password").send_keys("correct horse battery" + Keys.ENTER)
        WebDriverWait(self.driver, WAIT).until(lambda d: "/admin/timesheet" in d.current_url)
        self.driver.get(self.clock.url + "/admin/timesheet?week=2026-12-01")
        self.assertIn("Riley Chen", self.driver.page_source)
        self.assertIn("8:30", self.driver.find_element(By.CLASS_NAME, "chart").text)
        # A form posted from elsewhere carries the session's cookie but not its token.
        cookie = self.driver.get_cookie("stampkind_admin")["value"]
        forged = urllib.request.Request(self.clock.url + "/admin/employees", method="POST",
                                        data=b"action=remove&card=1004&csrf=forged",
                                        headers={"Cookie": "stampkind_admin=" + cookie})
        with self.assertRaises(urllib.error.HTTPError) as refused:
            urllib.request.urlopen(forged, timeout=WAIT)
        self.assertEqual(refused.exception.code, 403)
        self.assertEqual(self.clock.rows('SELECT COUNT(*) FROM "Employees" WHERE "Card ID" = 1004'),
                         [(1,)])
        # The step's settings, edited on its setup page's controls as `timeclock setup` does.
        self.driver.get(self.clock.url + "/admin/settings")
        self.driver.find_element(By.NAME, "lstManagerStampkinds.9").click()  # no "Complete"
        self.driver.find_element(By.CSS_SELECTOR, "form.settings button").click()
        WebDriverWait(self.driver, WAIT).until(lambda d: "settings are applied" in d.page_source)
        shown = json.loads(self.clock.run("setup", "--config", self.clock.config, "--show"))
        self.assertEqual(shown["AllowedStampkinds"], "1111111110")
        # A name is shown as the text it is, never as markup.
        self.driver.get(self.clock.url + "/admin/employees")
        name = "Dana <b>O'Neil</b> & \"Co\" >"
        form = self.driver.find_element(By.XPATH, "//form[input[@value='add']]")
        form.find_element(By.NAME, "card").send_keys("1005")
        form.find_element(By.NAME, "name").send_keys(name)
        form.find_element(By.TAG_NAME, "button").click()
        WebDriverWait(self.driver, WAIT).until(lambda d: "Added card 1005" in d.page_source)
        self.assertIn(name, [cell.text for cell in self.driver.find_elements(By.TAG_NAME, "td")])


if __name__ == "__main__":
    TIMECLOCK, OUTPUT = sys.argv[1], sys.argv[2]
    os.makedirs(OUTPUT, exist_ok=True)
    unittest.main(argv=sys.argv[:1], verbosity=2)
