"""The bench panel's page in a real browser: Debian's chromium, headless, through selenium. Ends
with a screenshot of the page in the build directory (panel-screenshot.png)."""

import os
import re
import shutil

import pytest

import photarc
from conftest import BUILD_DIR

try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError:
    webdriver = None

CHROMEDRIVER = shutil.which("chromedriver") or "/usr/bin/chromedriver"
SCREENSHOT = BUILD_DIR / "panel-screenshot.png"
OVERLOAD = "Command is ignored because it would overload the power supply"


@pytest.fixture
def browser(tmp_path):
    missing = "python3-selenium" if webdriver is None else "" if os.path.exists(CHROMEDRIVER) else "chromium-driver"
    if missing:
        if os.environ.get("CI"):
            pytest.fail(f"{missing} is not installed (ci/install-deps installs it)")
        pytest.skip(f"{missing} is not installed")
    options = webdriver.ChromeOptions()
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync", "--window-size=1280,1300",
                 f"--user-data-dir={tmp_path / 'profile'}"):
        options.add_argument(flag)
    # A sanitizer runtime preloaded for our library must stay out of the browser.
    environment = {k: v for k, v in os.environ.items() if k not in ("LD_PRELOAD", "ASAN_OPTIONS")}
    driver = webdriver.Chrome(service=Service(CHROMEDRIVER, env=environment), options=options)
    yield driver
    driver.quit()


def test_the_page_drives_the_engine_and_keeps_tabs_in_step(simulator, start_panel, browser):
    client, _ = start_panel(simulator, interval=0.3)
    wait = WebDriverWait(browser, 30)
    find = browser.find_element

    def control(channel, kind):
        return find(By.CSS_SELECTOR, f'tr[data-channel="{channel}"] input[type="{kind}"]')

    def open_page():
        browser.get(client.url)
        wait.until(lambda _: find(By.ID, "link-badge").text == "connected")

    open_page()
    first = browser.current_window_handle
    with photarc.connect("127.0.0.1", simulator.port) as engine:  # what reached the device
        red, green = engine.channel("RED"), engine.channel("GREEN")
        control("RED", "checkbox").click()
        wait.until(lambda _: red.on)
        slider = control("RED", "range")
        ActionChains(browser).click_and_hold(slider).move_by_offset(slider.size["width"] // 4, 0).release().perform()
        wait.until(lambda _: red.intensity > 600 and red.intensity == int(control("RED", "number").get_property("value")))
        control("GREEN", "range").send_keys(Keys.END)  # keyboard only
        control("GREEN", "checkbox").send_keys(Keys.SPACE)
        wait.until(lambda _: green.intensity == 1000 and green.on)

        browser.switch_to.new_window("tab")
        open_page()
        second = browser.current_window_handle
        browser.switch_to.window(first)
        control("BLUE", "checkbox").click()
        browser.switch_to.window(second)
        wait.until(lambda _: control("BLUE", "checkbox").is_selected())

        browser.switch_to.window(first)
        client.ok("PUT", "/api/channels", {"intensity": 1000})
        find(By.ID, "all-on").click()
        wait.until(lambda _: OVERLOAD in find(By.ID, "notice").text)
        assert "63" in find(By.ID, "notice").text
        names = [row.get_attribute("data-channel") for row in browser.find_elements(By.CSS_SELECTOR, "tbody tr")]
        wait.until(lambda _: [control(name, "checkbox").is_selected() for name in names] == engine.states)
        assert engine.states == [False, True, False, True, True]  # refused as a whole

    def readings():
        shown = re.match(r"(\d+) readings", find(By.ID, "chart-caption").text)
        return int(shown.group(1)) if shown else 0

    before = readings()
    wait.until(lambda _: readings() >= before + 3)
    assert browser.find_elements(By.CSS_SELECTOR, "#chart canvas")
    scripts = [entry for entry in browser.get_log("browser") if entry["source"] == "javascript"]
    assert not scripts, scripts
    browser.save_screenshot(str(SCREENSHOT))
    assert SCREENSHOT.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
