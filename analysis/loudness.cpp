#include "analysis/loudness.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kAbsoluteGate = -70.0;
constexpr double kRelativeGate = -10.0;
constexpr int kStepsPerBlock = 4;

} // namespace

double LoudnessMeter::loudnessOf(double meanSquare) {
    return -0.691 + 10.0 * std::log10(meanSquare);
}

// The two K-weighting stages, designed for the rate at hand from the analog
// prototypes behind the standard's 48 kHz coefficients.
LoudnessMeter::LoudnessMeter(int sampleRate, int channels)
    : channels_(std::clamp(channels, 1, 2)), stepFrames_(std::max(1, sampleRate / 10)) {
    const double rate = std::max(sampleRate, 8000);
    {
        const double f0 = 1681.974450955533, gainDb = 3.999843853973347, q = 0.7071752369554196;
        const double k = std::tan(std::numbers::pi * f0 / rate);
        const double vh = std::pow(10.0, gainDb / 20.0);
        const double vb = std::pow(vh, 0.4996667741545416);
        const double a0 = 1.0 + k / q + k * k;
        shelf_ = {(vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0,
                  (vh - vb * k / q + k * k) / a0, 2.0 * (k * k - 1.0) / a0,
                  (1.0 - k / q + k * k) / a0};
    }
    {
        const double f0 = 38.13547087602444, q = 0.5003270373238773;
        const double k = std::tan(std::numbers::pi * f0 / rate);
        const double a0 = 1.0 + k / q + k * k;
        highPass_ = {1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
    }
}

double LoudnessMeter::run(const Biquad& f, Memory& m, double x) {
    const double y = f.b0 * x + f.b1 * m.x1 + f.b2 * m.x2 - f.a1 * m.y1 - f.a2 * m.y2;
    m.x2 = m.x1;
    m.x1 = x;
    m.y2 = m.y1;
    m.y1 = y;
    return y;
}

void LoudnessMeter::add(std::span<const int16_t> samples) {
    const size_t frames = samples.size() / size_t(channels_);
    for (size_t i = 0; i < frames; ++i) {
        for (int c = 0; c < channels_; ++c) {
            const double x = samples[i * size_t(channels_) + size_t(c)] / 32768.0;
            const double y =
                run(highPass_, memory_[size_t(2 * c + 1)], run(shelf_, memory_[size_t(2 * c)], x));
            stepSum_ += y * y;
        }
        if (++stepFill_ == stepFrames_) {
            steps_.push_back(stepSum_ / stepFrames_);
            stepSum_ = 0;
            stepFill_ = 0;
        }
    }
}

double LoudnessMeter::integrated() const {
    return integratedOf(steps_);
}

double LoudnessMeter::integratedOf(std::span<const double> steps) {
    std::vector<double> blocks;
    for (size_t i = 0; i + kStepsPerBlock <= steps.size(); ++i) {
        double sum = 0;
        for (int j = 0; j < kStepsPerBlock; ++j)
            sum += steps[i + size_t(j)];
        const double meanSquare = sum / kStepsPerBlock;
        if (meanSquare > 0 && loudnessOf(meanSquare) > kAbsoluteGate) blocks.push_back(meanSquare);
    }
    if (blocks.empty()) return kNoLoudness;
    double sum = 0;
    for (double b : blocks)
        sum += b;
    const double gate = loudnessOf(sum / double(blocks.size())) + kRelativeGate;
    double passed = 0;
    size_t count = 0;
    for (double b : blocks)
        if (loudnessOf(b) > gate) {
            passed += b;
            ++count;
        }
    return count == 0 ? kNoLoudness : loudnessOf(passed / double(count));
}
