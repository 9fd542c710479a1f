#!/usr/bin/python3
"""The settings page of sensorctl in a real browser (Debian's chromium, headless, through
chromedriver): for a box camera, a dome and the thermal channel, the page loads without a
console error, shows every control of the dynamic style with its value and bounds, switches
tabs, turns a slider move and a combo choice into the pending parameter text, and marks the
controls an enable list names. Writes a screenshot of each page beside the pages.

usage: page_test.py SENSORCTL OUTDIR
"""
import os
import re
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ET

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select

CASES = [
    # name, sensorctl options, a combo with an enable list to change
    ("box", ["--device-type", "1", "--code", "IPC-01"], 16),
    ("dome", ["--device-type", "20", "--code", "DOME-03"], 16),
    ("thermal", ["--device-type", "14", "--channel", "2", "--model", "Hi3516AV200Thermal",
                 "--code", "TH-01"], 8202),
]


class Failure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)


def run_tool(tool, root, options, script):
    result = subprocess.run([tool, "--root", root] + options + ["-"], input=script, text=True,
                            capture_output=True, timeout=60)
    check(result.returncode == 0, "sensorctl failed: " + result.stderr)
    return result.stdout


def expected_style(output):
    """The dynamic style and the current values that the tool printed."""
    match = re.search(r"<\?xml[^>]*\?>.*?\n</(\w+)>", output, re.S)
    check(match, "no style document in the output")
    style = ET.fromstring(match.group(0).split("?>", 1)[1])
    values = {}
    for line in output.splitlines():
        if line.startswith("("):
            values = {int(k): int(v) for k, v in re.findall(r"\((-?\d+),(-?\d+)\)", line)}
    return style, values


def start_browser():
    options = webdriver.ChromeOptions()
    options.binary_location = shutil.which("chromium") or "/usr/bin/chromium"
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                 "--window-size=1280,1000"):
        options.add_argument(flag)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    service = Service(shutil.which("chromedriver") or "/usr/bin/chromedriver")
    return webdriver.Chrome(service=service, options=options)


def control(driver, key):
    found = driver.find_elements(By.CSS_SELECTOR, '.control[data-id="%d"]' % key)
    check(len(found) == 1, "control %d appears %d times" % (key, len(found)))
    return found[0]


PAGE_CONTROLS = """
return Array.from(document.querySelectorAll('.control')).map(n => ({
  id: n.dataset.id, value: n.dataset.value, min: n.dataset.min, max: n.dataset.max,
  options: Array.from(n.querySelectorAll('select option')).map(o => o.value)}));
"""

SHOWN_PANELS = """
return Array.from(document.querySelectorAll('.tab-panel'))
  .filter(p => p.offsetParent !== null).map(p => p.dataset.tab);
"""


def check_controls(driver, style, values):
    """Every parameter element is on the page once, with its current value and bounds."""
    shown = {}
    for c in driver.execute_script(PAGE_CONTROLS):
        check(c["id"] not in shown, "control %s appears twice" % c["id"])
        shown[c["id"]] = c
    count = 0
    for element in style.iter():
        if "id" not in element.attrib or "value" not in element.attrib:
            continue
        key = element.get("id")
        check(key in shown, "control %s is missing" % key)
        c = shown[key]
        want = values.get(int(key), int(element.get("value")))
        check(c["value"] == str(want), "control %s shows %s, not %d" % (key, c["value"], want))
        if "min" in element.attrib:
            check((c["min"], c["max"]) == (element.get("min"), element.get("max")),
                  "control %s bounds %s..%s" % (key, c["min"], c["max"]))
        items = [item.get("index") for item in element if "index" in item.attrib]
        check(c["options"][:len(items)] == items, "control %s items %s" % (key, c["options"]))
        count += 1
    check(count == len(shown), "the page has %d controls, the style %d" % (len(shown), count))
    return count


def check_tabs(driver, style):
    for tab in style:
        key = tab.get("key")
        driver.find_element(By.CSS_SELECTOR, '#tabs button[data-tab="%s"]' % key).click()
        panels = driver.execute_script(SHOWN_PANELS)
        check(panels == [key], "tab %s shows the panels %s" % (key, panels))
        first = next((e for e in tab.iter() if "id" in e.attrib and "value" in e.attrib), None)
        if first is not None:
            check(control(driver, int(first.get("id"))).is_displayed(),
                  "tab %s does not show its controls" % key)


def check_pending(driver, style, values):
    """Moves the first slider of the image tab and picks another item of its first combo."""
    image = next(t for t in style if t.get("key") == "image")
    driver.find_element(By.CSS_SELECTOR, '#tabs button[data-tab="image"]').click()
    slider = next(e for e in image.iter() if e.tag == "slider")
    combo = next(e for e in image.iter() if len([i for i in e if "index" in i.attrib]) > 1)
    key, ckey = int(slider.get("id")), int(combo.get("id"))
    before = values.get(key, int(slider.get("value")))
    control(driver, key).find_element(By.CSS_SELECTOR, "input").send_keys(Keys.ARROW_RIGHT)
    choice = next(i.get("index") for i in combo
                  if int(i.get("index")) != values.get(ckey, int(combo.get("value"))))
    Select(control(driver, ckey).find_element(By.TAG_NAME, "select")).select_by_value(choice)
    pending = driver.find_element(By.ID, "pending").get_attribute("value")
    want = "(%d,%d)(%d,%s)" % (key, before + 1, ckey, choice)
    check(pending == want, "pending text %r, expected %r" % (pending, want))
    check(control(driver, key).get_attribute("data-value") == str(before + 1), "slider value")
    driver.find_element(By.ID, "revert").click()
    check(driver.find_element(By.ID, "pending").get_attribute("value") == "", "revert")


def check_dependencies(driver, style, key):
    element = next(e for e in style.iter() if e.get("id") == str(key))
    targets = [int(t) for t in element.get("enable_list").split(",") if t]
    check(targets, "control %d has no enable list" % key)
    for target in targets:
        node = control(driver, target)
        check("dependent" in node.get_attribute("class").split(), "%d not marked" % target)
        check(str(key) in node.get_attribute("data-depends-on").split(),
              "%d does not name %d" % (target, key))
    tab = next(t for t in style if element in list(t.iter()))
    driver.find_element(By.CSS_SELECTOR, '#tabs button[data-tab="%s"]' % tab.get("key")).click()
    select = Select(control(driver, key).find_element(By.TAG_NAME, "select"))
    select.select_by_index(1 if select.first_selected_option.get_attribute("value") !=
                           select.options[1].get_attribute("value") else 0)
    for target in targets:
        check("highlight" in control(driver, target).get_attribute("class").split(),
              "%d not highlighted after %d changed" % (target, key))


def console_errors(driver):
    return [e for e in driver.get_log("browser") if e.get("level") == "SEVERE"]


def main():
    tool, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    driver = start_browser()
    failures = 0
    try:
        for name, options, enabler in CASES:
            root = os.path.join(out, name + "-root")
            shutil.rmtree(root, ignore_errors=True)
            page = os.path.abspath(os.path.join(out, "page-%s.html" % name))
            output = run_tool(tool, root, options,
                              "set (34,70)\nflush\npage --out %s\nstyle\nall\n" % page)
            style, values = expected_style(output)
            try:
                check(values.get(34) == 70, "the set value is not current")
                driver.get("file://" + page)
                errors = console_errors(driver)
                check(not errors, "console errors: %s" % errors)
                count = check_controls(driver, style, values)
                check_tabs(driver, style)
                check_pending(driver, style, values)
                check_dependencies(driver, style, enabler)
                check(not console_errors(driver), "console errors after use")
                driver.find_element(By.CSS_SELECTOR, '#tabs button[data-tab="exposure"]'
                                    if name != "thermal" else
                                    '#tabs button[data-tab="enhance"]').click()
                driver.save_screenshot(os.path.join(out, "page-%s.png" % name))
                print("page %s: %d controls, tabs, pending text, dependencies: ok" % (name, count))
            except Failure as failure:
                failures += 1
                print("page %s: FAILED: %s" % (name, failure))
    finally:
        driver.quit()
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
