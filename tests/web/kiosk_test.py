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
import http.cookiejar
import urllib.error
import urllib.parse
import urllib.request

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

TIMECLOCK = OUTPUT = None
SERVER_LIFETIME = "300"  # seconds: the server ends by itself should this test be killed
WAIT = 20  # seconds a screen may take to come up on a busy machine


class Clock:
    """A clock server on a scratch folder: employees, a manager, two registered kiosks.
    `settings` are added to its configuration."""

    def __init__(self, **settings):
        self.folder = tempfile.mkdtemp(prefix="kiosk-test-")
        self.env = dict(os.environ, STAMPKIND_REGISTRY=os.path.join(self.folder, "registry.json"))
        self.config = os.path.join(self.folder, "timeclock.json")
        self.db = os.path.join(self.folder, "clock.db")
        self.server = None
        with open(self.config, "w") as f:
            json.dump(dict({"database": self.db, "idle_seconds": 4, "punch_idle_seconds": 4,
                            "confirm_seconds": 2}, **settings), f)
        try:
            self.run("register")
            for card, name in (("1001", "Avery Stone"), ("1002", "Jordan Reyes"),
                               ("1003", "Sam Okafor"), ("1004", "Riley Chen")):
                self.run("employee", "add", "--db", self.db, "--card", card, "--name", name)
            self.run("employee", "add", "--db", self.db, "--card", "9001", "--name", "Morgan Lee",
                     "--manager", "--pin-stdin", stdin="2468\n")
            self.run("admin-password", "--config", self.config, stdin="correct horse battery\n")
            self.keys = {name: self.add_kiosk(name) for name in ("Front Door", "Dock")}
            self.start("0")
        except Exception:
            self.stop()
            raise

    def start(self, port):
        """Starts the server on `port` ("0": any free one)."""
        self.server = subprocess.Popen(
            ["timeout", SERVER_LIFETIME, TIMECLOCK, "serve", "--listen", "127.0.0.1:" + port,
             "--config", self.config], env=self.env, stdout=subprocess.PIPE, text=True)
        line = self.server.stdout.readline()
        match = re.search(r"http://127\.0\.0\.1:(\d+)/kiosk", line)
        if not match:
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

    def stop_server(self):
        if self.server is None:
            return
        self.server.terminate()
        try:
            self.server.wait(10)
        except subprocess.TimeoutExpired:
            self.server.kill()
            self.server.wait()
        self.server.stdout.close()
        self.server = None

    def stop(self):
        self.stop_server()
        shutil.rmtree(self.folder, ignore_errors=True)


# The screen sizes a kiosk is used at: a phone, a tablet upright and across, a laptop, a desktop.
SIZES = {"phone": (390, 844), "tablet-upright": (768, 1024), "tablet-across": (1024, 768),
         "laptop": (1280, 800), "desktop": (1920, 1080)}

# What is wrong with the screen as drawn, in the page's own measures: a key smaller than a
# fingertip, a caption or entry wider than its box, keys that overlap each other or the text
# beside them, text cut at the bottom, a caption that reads poorly on its key.
LAYOUT_PROBLEMS = """
const [width, height] = arguments;
const problems = [];
if (innerWidth !== width || innerHeight !== height)
    return ["the page is " + innerWidth + "x" + innerHeight];
const rect = (e) => e.getBoundingClientRect();
const meets = (a, b) => a.left < b.right - 1 && b.left < a.right - 1 &&
    a.top < b.bottom - 1 && b.top < a.bottom - 1;
const within = (inner, outer) => inner.left >= outer.left - 0.5 && inner.right <= outer.right + 0.5 &&
    inner.top >= outer.top - 0.5 && inner.bottom <= outer.bottom + 0.5;
const rgb = (text) => text.match(/[0-9.]+/g).slice(0, 3).map(Number).map((c) => {
    c /= 255; return c <= 0.03928 ? c / 12.92 : Math.pow((c + 0.055) / 1.055, 2.4); });
const luminance = (text) => { const [r, g, b] = rgb(text); return 0.2126 * r + 0.7152 * g + 0.0722 * b; };
const buttons = [...document.querySelectorAll("#pad button")];
buttons.forEach((button, i) => {
    const box = rect(button), name = button.dataset.path;
    if (box.width < 44 || box.height < 44)
        problems.push(name + " is " + Math.round(box.width) + "x" + Math.round(box.height));
    if (!within(rect(button.firstElementChild), box) || button.scrollWidth > button.clientWidth)
        problems.push(name + ": its caption is wider than its box");
    if (!within(box, {left: 0, top: 0, right: innerWidth, bottom: innerHeight}))
        problems.push(name + " is off the screen");
    if (/&/.test(button.textContent)) problems.push(name + " shows a bare &: " + button.textContent);
    buttons.slice(i + 1).forEach((other) => {
        if (meets(box, rect(other))) problems.push(name + " overlaps " + other.dataset.path);
    });
    if (!button.disabled) {
        const style = getComputedStyle(button);
        const [a, b] = [luminance(style.color), luminance(style.backgroundColor)].sort((x, y) => y - x);
        if ((a + 0.05) / (b + 0.05) < 4.5) problems.push(name + ": its caption reads poorly");
    }
});
const side = rect(document.getElementById("side"));
for (const id of ["banner", "idle-clock", "employee", "prompt", "question", "entry", "error",
                  "message", "information", "confirmation"]) {
    const element = document.getElementById(id), box = rect(element);
    if (!box.width || !box.height) continue;
    if (box.bottom > side.bottom + 0.5) problems.push(id + " is cut at the bottom");
    for (const button of buttons)
        if (meets(box, rect(button))) problems.push(id + " is under " + button.dataset.path);
}
for (const id of ["entry", "idle-time"]) {
    const element = document.getElementById(id);
    if (element.clientWidth && element.scrollWidth > element.clientWidth)
        problems.push(id + ": its text is wider than its box");
}
return problems;
"""


# What keeps a person from reading or working the screen as drawn: text under a contrast of
# 4.5:1 against what lies behind it (WCAG's relative luminance, from the computed styles), a
# button whose accessible name is missing, shouts in capitals or does not hold the caption seen,
# a key that the keyboard cannot reach, a form control without a label, a page without its
# language or title. A shown cover (offline, another window) hides what lies under it.
ACCESS_PROBLEMS = """
const problems = [];
const channels = (text) => (text.match(/[0-9.]+/g) || []).map(Number);
const luminance = ([r, g, b]) => [r, g, b].map((c) => {
    c /= 255; return c <= 0.03928 ? c / 12.92 : Math.pow((c + 0.055) / 1.055, 2.4); })
    .reduce((sum, c, i) => sum + c * [0.2126, 0.7152, 0.0722][i], 0);
const behind = (element) => {
    for (let e = element; e; e = e.parentElement) {
        const c = channels(getComputedStyle(e).backgroundColor);
        if (c.length === 3 || (c.length === 4 && c[3] === 1)) return c.slice(0, 3);
    }
    return [255, 255, 255];
};
const cover = [...document.querySelectorAll(".cover")].find((c) => getComputedStyle(c).display !== "none");
const shown = (e) => { const box = e.getBoundingClientRect();
    return box.width > 0 && box.height > 0 && getComputedStyle(e).visibility !== "hidden" &&
        (!cover || cover.contains(e)); };
const name = (e) => e.id || e.dataset.path || e.tagName.toLowerCase();
for (const element of document.body.querySelectorAll("*")) {
    if (element.closest("script, style") || !shown(element) || element.closest("button:disabled")) continue;
    const text = [...element.childNodes].filter((n) => n.nodeType === 3)
        .map((n) => n.textContent).join("").trim();
    if (!text) continue;
    const [a, b] = [luminance(channels(getComputedStyle(element).color)), luminance(behind(element))]
        .sort((x, y) => y - x);
    const ratio = (a + 0.05) / (b + 0.05);
    if (ratio < 4.5) problems.push(name(element) + ' ("' + text + '") reads at ' + ratio.toFixed(2) + ":1");
}
const plain = (text) => text.toLowerCase().replace(/[^a-z0-9/+$.-]+/g, " ").trim();
for (const button of document.querySelectorAll("button")) {
    if (!shown(button)) continue;
    const label = (button.getAttribute("aria-label") || button.textContent).trim();
    if (!label) { problems.push(name(button) + " has no name"); continue; }
    if (/\\b(?!AM\\b|PM\\b|PIN\\b)[A-Z]{2,}\\b/.test(label)) problems.push(name(button) + ' is named in capitals: "' + label + '"');
    if (!(" " + plain(label) + " ").includes(" " + plain(button.innerText) + " "))
        problems.push(name(button) + ': its name "' + label + '" does not hold its caption "' + button.innerText + '"');
    if (!button.disabled && button.tabIndex < 0) problems.push(name(button) + " cannot be reached by Tab");
}
for (const control of document.querySelectorAll("input, select, textarea"))
    if (shown(control) && !control.labels.length && !control.getAttribute("aria-label") &&
        !control.getAttribute("aria-labelledby"))
        problems.push(name(control) + " has no label");
if (!document.documentElement.lang) problems.push("the page has no language");
if (!document.title.trim()) problems.push("the page has no title");
return problems;
"""


def admin_session(clock):
    """An opener signed in to the administrator's pages of `clock`, its cookie kept."""
    opener = urllib.request.build_opener(
        urllib.request.HTTPCookieProcessor(http.cookiejar.CookieJar()))
    opener.open(clock.url + "/admin/login", data=b"password=correct+horse+battery", timeout=WAIT)
    return opener


def browser():
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
                     "--disable-background-networking", "--disable-component-update",
                     "--disable-sync", "--window-size=1280,800",
                     "--user-data-dir=" + tempfile.mkdtemp(prefix="kiosk-browser-")):
        options.add_argument(argument)
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


class BrowserTest(unittest.TestCase):
    """A clock server and a browser for the class's tests, both stopped whatever happens; each
    test leaves a screenshot of each of its windows, named with `SHOT_PREFIX`, and then only
    its first window is left open."""

    SHOT_PREFIX = ""

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
            self.driver.save_screenshot(
                os.path.join(OUTPUT, self.SHOT_PREFIX + self._testMethodName + suffix + ".png"))
        for handle in self.driver.window_handles[1:]:
            self.driver.switch_to.window(handle)
            self.driver.close()
        self.driver.switch_to.window(self.driver.window_handles[0])


class KioskTest(BrowserTest):
    # What the page shows.
    def open_kiosk(self, name="Front Door", clock=None):
        clock = clock or self.clock
        self.driver.get(clock.url + "/kiosk#" + clock.keys[name])
        self.driver.refresh()  # a new fragment alone loads no page
        self.wait_for_state("card")

    def own_clock(self, **settings):
        clock = Clock(**settings)
        self.addCleanup(clock.stop)
        return clock

    def resize(self, width, height):
        self.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": width, "height": height, "deviceScaleFactor": 1, "mobile": width < 700})
        self.addCleanup(self.driver.execute_cdp_cmd, "Emulation.clearDeviceMetricsOverride", {})

    def wait_for(self, script):
        WebDriverWait(self.driver, WAIT).until(lambda d: d.execute_script("return " + script))

    def body(self, attribute):
        return self.driver.find_element(By.TAG_NAME, "body").get_attribute(attribute)

    def press(self, key, code, modifiers=0):
        """A key as a keyboard of any layout sends it: its character and its position."""
        event = {"key": key, "code": code, "modifiers": modifiers}
        if len(key) == 1:
            event["text"] = key
        self.driver.execute_cdp_cmd("Input.dispatchKeyEvent", dict(event, type="keyDown"))
        self.driver.execute_cdp_cmd("Input.dispatchKeyEvent", dict(event, type="keyUp"))

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

    def keyboard_problems(self):
        """Tab through the page: every key on show takes the focus in its turn and shows it."""
        keys = self.driver.execute_script(
            'return [...document.querySelectorAll("#pad button:not(:disabled)")]'
            '.map((b) => b.dataset.path)')
        problems, reached = [], set()
        for _ in range(2 * len(keys) + 2):
            if reached >= set(keys):
                break
            ActionChains(self.driver).send_keys(Keys.TAB).perform()
            path, seen = self.driver.execute_script(
                "const e = document.activeElement, s = getComputedStyle(e);"
                "return [e.dataset.path || e.id || e.tagName,"
                " s.outlineStyle !== 'none' && parseFloat(s.outlineWidth) >= 2];")
            reached.add(path)
            if path in keys and not seen:
                problems.append(path + " shows no focus")
        problems += [path + " is never reached by Tab" for path in keys if path not in reached]
        self.driver.execute_script("document.activeElement.blur()")
        return problems

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
        self.wait_for_text("question", "Enter your PIN")
        self.type("24")
        self.wait_for_text("entry", "**")  # the PIN's stars are on show
        self.assertTrue(self.driver.find_element(By.ID, "entry").is_displayed())
        self.type("68" + Keys.ENTER)
        self.wait_for_text("confirmation", "VACATION 8:00 h")
        self.wait_for_text("confirmation", "Entered by Morgan Lee for Jordan Reyes")
        self.assertEqual(self.clock.rows('SELECT "Manager Card", "Clock Name" FROM "Manager Entries"'),
                         [(9001, "Dock")])
        # Manager mode was one entry long: the next card is the employee's own punch.
        self.clock.run("employee", "add", "--db", self.clock.db, "--card", "1007", "--name",
                       "Casey Brook")
        self.type("1007" + Keys.ENTER)
        self.wait_for_text("employee", "Casey Brook")
        self.assertNotIn("MANAGER", self.driver.find_element(By.ID, "banner").text)
        self.type("1" + Keys.ENTER)
        self.wait_for_text("confirmation", "IN ")
        self.assertEqual([row[0] for row in self.records(1007)], ["I"])
        self.assertEqual([row[0] for row in self.records(1002)], ["V"])

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

    def test_inputs_the_server_refuses(self):
        key = re.search(r"key=([a-z2-7]+)", self.clock.keys["Dock"]).group(1)

        def post(path, body, session=None):
            headers = {"Content-Type": "application/json"}
            if session:
                headers["X-Kiosk-Session"] = session
            request = urllib.request.Request(self.clock.url + path, data=json.dumps(body).encode(),
                                             headers=headers, method="POST")
            with urllib.request.urlopen(request, timeout=WAIT) as answer:
                return json.load(answer)

        session = post("/api/kiosk/open", {"key": key, "kiosk": "Dock"})["session"]
        refused = ({"key": 49, "holder": 0}, {"key": 49, "holder": -1}, {"key": 49, "holder": "1"},
                   {"key": 49, "holder": 1.5}, {"holder": 1}, {"hold": True, "key": 49},
                   {"hold": False})
        for body in refused:
            with self.subTest(body=body):
                with self.assertRaises(urllib.error.HTTPError) as answer:
                    post("/api/kiosk/input", body, session)
                self.assertEqual(answer.exception.code, 400)
        # An input under a hold that is no longer the kiosk's changes nothing.
        held = post("/api/kiosk/input", {"hold": True}, session)["holder"]
        self.assertEqual(post("/api/kiosk/input", {"hold": True}, session)["holder"], held + 1)
        self.assertEqual(post("/api/kiosk/input", {"key": 55, "holder": held}, session)["entry"], "")
        self.assertEqual(post("/api/kiosk/input", {"key": 55, "holder": held + 1}, session)["entry"], "7")
        post("/api/kiosk/input", {"escape": True}, session)

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

    def test_every_pad_fits_every_screen_size(self):
        clock = self.own_clock(idle_seconds=3600, punch_idle_seconds=3600, confirm_seconds=3600)
        self.open_kiosk("Dock", clock)
        enter, escape = Keys.ENTER, Keys.ESCAPE
        manager = "9001" + enter + "2468" + enter + "1002" + enter
        # Each screen: what is typed to reach it from the one before, and how it is known.
        screens = (
            ("card", "", 'document.body.dataset.state == "card"'),
            ("pin", "9001" + enter, 'document.body.dataset.state == "pin"'),
            ("punch", "2468" + enter + "1002" + enter, '!!document.querySelector(\'[data-path="cmdStampkind(0)"]\')'),
            ("punch-2", "+", '!!document.querySelector(\'[data-path="cmdStampkind(8)"]\')'),
            ("punch-3", "+", '!!document.querySelector(\'[data-path="cmdStampkind(16)"]\')'),
            ("date-in", "++4" + enter + "1204260930", '/09:30/.test(document.getElementById("entry").textContent)'),
            ("hours", enter, '!!document.querySelector(\'[data-path^="Hours"]\')'),
            ("confirmation", "0800" + enter + "2468" + enter,
             'document.body.dataset.state == "confirm"'),
            ("dollars", escape + manager + "+1" + enter + "1204260930" + enter,
             '!!document.querySelector(\'[data-path^="Currency"]\')'),
            ("date-out", escape + manager + "++2" + enter + "1204260800" + enter,
             '!!document.querySelector(\'[data-path^="TimeOut"]\')'),
            ("question", escape + "1003" + enter + "2" + enter, 'document.body.dataset.state == "not-fitting"'),
        )
        for screen, keys, shown in screens:
            if keys:
                self.type(keys)
            self.wait_for(shown)
            for size, (width, height) in SIZES.items():
                with self.subTest(screen=screen, size=size):
                    self.resize(width, height)
                    try:
                        WebDriverWait(self.driver, 5).until(
                            lambda d: not d.execute_script(LAYOUT_PROBLEMS, width, height))
                    except Exception:
                        self.fail(self.driver.execute_script(LAYOUT_PROBLEMS, width, height))
                    if screen in ("card", "punch", "date-in"):
                        self.driver.save_screenshot(
                            os.path.join(OUTPUT, "kiosk-%s-%s.png" % (screen, size)))
                    if screen == "date-in" and size == "tablet-across":
                        # A manager books the right half of the day only when AM/PM is seen.
                        self.assertRegex(self.driver.find_element(By.ID, "entry").text, r"09:30\s+AM$")
            # Read and worked by everyone: contrast, names, the keyboard alone.
            self.resize(*SIZES["laptop"])
            with self.subTest(screen=screen, check="access"):
                self.assertEqual(self.driver.execute_script(ACCESS_PROBLEMS), [])
                self.assertEqual(self.keyboard_problems(), [])

    def test_captions_keys_and_names_as_the_platform_gives_them(self):
        self.open_kiosk("Dock")
        self.type("9001" + Keys.ENTER + "2468" + Keys.ENTER + "1002" + Keys.ENTER)
        self.wait_for('!!document.querySelector(\'[data-path="cmdMorePunches"]\')')
        more = self.driver.find_element(By.CSS_SELECTOR, '[data-path="cmdMorePunches"]')
        self.assertEqual(more.find_element(By.TAG_NAME, "u").text, "P")
        self.assertEqual(more.get_attribute("aria-label"), "More Punches, +")
        self.assertEqual(self.driver.find_element(By.CSS_SELECTOR, '[data-path="cmdStampkind(0)"]')
                         .get_attribute("aria-label"), "In, 1")
        # Alt with the underlined letter presses the button, as the terminal kiosk's keys do.
        self.press("p", "KeyP", modifiers=1)
        self.wait_for('!!document.querySelector(\'[data-path="cmdStampkind(8)"]\')')
        cases = (("More &Punches\r+", "More Punches\n+", "p"), ("AM&/PM", "AM/PM", "/"),
                 ("Salt && &Pepper", "Salt & Pepper", "p"), ("&&Co", "&Co", ""))
        for given, shown, key in cases:
            with self.subTest(caption=given):
                self.assertEqual(self.driver.execute_script(
                    "const c = kioskPage.caption(arguments[0]); return [c.plain, c.key];", given),
                    [shown, key])
        self.type(Keys.ESCAPE)

    def test_keypad_by_keyboard_alone(self):
        self.open_kiosk()
        ActionChains(self.driver).send_keys(Keys.TAB).perform()
        focused = self.driver.switch_to.active_element
        self.assertEqual(focused.get_attribute("data-path"), "cmdKey(0)")
        self.assertEqual(self.driver.execute_script(
            "return getComputedStyle(document.activeElement).outlineStyle"), "solid")
        ActionChains(self.driver).send_keys(Keys.ENTER).perform()  # presses the focused key
        self.wait_for_text("entry", "1")
        ActionChains(self.driver).send_keys(Keys.ESCAPE).perform()
        self.driver.execute_script("document.activeElement.blur()")
        self.wait_for('document.getElementById("entry").textContent.trim() == ""')

    def test_settings_reach_an_open_kiosk_before_its_next_card(self):
        clock = self.own_clock(duplicate_seconds=0)
        self.open_kiosk("Dock", clock)
        self.type("1001" + Keys.ENTER)
        self.wait_for_state("punch")
        self.type("1" + Keys.ENTER)
        self.wait_for_state("confirm")
        self.wait_for_state("card")  # the kiosk stands at its card prompt
        # The sounds and a 24-hour clock in the file, the automatic punch on the administrator's
        # page.
        with open(clock.config) as f:
            config = json.load(f)
        with open(clock.config, "w") as f:
            json.dump(dict(config, kiosk_sounds=False, regional="en-GB"), f)
        admin = admin_session(clock)
        form = admin.open(clock.url + "/admin/settings", timeout=WAIT).read().decode()
        fields = dict(re.findall(r'<input type="hidden" name="([^"]+)" value="([^"]*)"', form))
        fields.update((name, "on") for name in re.findall(
            r'<input type="checkbox" name="([^"]+)" value="on" checked', form))
        fields["chkUseGlidepass"] = "on"
        fields.update(re.findall(r'<p><input name="([^"]+)" value="([^"]*)"', form))
        answer = admin.open(clock.url + "/admin/settings",
                            data=urllib.parse.urlencode(fields).encode(), timeout=WAIT)
        self.assertIn("settings are applied", answer.read().decode())
        self.driver.execute_script("delete document.body.dataset.sound")
        self.type("1001" + Keys.ENTER)  # no punch keypad: the automatic punch decides
        self.wait_for_state("confirm")
        self.assertRegex(self.driver.find_element(By.ID, "confirmation").text,
                         r"OUT \d\d/\d\d/\d{4} \d\d:\d\d\n")
        self.assertEqual(clock.rows('SELECT "Punch Type" FROM "Clock Data Table"'), [("O",)])
        self.assertIsNone(self.body("data-sound"))
        self.wait_for_state("card")
        self.assertRegex(self.driver.find_element(By.ID, "idle-time").text, r"^\d\d:\d\d$")

    def test_busy_server_is_waited_for_and_asked_again(self):
        # The server's limits refuse the card's first inputs, as "too many requests" or as
        # "busy" with a time to wait; the page waits, says so, and loses and repeats nothing.
        for status in (429, 503):
            with self.subTest(status=status):
                clock = self.own_clock()
                self.open_kiosk("Dock", clock)
                self.driver.execute_script("""
                    const [status, refusals] = arguments, fetched = window.fetch;
                    window.refused = 0;
                    window.fetch = (url, options) => {
                        if (url === "/api/kiosk/input" && window.refused < refusals) {
                            ++window.refused;
                            return Promise.resolve(new Response('{"refused": "Too many requests"}',
                                {status, headers: {"Retry-After": "1"}}));
                        }
                        return fetched(url, options);
                    };""", status, 2)
                self.type("1001" + Keys.ENTER)
                self.wait_for_text("information", "Busy, one moment")
                self.wait_for_state("punch")
                self.wait_for_text("employee", "Avery Stone")
                self.assertNotIn("Busy", self.driver.find_element(By.ID, "information").text)
                self.assertEqual(self.driver.execute_script("return window.refused"), 2)
                self.type("1" + Keys.ENTER)
                self.wait_for_state("confirm")
                self.assertEqual(clock.rows('SELECT "Punch Type" FROM "Clock Data Table"'),
                                 [("I",)])

    def test_kiosks_behind_one_address_open_after_a_refusal(self):
        # Kiosks opened at once from one address meet the bound of checks an address may have
        # under way (429): the page asks again by itself and opens.
        clock = self.own_clock()
        script = self.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": """
            const fetched = window.fetch;
            window.refused = 0;
            window.fetch = (url, options) => {
                if (url === "/api/kiosk/open" && window.refused < 2) {
                    ++window.refused;
                    return Promise.resolve(new Response('{"refused": "Checks under way"}',
                        {status: 429, headers: {"Retry-After": "1"}}));
                }
                return fetched(url, options);
            };"""})
        self.addCleanup(self.driver.execute_cdp_cmd, "Page.removeScriptToEvaluateOnNewDocument",
                        {"identifier": script["identifier"]})
        self.open_kiosk("Dock", clock)
        self.assertEqual(self.driver.execute_script("return window.refused"), 2)

    def test_refusals_look_like_refusals(self):
        # Punches are kept to the minute: a duplicate time far longer than the test keeps the
        # second IN a repeat even when the two fall on both sides of a minute's turn.
        clock = self.own_clock(duplicate_seconds=600)
        clock.run("employee", "add", "--db", clock.db, "--card", "1006", "--name", "Pat Quinn")
        self.open_kiosk(clock=clock)
        confirmation_border = ('getComputedStyle(document.getElementById("confirmation"))'
                               '.borderTopColor')
        # Each result: what is typed, its kind (colour, sign and sound), and what it says.
        results = (("5555" + Keys.ENTER, "card", "error", "Unknown card 5555"),
                   (Keys.ESCAPE + "9001" + Keys.ENTER + "1111" + Keys.ENTER, "pin", "error", "Wrong PIN"),
                   (Keys.ESCAPE + "1006" + Keys.ENTER + "2" + Keys.ENTER, "question", "question",
                    "not clocked in"),
                   (Keys.ESCAPE + "1006" + Keys.ENTER + "1" + Keys.ENTER, "done", "confirmation",
                    "IN "),
                   ("1006" + Keys.ENTER + "1" + Keys.ENTER, "again", "confirmation",
                    "Already recorded at "))
        borders = {}
        for keys, kind, element, text in results:
            with self.subTest(kind=kind):
                self.type(keys)
                self.wait_for('document.body.dataset.outcome == "%s"' % kind)
                shown = self.driver.find_element(By.ID, element)
                self.assertIn(text, shown.text)
                self.assertTrue(shown.find_elements(By.TAG_NAME, "svg"), "no sign")
                self.assertEqual(self.body("data-sound"), kind)
                self.assertEqual(self.driver.execute_script(ACCESS_PROBLEMS), [])
                if element == "confirmation":
                    borders[kind] = self.driver.execute_script("return " + confirmation_border)
                    # Times read on a 12-hour clock under en-US.
                    self.assertRegex(shown.text, r"\d{1,2}:\d\d [AP]M")
        self.assertNotEqual(borders["again"], borders["done"])

    def test_offline_clock_says_so_and_comes_back(self):
        clock = self.own_clock()
        self.open_kiosk("Dock", clock)
        port = clock.url.rsplit(":", 1)[1]
        clock.stop_server()
        # Within 2 seconds the whole screen says the clock is offline.
        WebDriverWait(self.driver, 2, poll_frequency=0.1).until(
            lambda d: "offline" in self.body("class"))
        cover = self.driver.find_element(By.ID, "offline")
        self.assertIn("This clock is offline — punches are not being taken", cover.text)
        self.assertRegex(self.driver.find_element(By.ID, "offline-time").text, r"\d:\d\d")
        self.assertEqual(self.driver.execute_script(ACCESS_PROBLEMS), [])
        self.type("1001" + Keys.ENTER)  # taken by nobody
        clock.start(port)
        self.wait_for('!document.body.classList.contains("offline")')
        self.wait_for_state("card")
        self.assertEqual(self.driver.find_element(By.ID, "entry").text.strip(), "")

    def test_second_window_takes_the_kiosk_over(self):
        self.open_kiosk()
        first = self.driver.current_window_handle
        self.type("1001" + Keys.ENTER)
        self.wait_for_state("punch")
        self.driver.switch_to.new_window("window")
        second = self.driver.current_window_handle
        self.open_kiosk()  # the punch begun in the first window is not this window's
        self.driver.switch_to.window(first)
        self.wait_for('document.body.classList.contains("elsewhere")')
        self.assertIn("This kiosk was opened in another window",
                      self.driver.find_element(By.ID, "elsewhere").text)
        self.assertEqual(self.driver.execute_script(ACCESS_PROBLEMS), [])
        self.type("1002" + Keys.ENTER)  # goes nowhere
        self.driver.find_element(By.ID, "take-back").click()
        self.wait_for('!document.body.classList.contains("elsewhere")')
        self.wait_for_state("card")
        self.driver.switch_to.window(second)
        self.wait_for('document.body.classList.contains("elsewhere")')
        self.driver.switch_to.window(first)
        self.assertEqual(self.driver.find_element(By.ID, "entry").text.strip(), "")

    def test_card_reader_on_any_keyboard_layout(self):
        # Card 1003 as a reader types it: a French layout's digit row, unshifted, ended by Tab;
        # a numeric pad with Num Lock off, ended by its Enter.
        readers = {"French": (("&", "Digit1"), ("à", "Digit0"), ("à", "Digit0"), ('"', "Digit3"),
                              ("Tab", "Tab")),
                   "NumLockOff": (("End", "Numpad1"), ("Insert", "Numpad0"), ("Insert", "Numpad0"),
                                  ("PageDown", "Numpad3"), ("Enter", "NumpadEnter"))}
        self.open_kiosk("Dock")
        for reader, keys in readers.items():
            with self.subTest(reader=reader):
                for key, code in keys:
                    self.press(key, code)
                self.wait_for_state("punch")
                self.wait_for_text("employee", "Sam Okafor")
                self.type(Keys.ESCAPE)
                self.wait_for_state("card")


if __name__ == "__main__":
    TIMECLOCK, OUTPUT = sys.argv[1], sys.argv[2]
    os.makedirs(OUTPUT, exist_ok=True)
    unittest.main(argv=sys.argv[:1], verbosity=2)
