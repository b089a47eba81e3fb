"""The administrator's ledger pages in a real browser (headless Chromium), beside a kiosk.

Run by CTest: ledger_test.py TIMECLOCK OUTPUT_FOLDER. The clock server and the browser are
those of kiosk_test.py; each test leaves a screenshot of each of its windows in OUTPUT_FOLDER,
with the Exceptions and Who is in pages as docs/ shows them, and the server is stopped whatever
happens.
"""

import os
import sys
import unittest

from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

import kiosk_test
from kiosk_test import WAIT, BrowserTest


class LedgerTest(BrowserTest):
    def sign_in(self):
        self.driver.get(self.clock.url + "/admin/login")
        if "/admin/login" not in self.driver.current_url:
            return  # still signed in from an earlier test
        self.driver.find_element(By.NAME, "password").send_keys("correct horse battery" + Keys.ENTER)
        WebDriverWait(self.driver, WAIT).until(lambda d: "/admin/login" not in d.current_url)

    def page_text(self):
        """The page's text as shown; read in one step, as the page may be reloading."""
        return self.driver.execute_script(
            "const main = document.querySelector('main'); return main ? main.innerText : '';")

    def test_punch_at_a_kiosk_shows_on_whos_in_in_another_window(self):
        self.sign_in()
        self.driver.get(self.clock.url + "/admin/whos-in")
        self.assertIn("No one is in.", self.page_text())
        admin = self.driver.current_window_handle
        self.driver.switch_to.new_window("window")
        self.driver.get(self.clock.url + "/kiosk#" + self.clock.keys["Front Door"])
        self.driver.refresh()
        WebDriverWait(self.driver, WAIT).until(
            lambda d: d.find_element(By.TAG_NAME, "body").get_attribute("data-state") == "card")
        self.driver.find_element(By.TAG_NAME, "body").send_keys("1002" + Keys.ENTER)
        WebDriverWait(self.driver, WAIT).until(
            lambda d: d.find_element(By.TAG_NAME, "body").get_attribute("data-state") == "punch")
        self.driver.find_element(By.TAG_NAME, "body").send_keys("1" + Keys.ENTER)
        WebDriverWait(self.driver, WAIT).until(
            lambda d: "IN" in d.find_element(By.ID, "confirmation").text)
        # The page is not reloaded by the test: it reads the database again by itself.
        self.driver.switch_to.window(admin)
        WebDriverWait(self.driver, WAIT).until(lambda d: "Jordan Reyes" in self.page_text())
        row = [line for line in self.page_text().splitlines() if "Jordan Reyes" in line]
        self.assertEqual(len(row), 1)
        self.assertIn("Working", row[0])
        self.assertIn("Front Door", row[0])
        self.driver.save_screenshot(os.path.join(kiosk_test.OUTPUT, "admin-whos-in.png"))

    def test_fix_made_from_the_exceptions_page_clears_it(self):
        # Sam forgot his OUT on December 1st.
        self.clock.run("punch", "--db", self.clock.db, "--card", "1003", "--now",
                       "2026-12-01 08:00:00", "--no-pause", "--keys", "CLICK:cmdStampkind(0) ENTER")
        self.sign_in()
        self.driver.get(self.clock.url + "/admin/exceptions?from=2026-11-29&to=2026-12-05")
        row = self.driver.find_element(By.XPATH, '//tr[td[contains(., "Sam Okafor")]]')
        self.assertIn("missing out (in at 08:00)", row.text)
        self.assertIn("add the OUT at the end of this shift", row.text)
        form = row.find_element(By.XPATH, './/form[.//button[.="Add"]]')
        self.assertEqual(form.find_element(By.NAME, "at").get_attribute("value"),
                         "2026-12-01T16:00")
        self.driver.save_screenshot(os.path.join(kiosk_test.OUTPUT, "admin-exceptions.png"))
        form.find_element(By.NAME, "reason").send_keys("forgot to punch out")
        form.find_element(By.XPATH, './/button[.="Add"]').click()
        WebDriverWait(self.driver, WAIT).until(lambda d: "is completed" in self.page_text())
        self.assertIn("No exceptions in these days.", self.page_text())
        self.assertEqual(self.clock.rows('SELECT COUNT(*) FROM "Punch Corrections"'), [(1,)])


if __name__ == "__main__":
    kiosk_test.TIMECLOCK, kiosk_test.OUTPUT = sys.argv[1], sys.argv[2]
    os.makedirs(kiosk_test.OUTPUT, exist_ok=True)
    unittest.main(argv=sys.argv[:1], verbosity=2)
