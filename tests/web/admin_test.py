"""The administrator's pages in a real browser (headless Chromium), on the clock server that
kiosk_test.py starts.

Run by CTest: admin_test.py TIMECLOCK OUTPUT_FOLDER. Each page is drawn at a phone's, a tablet's
(upright and across) and a desktop's size into OUTPUT_FOLDER. The server is started on a free loopback port with a bounded
lifetime and stopped whatever happens.
"""

import os
import sys
import unittest

from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

import kiosk_test
from kiosk_test import WAIT, BrowserTest

SIZES = {"phone": (390, 844), "tablet-upright": (768, 1024), "tablet-across": (1024, 768),
         "desktop": (1280, 800)}
PAGES = ("timesheet", "employees", "settings", "clock", "kiosks", "punches", "exceptions",
         "whos-in", "approval", "audit")

# What does not fit the screen: a page wider than the window (a table may scroll in its own
# box), a control smaller than a fingertip.
LAYOUT_PROBLEMS = """
const problems = [];
if (document.documentElement.scrollWidth > innerWidth + 1)
    problems.push("the page is " + document.documentElement.scrollWidth + " px wide");
for (const e of document.querySelectorAll("button, select, input:not([type=hidden]):not([type=checkbox])")) {
    const r = e.getBoundingClientRect();
    if (r.width && (r.height < 43.5 || r.width < 43.5))
        problems.push((e.name || e.textContent) + " is " + r.width + "x" + r.height);
}
return problems;
"""


class AdminTest(BrowserTest):
    SHOT_PREFIX = "admin-"

    def tearDown(self):
        super().tearDown()
        self.driver.delete_all_cookies()

    def open(self, page):
        self.driver.get(self.clock.url + "/admin/" + page)

    def sign_in(self):
        self.open("login")
        self.driver.find_element(By.NAME, "password").send_keys("correct horse battery" + Keys.ENTER)
        WebDriverWait(self.driver, WAIT).until(lambda d: "/admin/timesheet" in d.current_url)

    def test_every_page_fits_a_phone_and_a_desktop(self):
        self.clock.run("punch", "--db", self.clock.db, "--config", self.clock.config, "--card",
                       "1002", "--now", "2026-12-01 08:00:00", "--keys", "CLICK:cmdStampkind(0) ENTER")
        self.clock.run("punch", "--db", self.clock.db, "--config", self.clock.config, "--card",
                       "1002", "--now", "2026-12-01 17:15:00", "--keys", "CLICK:cmdStampkind(1) ENTER")
        self.sign_in()
        for size, (width, height) in SIZES.items():
            self.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
                "width": width, "height": height, "deviceScaleFactor": 1, "mobile": width < 700})
            self.addCleanup(self.driver.execute_cdp_cmd, "Emulation.clearDeviceMetricsOverride", {})
            for page in PAGES:
                with self.subTest(size=size, page=page):
                    self.open(page + ("?period=2026-12-01" if page == "timesheet" else ""))
                    self.assertEqual(self.driver.execute_script(LAYOUT_PROBLEMS), [])
                    self.assertEqual(self.driver.execute_script(kiosk_test.ACCESS_PROBLEMS), [])
                    self.driver.save_screenshot(
                        os.path.join(kiosk_test.OUTPUT, "admin-" + page + "-" + size + ".png"))


if __name__ == "__main__":
    kiosk_test.TIMECLOCK, kiosk_test.OUTPUT = sys.argv[1], sys.argv[2]
    os.makedirs(kiosk_test.OUTPUT, exist_ok=True)
    unittest.main(argv=sys.argv[:1], verbosity=2)
