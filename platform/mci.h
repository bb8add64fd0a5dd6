#pragma once
// The MCI command layer: the command-string interpreter in front of the audio
// engine, and the one place where the program builds command strings
// (mciOpen, mciCommand, mciSeek, mciVolume). Owns the command log.
#include <cstdint>
#include <string>
#include <string_view>

namespace mci {

// Carries out one command string; the reply of a status query goes to `reply`.
// Returns 0 on success and an error number otherwise, which no caller examines.
int mciSendString(std::string_view command, std::string* reply);

// A status reply read as a number: leading blanks skipped, the longest
// numeric prefix taken (0 if none), halves rounded to even.
int32_t replyNumber(std::string_view reply);

// Log of every command string sent, one per line, prefixed with the clock in
// seconds ("12.345 play AUBIO_I from 0"). Empty path switches the log off.
bool openLog(const std::string& path);
void closeLog();

} // namespace mci

// Opens `path` under `alias` after closing what the alias held; upper-cases the
// alias in place. Returns the open's result code.
int mciOpen(const std::string& path, std::string& alias);
// Applies a verb to an alias (upper-cased in place); see the verb table in mci.cpp.
int32_t mciCommand(std::string_view verb, std::string& alias);
// "status <ALIAS> mode": false once the stream has stopped, at its end or
// because its file would not decode further.
bool mciPlaying(std::string& alias);
// Plays the alias (upper-cased in place) from `targetMs`: "play <ALIAS> from <n>".
void mciSeek(std::string& alias, int32_t targetMs);
// "setaudio <ALIAS> volume to <n>" with n = floor(volume), and 0 for a value
// below 0 (MCI would refuse it and leave the old volume).
std::string volumeCommand(const std::string& alias, double volume);
// Sends volumeCommand(alias, volume).
void mciVolume(const std::string& alias, double volume);
// "setaudio <ALIAS> gain to <n>", this program's own command: the level
// match in thousandths (floor, within 0 to 4000) behind the volume.
void mciGain(const std::string& alias, double gain);
