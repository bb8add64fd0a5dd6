#pragma once
// A song's integrated loudness as ITU-R BS.1770 and EBU R128 measure it:
// K-weighted, in 400 ms blocks that overlap by three quarters, gated at
// -70 LUFS and 10 LU under the mean of what passed. Fed with the decoded
// samples the envelope walk reads; no state beyond the meter itself.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

// What a meter that heard nothing above the absolute gate answers.
constexpr double kNoLoudness = -200.0;

class LoudnessMeter {
  public:
    LoudnessMeter(int sampleRate, int channels);
    // Interleaved 16-bit samples, any number of frames.
    void add(std::span<const int16_t> samples);
    // LUFS; kNoLoudness when nothing passed the gates.
    double integrated() const;
    // The K-weighted mean square of each 100 ms heard, channels summed.
    const std::vector<double>& steps() const { return steps_; }
    // The gated loudness of a run of such steps.
    static double integratedOf(std::span<const double> steps);
    // The loudness of one mean square.
    static double loudnessOf(double meanSquare);

  private:
    struct Biquad {
        double b0, b1, b2, a1, a2;
    };
    struct Memory {
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    };
    static double run(const Biquad& f, Memory& m, double x);

    int channels_;
    int stepFrames_; // 100 ms
    Biquad shelf_{}, highPass_{};
    std::array<Memory, 4> memory_{}; // two stages for each of two channels
    double stepSum_ = 0;
    int stepFill_ = 0;
    std::vector<double> steps_; // mean square of each 100 ms, channels summed
};
