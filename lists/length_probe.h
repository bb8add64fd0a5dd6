#pragma once
// Measuring a song before it enters a list, and the bounds of what is admitted.
// The probe aliases stay open on the last probed file until the next probe.
// No state of its own.
#include <cstdint>
#include <string>

constexpr int32_t minTrackMs = 19900;
constexpr int32_t maxTrackMs = 306000;

// Aliases of the three probes: stack and playlist imports, the session
// read-back, and files picked for a gong player.
inline const std::string kProbeAlias = "AUBIO_III";
inline const std::string kSessionProbeAlias = "Autol";
inline const std::string kGongProbeAlias = "Laengeermitteln";

// Length in ms through the MCI layer; 0 when the file cannot be opened.
int32_t probeLength(const std::string& path, const std::string& alias);
bool admitTrack(int32_t lengthMs);
// Gong files: a fifth of the song minimum up to the song maximum, and an ".MP3" name.
bool admitGong(const std::string& path, int32_t lengthMs);
