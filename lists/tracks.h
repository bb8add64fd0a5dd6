#pragma once
// The stack and the playlist: their counts and the current song's place.
// Written by the list operations and the transport; read everywhere.
#include <cstdint>

constexpr uint16_t maxTracks = 66;
// Every per-entry table holds slots 0 to maxTracks + 10; slot 0 is never an entry.
constexpr int kTrackSlots = maxTracks + 11;

struct TrackLists {
    int32_t stackCount = 0;
    int32_t playlistCount = 0;
    int32_t playPosition = 1; // slot of the current song, from 1
    int32_t playlistTop = 1;  // first slot shown in the playlist view
};

extern TrackLists tracks;
