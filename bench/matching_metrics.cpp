// What a listener of a rendered session hears, in numbers: the spread of
// the short-term loudness, the integrated loudness of each song as played,
// the loudness jump across each change-over, the sample peak, the longest
// silence, and the seconds of each song's recording never heard.
// Usage: matching_metrics RENDER.wav MCI.log SONG_FOLDER LABEL
// (run by bench/matching.sh).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "analysis/loudness.h"
#include "tests/support/audio_fixtures.cpp"
#include "tests/support/audio_fixtures.h"

namespace {

// One song's time on a channel, in render seconds and song milliseconds.
struct Played {
    std::string name;
    double start = 0, end = -1;
    double fromMs = 0;
    double quietAt = -1; // its volume first fell under a tenth
};

double shortTerm(const std::vector<double>& steps, double at) {
    const size_t first = size_t(std::max(0.0, at * 10)), n = 30;
    if (first + n > steps.size()) return kNoLoudness;
    double sum = 0;
    for (size_t i = first; i < first + n; ++i)
        sum += steps[i];
    return sum > 0 ? LoudnessMeter::loudnessOf(sum / n) : kNoLoudness;
}

// The second of the song's own recording after which it stays under -50 dBFS.
double audibleEnd(const fixtures::Wav& w) {
    const size_t window = size_t(w.rate / 20);
    double last = 0;
    if (window == 0) return 0;
    for (size_t at = 0; at + window <= w.frames(); at += window) {
        double sum = 0;
        for (size_t i = at * size_t(w.channels); i < (at + window) * size_t(w.channels); ++i)
            sum += double(w.samples[i]) * w.samples[i];
        if (std::sqrt(sum / double(window * size_t(w.channels))) > 32768 * 0.0031623)
            last = double(at + window) / w.rate;
    }
    return last;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) return 2;
    const fixtures::Wav mix = fixtures::readWav(argv[1]);
    if (mix.rate == 0) return 1;
    LoudnessMeter meter(mix.rate, mix.channels);
    meter.add(mix.samples);
    const auto& steps = meter.steps();

    std::map<std::string, Played> onAlias;
    std::vector<Played> played;
    std::map<std::string, double> lastVolume;
    const std::regex open(R"re(([\d.]+) open ".*/([^/]+)\.mp3" alias (AUBIO_II?))re"),
        play(R"re(([\d.]+) play (AUBIO_II?) from (\d+))re"),
        volume(R"re(([\d.]+) setaudio (AUBIO_II?) volume to (\d+))re"),
        close(R"re(([\d.]+) close (AUBIO_II?))re");
    std::ifstream log(argv[2]);
    std::smatch m;
    for (std::string line; std::getline(log, line);) {
        if (std::regex_match(line, m, open)) {
            onAlias[m[3]] = {m[2], -1, -1, 0, -1};
        } else if (std::regex_match(line, m, play) && onAlias.count(m[2]) &&
                   onAlias[m[2]].start < 0) {
            onAlias[m[2]].start = std::stod(m[1]);
            onAlias[m[2]].fromMs = std::stod(m[3]);
        } else if (std::regex_match(line, m, volume) && onAlias.count(m[2])) {
            Played& p = onAlias[m[2]];
            const double v = std::stod(m[3]), t = std::stod(m[1]);
            if (p.start >= 0 && t > p.start + 2 && p.quietAt < 0 && v < 0.1 * lastVolume[m[2]])
                p.quietAt = t;
            if (p.quietAt < 0 && v >= 100) lastVolume[m[2]] = std::max(lastVolume[m[2]] * 0.999, v);
        } else if (std::regex_match(line, m, close) && onAlias.count(m[2])) {
            Played p = onAlias[m[2]];
            onAlias.erase(m[2]);
            lastVolume.erase(m[2]);
            if (p.start < 0) continue;
            p.end = std::stod(m[1]);
            played.push_back(p);
        }
    }
    const double total = double(mix.frames()) / mix.rate;
    for (auto& [alias, p] : onAlias)
        if (p.start >= 0) played.push_back({p.name, p.start, total, p.fromMs, p.quietAt});
    std::sort(played.begin(), played.end(),
              [](const Played& a, const Played& b) { return a.start < b.start; });

    // Short-term loudness each second, gated as the loudness range is.
    std::vector<double> st;
    for (double t = 0; t + 3 <= total; t += 1)
        if (double l = shortTerm(steps, t); l > -70) st.push_back(l);
    double mean = 0;
    for (double l : st)
        mean += l;
    mean /= std::max<size_t>(1, st.size());
    double var = 0;
    for (double l : st)
        var += (l - mean) * (l - mean);
    const double spread = std::sqrt(var / std::max<size_t>(1, st.size()));

    double lowest = 0, highest = -200, worstJump = 0, jumps = 0, neverHeard = 0;
    int changes = 0;
    for (size_t i = 0; i < played.size(); ++i) {
        const Played& p = played[i];
        const size_t a = size_t(p.start * 10), b = std::min(steps.size(), size_t(p.end * 10));
        const double il = a < b ? LoudnessMeter::integratedOf({steps.data() + a, b - a}) : -200;
        lowest = std::min(lowest == 0 ? il : lowest, il);
        highest = std::max(highest, il);
        const fixtures::Wav song = fixtures::readWav(std::string(argv[3]) + "/" + p.name + ".wav");
        const double heardTo =
            (p.quietAt > 0 ? std::min(p.quietAt, p.end) : p.end) - p.start + p.fromMs / 1000;
        const double missed = std::max(0.0, audibleEnd(song) - heardTo);
        if (i + 1 < played.size()) {
            const double before = shortTerm(steps, played[i + 1].start - 3);
            const double after = shortTerm(steps, std::max(p.end, played[i + 1].start));
            const double jump = std::fabs(after - before);
            worstJump = std::max(worstJump, jump);
            jumps += jump;
            ++changes;
            neverHeard += missed;
        }
        std::printf("  %-4s %7.1f s .. %7.1f s  %6.1f LUFS  never heard %5.1f s\n", p.name.c_str(),
                    p.start, p.end, il, i + 1 < played.size() ? missed : 0.0);
    }
    int32_t peak = 0;
    for (int16_t s : mix.samples)
        peak = std::max<int32_t>(peak, std::abs(int32_t(s)));
    // Silence between the first song's start and the last one's end.
    double silence = 0, run = 0;
    const size_t from = played.empty() ? 0 : size_t(played.front().start * 10) + 10,
                 to = played.empty() ? 0 : std::min(steps.size(), size_t(played.back().end * 10));
    for (size_t i = from; i + 10 < to; ++i) {
        run = steps[i] < 1e-5 ? run + 0.1 : 0;
        silence = std::max(silence, run);
    }
    std::printf("| ANGLEICHEN %s | short-term spread %.1f LU, songs %.1f LU apart, jumps %.1f / "
                "%.1f LU, peak %.1f dBFS, longest silence %.1f s, never heard %.1f s | on: <= 3, "
                "<= 2, worst <= 6, <= -1, no gap, 0 |\n",
                argv[4], spread, highest - lowest, changes ? jumps / changes : 0.0, worstJump,
                20 * std::log10(std::max(1, peak) / 32768.0), silence, neverHeard);
    return 0;
}
