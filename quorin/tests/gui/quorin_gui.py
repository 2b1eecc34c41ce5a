"""The game host as a process on an X display, with the lobby stand-in recording what it gets.

Usage: quorin_gui.py BUILD_DIR SOURCE_DIR [--wine] [TEST...]
"""

import glob
import os
import shutil
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "..", "testing", "gui"))
import lobbygui  # noqa: E402

if not os.environ.get("DISPLAY"):
    sys.exit("no display: the GUI tests need one (tools/test.sh starts Xvfb)")

BUILD_DIR, SOURCE_DIR = sys.argv[1], sys.argv[2]
WINE = "--wine" in sys.argv
TESTS = [a for a in sys.argv[3:] if not a.startswith("--")]

TITLE = "QuorinGuiTest"
WIDTH, HEIGHT = 1024, 768


def lobby_arguments(title=TITLE, kind="12"):
    # UserID, Password, KindID, ServerID, IP, Port, SystemVer, ComputerID x3, Title
    return ["1001", "secret", kind, "3", "127.0.0.1", "8000", "7", "1", "2", "3", title]


class LobbySession(unittest.TestCase):
    """A program folder of the test's own with the lobby stand-in running and recording."""

    def prepare(self):
        """What a test case lays into the folder before the lobby starts."""

    def setUp(self):
        self.session = lobbygui.Session(BUILD_DIR, SOURCE_DIR, WINE)
        self.prepare()
        self.record = self.session.path("lobby-record.txt")
        self.session.start("Kestrune", "--record", self.record)
        self.assertTrue(lobbygui.wait_for(lambda: lobbygui.read_record(self.record)),
                        "the lobby stand-in did not start")

    def tearDown(self):
        # A program that crashed or failed shows what it said and how it ended.
        if any(p.poll() not in (None, 0) for p in self.session.processes):
            print("\n" + self.session.report(), file=sys.stderr)
        self.session.close()


class QuorinWindow(LobbySession):
    def skin(self, *parts):
        return lobbygui.Picture.load(os.path.join(self.session.folder, "Res", *parts))

    def start_lobby_game(self):
        process = self.session.start("Quorin", *lobby_arguments())
        window = lobbygui.wait_for_window(TITLE)[0]
        return process, window

    def lobby_messages(self):
        return [line for line in lobbygui.read_record(self.record) if not line.startswith("start")]

    def test_lobby_form_layout_and_hand_back(self):
        process, window = self.start_lobby_game()
        x, y, w, h = window.geometry()
        self.assertEqual((w, h), (WIDTH, HEIGHT))
        shot = lobbygui.screenshot()
        # The frame buttons at W-81, W-54 and W-27; the game buttons from W/2-132 on.
        for name, left in (("Setting.png", WIDTH - 81), ("Min.png", WIDTH - 54),
                           ("Close.png", WIDTH - 27)):
            strip = self.skin("lobby", "PngBtn", name)
            share = lobbygui.region_matches(shot, x + left, y, strip, 0, strip.width // 4)
            self.assertGreater(share, 0.9, "%s not at x %d" % (name, left))
        for name, left in (("Main.bmp", WIDTH // 2 - 132), ("Help.bmp", WIDTH // 2 - 66),
                           ("PrintScreen.bmp", WIDTH // 2), ("Sound_T.bmp", WIDTH // 2 + 66)):
            strip = self.skin("lobby", "Quorin", name)
            share = lobbygui.region_matches(shot, x + left, y + 6, strip, 0, strip.width // 4,
                                            magenta=True)
            self.assertGreater(share, 0.9, "%s not at x %d" % (name, left))

        # Escape and Enter reach the page; neither closes the window.
        window.key("Escape")
        window.key("Return")
        time.sleep(1.0)
        self.assertIsNone(process.poll())
        self.assertEqual(self.lobby_messages(), [])

        window.click(WIDTH - 14, 12)
        if not WINE:
            # The demo game asked to confirm closing: the close button asks the page, which
            # shows its own prompt; its "leave" button closes the window.
            time.sleep(1.5)
            self.assertIsNone(process.poll(), "closed without asking the page")
            self.assertEqual(self.lobby_messages(), [])
            window.click(447, 416)
        self.assertTrue(lobbygui.wait_for(lambda: len(self.lobby_messages()) >= 3, 30))
        self.assertEqual(self.lobby_messages(), ["send 1424 0 0", "show 5", "post 1324 0 0"])
        self.assertTrue(lobbygui.wait_for(lambda: not lobbygui.find_windows(TITLE), 30))

    def test_dragging_by_the_title_strip_only(self):
        _, window = self.start_lobby_game()
        x0, y0, _, _ = window.geometry()
        window.drag(200, 10, 60, 40)
        x1, y1, _, _ = window.geometry()
        self.assertEqual((x1 - x0, y1 - y0), (60, 40))
        # The frame's left edge at y 27 is still the strip.
        window.drag(2, 27, -30, -20)
        x1, y1, _, _ = window.geometry()
        self.assertEqual((x1 - x0, y1 - y0), (30, 20))
        # A press on the frame's left edge below the strip moves nothing.
        window.drag(2, 28, 60, 40)
        self.assertEqual(window.geometry()[:2], (x1, y1))

    def test_chat_opens_by_itself_and_stays_docked(self):
        # 14 arguments: ChatId, ChatName and ChatAutoOpen 1 after the title.
        self.session.start("Quorin", *(lobby_arguments() + ["77", "Player", "1"]))
        window = lobbygui.wait_for_window(TITLE)[0]
        chat = lobbygui.wait_for_window("\u804a\u5929")[0]  # the chat's title
        x, y, w, h = window.geometry()
        self.assertEqual(chat.geometry(), (x + w, y, 236, h))
        window.drag(200, 10, 40, 30)
        self.assertTrue(lobbygui.wait_for(lambda: chat.geometry() == (x + w + 40, y + 30, 236, h),
                                          5), "the chat stayed behind: %r" % (chat.geometry(),))

    def test_settings_window_bars_follow_its_buttons(self):
        _, window = self.start_lobby_game()
        window.click(WIDTH - 81 + 13, 12)
        settings = lobbygui.wait_for_window("QuorinSettings")[0]
        sx, sy, _, _ = settings.geometry()
        bar = self.skin("Frame", "Setting", "Bar.png")
        shot = lobbygui.screenshot()
        # Volume 500: the music bar is drawn up to half its picture, not beyond.
        inside = bar.width // 2 - 3
        beyond = bar.width // 2 + 8
        row = bar.height // 2
        self.assertTrue(lobbygui.close_to(shot.pixel(sx + 166 + inside, sy + 100 + row),
                                          bar.pixel(inside, row)))
        self.assertFalse(lobbygui.close_to(shot.pixel(sx + 166 + beyond, sy + 100 + row),
                                           bar.pixel(beyond, row), 8))
        settings.click(301 + 17, 90 + 17)  # music volume up: 600
        time.sleep(1.0)
        shot = lobbygui.screenshot()
        self.assertTrue(lobbygui.close_to(shot.pixel(sx + 166 + beyond, sy + 100 + row),
                                          bar.pixel(beyond, row)))
        with open(self.session.path("SystemOption.ini"), encoding="latin-1") as f:
            self.assertIn("Pos=600", f.read())


class QuorinHelp(LobbySession):
    def test_help_command_starts_the_help_form(self):
        self.session.start("Quorin", *lobby_arguments())
        window = lobbygui.wait_for_window(TITLE)[0]
        window.click(WIDTH // 2 - 66 + 28, 14)
        windows = lobbygui.wait_for_window(TITLE, count=2)
        help_window = [w for w in windows if w.geometry()[2:] == (778, 465)]
        self.assertEqual(len(help_window), 1, "no help window of 778 by 465")
        x, y, _, _ = help_window[0].geometry()
        shot = lobbygui.screenshot()
        close = lobbygui.Picture.load(self.session.path(os.path.join("Res", "lobby", "PngBtn",
                                                                     "Close.png")))
        self.assertGreater(lobbygui.region_matches(shot, x + 778 - 27, y, close, 0,
                                                   close.width // 4), 0.9)
        setting = lobbygui.Picture.load(self.session.path(os.path.join("Res", "lobby", "PngBtn",
                                                                       "Setting.png")))
        self.assertLess(lobbygui.region_matches(shot, x + 778 - 81, y, setting, 0,
                                                setting.width // 4), 0.5,
                        "the help form has no settings button")
        # Closing the help window tells the lobby nothing.
        help_window[0].click(778 - 14, 12)
        self.assertTrue(lobbygui.wait_for(lambda: len(lobbygui.find_windows(TITLE)) == 1, 30))
        time.sleep(1.0)
        self.assertEqual([l for l in lobbygui.read_record(self.record)
                          if not l.startswith("start")], [])


class QuorinPageBridge(LobbySession):
    """A test page that echoes every notice through the log command (needs an HTML engine)."""

    def prepare(self):
        shutil.copytree(os.path.join(os.path.dirname(__file__), "bridge"),
                        self.session.path("bridge"))
        with open(self.session.path("FlashGame.ini"), "w", encoding="latin-1") as f:
            f.write("[12]\r\nURL=\\bridge\\index.html\r\nWidth=800\r\nHeight=600\r\n")

    def log(self, name):
        path = glob.glob(os.path.join(self.session.folder, "log", name + "*"))
        if not path:
            return ""
        with open(path[0], encoding="latin-1") as f:
            return f.read()

    def seen(self, text, timeout=20):
        return lobbygui.wait_for(lambda: text in self.log("bridge"), timeout)

    def test_commands_and_notices_travel_both_ways(self):
        # 15 arguments: the launch value (GameParam) 9, then the chat fields.
        arguments = lobby_arguments() + ["9", "0", "chat", "0"]
        process = self.session.start("Quorin", *arguments)
        window = lobbygui.wait_for_window(TITLE)[0]
        self.assertTrue(self.seen("ready"), "the page did not load: " + self.log("bridge"))
        self.assertIn("hello", self.log("game"))
        self.assertTrue(self.seen("got 7,9"), "no launch value: " + self.log("bridge"))

        # Each settings change sends both volumes.
        window.click(800 - 81 + 13, 12)
        settings = lobbygui.wait_for_window("QuorinSettings")[0]
        settings.click(301 + 17, 90 + 17)
        self.assertTrue(self.seen("got 4,600") and self.seen("got 5,500"), self.log("bridge"))
        settings.click(121 + 17, 145 + 17)
        self.assertTrue(self.seen("got 5,400"), self.log("bridge"))
        settings.click(226 + 48, 208 + 16)  # Cancel: back to the values of the start
        self.assertTrue(self.seen("got 4,500"), self.log("bridge"))

        # The sound button: sound was on, so it goes off.
        window.click(800 // 2 + 66 + 28, 14)
        self.assertTrue(self.seen("got 1,0"), self.log("bridge"))

        # Close: the page confirmed closing (6), so it is asked (3,0) and answers with 2.
        window.click(800 - 14, 12)
        self.assertTrue(self.seen("got 3,0"), self.log("bridge"))
        self.assertEqual(lobbygui.wait_for(lambda: process.poll() is not None and
                                           lobbygui.read_record(self.record)[1:], 30),
                         ["send 1424 0 0", "show 5", "post 1324 0 0"])


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"] + TESTS)
