#include <gtest/gtest.h>

#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/headless.h"
#include "platform/input.h"

namespace {

using headless::Event;

headless::Script parse(const std::string& text) {
    std::string error;
    auto s = headless::parseScript(text, error);
    EXPECT_TRUE(s) << error;
    return s ? *s : headless::Script{};
}

std::string keyOf(const std::string& line) {
    for (const auto& e : parse(line).events)
        if (e.kind == Event::Kind::Key) return e.text;
    return "none";
}

TEST(HeadlessScript, KeyNamesGiveTheCodesOfTheKeyBuffer) {
    EXPECT_EQ(keyOf("key p ctrl"), "\x10");
    EXPECT_EQ(keyOf("key ctrl+p"), "\x10");
    EXPECT_EQ(keyOf("key ctrl+S shift"), "\x13");
    EXPECT_EQ(keyOf("key x ctrl"), "\x18");
    EXPECT_EQ(keyOf("key a"), "a");
    EXPECT_EQ(keyOf("key a shift"), "A");
    EXPECT_EQ(keyOf("key esc"), "\x1b");
    EXPECT_EQ(keyOf("key del"), "\xff"
                                "S");
    EXPECT_EQ(keyOf("key up"), "\xff"
                               "H");
    EXPECT_EQ(keyOf("key down"), "\xff"
                                 "P");
    EXPECT_EQ(keyOf("key left"), "\xff"
                                 "K");
    EXPECT_EQ(keyOf("key right"), "\xff"
                                  "M");
    EXPECT_EQ(keyOf("key right ctrl shift"), "\xff"
                                             "t");
    EXPECT_EQ(keyOf("key left ctrl"), "\xff"
                                      "s");
    EXPECT_EQ(keyOf("key close"), "\xff"
                                  "k");
}

TEST(HeadlessScript, ModifiersAreHeldAroundTheKeyAndTheClick) {
    auto s = parse("key n ctrl shift\n");
    ASSERT_EQ(s.events.size(), 3u);
    EXPECT_EQ(s.events[0].kind, Event::Kind::Modifiers);
    EXPECT_EQ(s.events[0].modifiers, 3);
    EXPECT_EQ(s.events[1].kind, Event::Kind::Key);
    EXPECT_EQ(s.events[2].kind, Event::Kind::Modifiers);
    EXPECT_EQ(s.events[2].modifiers, 0);
    EXPECT_GT(s.events[2].atSeconds, s.events[1].atSeconds);

    auto c = parse("wait 2\nclick 10 20 right alt\nclick 30 40\n");
    std::vector<Event> presses, releases;
    for (const auto& e : c.events) {
        if (e.kind == Event::Kind::Press) presses.push_back(e);
        if (e.kind == Event::Kind::Release) releases.push_back(e);
    }
    ASSERT_EQ(presses.size(), 2u);
    ASSERT_EQ(releases.size(), 2u);
    EXPECT_EQ(presses[0].atSeconds, 2.0);
    EXPECT_EQ(presses[0].buttons, 2);
    EXPECT_EQ(presses[1].buttons, 1);
    // A click is short: released well before a long click (0.3 s) would count.
    EXPECT_GT(releases[0].atSeconds, presses[0].atSeconds);
    EXPECT_LT(releases[0].atSeconds - presses[0].atSeconds, 0.1);
    EXPECT_GT(presses[1].atSeconds, releases[0].atSeconds);
}

TEST(HeadlessScript, MalformedLinesAreNamed) {
    const char* bad[] = {"wait",        "wait x",         "wait -1",   "move 1",
                         "click a b",   "click 1 2 left", "key",       "key f12",
                         "key p hyper", "wheel",          "wheel 1.5", "dialog",
                         "screenshot",  "raise",          "jump 3",    "release now"};
    for (const char* line : bad) {
        std::string error;
        auto s = headless::parseScript(std::string("wait 1\n") + line + "\n", error);
        EXPECT_FALSE(s) << line;
        EXPECT_NE(error.find("line 2"), std::string::npos) << error;
    }
}

TEST(HeadlessScript, PathsKeepTheirBlanksAndDialogsTheirOrder) {
    auto s = parse("dialog /music/Meine Lieder/a b.mp3\ndialog cancel\nscreenshot my shot.png\n");
    ASSERT_EQ(s.events.size(), 3u);
    EXPECT_EQ(s.events[0].text, "/music/Meine Lieder/a b.mp3");
    EXPECT_EQ(s.events[1].text, "");
    EXPECT_EQ(s.events[2].text, "my shot.png");
}

TEST(HeadlessBackend, InputArrivesInVirtualTimeAndTheRunEndsWithTheScript) {
    auto s = parse("wait 1\npress 50 60\nwait 0.5\nrelease\nwheel -3\nkey q\nwait 1\n");
    backend::install(headless::make({}, std::move(s)));
    input::state = {};
    timing::sleepMs(999);
    EXPECT_EQ(input::readMouse().buttons, 0);
    timing::sleepMs(1);
    auto m = input::readMouse();
    EXPECT_EQ(m.buttons, 1);
    EXPECT_EQ(m.x, 50);
    EXPECT_EQ(m.y, 60);
    // A waiting loop inside one pass sees the release at its time.
    int sleeps = 0;
    while (input::readMouse().buttons != 0) {
        timing::sleepMs(3);
        ++sleeps;
    }
    EXPECT_NEAR(timing::now(), 1.5, 0.003);
    EXPECT_EQ(sleeps, 167);
    EXPECT_EQ(input::readMouse().wheel, -3);
    EXPECT_EQ(input::readKey(), "q");
    EXPECT_EQ(input::readKey(), "");
    EXPECT_THROW(
        {
            for (int i = 0; i < 1000; ++i)
                timing::sleepMs(5);
        },
        backend::RunEnd);
    EXPECT_NEAR(timing::now(), 2.54, 0.006);
    backend::install(nullptr);
}

} // namespace
