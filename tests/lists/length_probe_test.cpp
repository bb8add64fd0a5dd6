#include <gtest/gtest.h>

#include "lists/length_probe.h"

namespace {

TEST(LengthProbe, GongBoundsAndNames) {
    EXPECT_TRUE(admitGong("/g/jingle.mp3", 3980));
    EXPECT_FALSE(admitGong("/g/jingle.mp3", 3979));
    EXPECT_TRUE(admitGong("/g/jingle.MP3", 306000));
    EXPECT_FALSE(admitGong("/g/jingle.mp3", 306001));
    EXPECT_FALSE(admitGong("/g/jingle.wav", 60000));
    EXPECT_FALSE(admitGong("mp3", 60000));
}

TEST(LengthProbe, TrackBounds) {
    EXPECT_TRUE(admitTrack(19900));
    EXPECT_FALSE(admitTrack(19899));
    EXPECT_TRUE(admitTrack(306000));
    EXPECT_FALSE(admitTrack(306001));
}

} // namespace
