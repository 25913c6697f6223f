// Fits the learnt evaluation to self-play positions: logistic regression of each game's
// result on the position's features (PatternFeatures), a weight per region configuration
// and per whole-board term for the middle game and for the ending, blended by the phase.
// Per-weight step sizes (AdaGrad), a small L2 penalty; every twentieth game is held out to
// report how well the weights predict games they were not fitted to. The hand-set
// evaluation is one more input with a single learnt factor, so that the weights learn what
// it misses; they are then written in its unit (hundredths of a man) as the weights file.
// With --blend L below 1, each position's target is L times the game's result plus 1 - L times
// the search's score for it, turned into an expected result by the model's own worth of a man
// (a game's result says little of a position early in it; the search's score is less noisy).
// Each epoch reports the loss on the fitted and the held-out positions against their targets,
// which move with the model's worth of a man when scores are blended in, and the held-out
// loss against the games' results alone, a yardstick that stays put from fit to fit.
// With --fixed-scale, the scores are turned into expected results by the worth of a man that
// best foretells the games' results from the scores alone, fitted once before the weights;
// the model's own worth otherwise drifts down from pass to pass, and the targets with it.
// Usage: draughts_train --out FILE [--epochs N] [--seed S] [--blend L] [--fixed-scale] [--step S]
//        [--penalty P] POSITIONS...
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "PatternEvaluation.h"
#include "TrainingSet.h"

using namespace Draughts;

namespace
{
constexpr int c_Regions = PatternFeatures::c_Regions;
constexpr int c_Terms = PatternFeatures::c_Terms;

// The fit's settings: AdaGrad's step and the L2 penalty on every weight.
struct Settings
{
    double step = 0.02;
    double penalty = 1e-6;
    // Logits a man for turning the search's scores into targets; 0: the model's own worth.
    double scale = 0;
};

const char* const c_Usage =
    "Usage: draughts_train --out FILE [--epochs N] [--seed S] [--blend L] [--fixed-scale] [--step S] [--penalty P]\n"
    "       POSITIONS...\n"
    "Fits the evaluation's weights to self-play positions (draughts_selfplay files)\n"
    "and writes them to FILE. The target is the game's result, or with --blend L\n"
    "(0 to 1, default 1) L times the result plus 1 - L times the search's score, turned\n"
    "into an expected result by the model's worth of a man or, with --fixed-scale, by the\n"
    "worth that best foretells the results from the scores alone.\n"
    "--epochs: passes over the positions (8); --step: AdaGrad's step (0.02);\n"
    "--penalty: the L2 penalty on each weight (0.000001).\n";

struct Sample
{
    std::uint16_t white[c_Regions];
    std::uint16_t black[c_Regions];
    std::int8_t terms[c_Terms];
    std::uint8_t phase;
    // 0 Black won, 1 drawn, 2 White won.
    std::uint8_t result;
    // The hand-set evaluation, White's side.
    std::int16_t base;
    // The search's score, White's side, hundredths of a man.
    std::int16_t score;
};

struct Model
{
    std::vector<float> regions =
        std::vector<float>(static_cast<std::size_t>(c_Regions) * PatternFeatures::c_Configurations * 2);
    std::vector<float> terms = std::vector<float>(c_Terms * 2);
    // Logits per man of the hand-set evaluation.
    float base = 1.0f;

    float& region(int region, int configuration, int phase)
    {
        return regions[(static_cast<std::size_t>(region) * PatternFeatures::c_Configurations + configuration) * 2 +
                       phase];
    }

    // White's logit.
    double logit(const Sample& sample) const
    {
        double middle = 0, ending = 0;
        for (int i = 0; i < c_Regions; ++i) {
            const std::size_t own =
                (static_cast<std::size_t>(i) * PatternFeatures::c_Configurations + sample.white[i]) * 2;
            const std::size_t other =
                (static_cast<std::size_t>(i) * PatternFeatures::c_Configurations + sample.black[i]) * 2;
            middle += regions[own] - regions[other];
            ending += regions[own + 1] - regions[other + 1];
        }
        for (int t = 0; t < c_Terms; ++t) {
            middle += terms[t * 2] * sample.terms[t];
            ending += terms[t * 2 + 1] * sample.terms[t];
        }
        const double weight = sample.phase / double(PatternFeatures::c_FullBoard);
        return middle * weight + ending * (1 - weight) + base * sample.base / 100.0;
    }
};

Sample sampleOf(const TrainingPosition& entry)
{
    const PatternFeatures features = PatternFeatures::of(entry.position);
    Sample sample;
    std::copy(std::begin(features.white), std::end(features.white), sample.white);
    std::copy(std::begin(features.black), std::end(features.black), sample.black);
    for (int t = 0; t < c_Terms; ++t)
        sample.terms[t] = static_cast<std::int8_t>(std::clamp(features.terms[t], -127, 127));
    sample.phase = static_cast<std::uint8_t>(features.phase);
    sample.result = static_cast<std::uint8_t>(entry.result + 1);
    sample.base = static_cast<std::int16_t>(std::clamp(features.base, -30000, 30000));
    const int score = entry.position.sideToMove() == Color::White ? entry.score : -entry.score;
    sample.score = static_cast<std::int16_t>(std::clamp(score, -30000, 30000));
    return sample;
}

// The logits a man that best foretell the games' results from the search's scores alone:
// a one-parameter logistic regression, by Newton's method.
double scoreScale(const std::vector<Sample>& samples)
{
    double scale = 1;
    for (int iteration = 0; iteration < 30; ++iteration) {
        double gradient = 0, curvature = 0;
        for (const Sample& sample : samples) {
            const double x = sample.score / 100.0;
            const double p = 1 / (1 + std::exp(-scale * x));
            gradient += (p - sample.result / 2.0) * x;
            curvature += p * (1 - p) * x * x;
        }
        if (!(curvature > 0))
            break;
        const double next = std::clamp(scale - gradient / curvature, 0.01, 10.0);
        const bool settled = std::abs(next - scale) < 1e-7;
        scale = next;
        if (settled)
            break;
    }
    return scale;
}

// The expected result (0 to 1, White's side) the position is fitted to. The search's score is
// turned into one by SCALE logits a man, or by the model's own worth when SCALE is 0.
double target(const Model& model, const Sample& sample, double blend, double scale)
{
    const double result = sample.result / 2.0;
    if (blend >= 1)
        return result;
    const double logits = scale > 0 ? scale : model.base;
    const double expected = 1 / (1 + std::exp(-logits * sample.score / 100.0));
    return blend * result + (1 - blend) * expected;
}

double loss(const Model& model, const std::vector<Sample>& samples, double blend, double scale = 0)
{
    double total = 0;
    for (const Sample& sample : samples) {
        const double p = 1 / (1 + std::exp(-model.logit(sample)));
        const double y = target(model, sample, blend, scale);
        total -= y * std::log(std::max(p, 1e-12)) + (1 - y) * std::log(std::max(1 - p, 1e-12));
    }
    return samples.empty() ? 0 : total / samples.size();
}

void train(Model& model, Model& squares, const Sample& sample, double blend, const Settings& settings)
{
    const double p = 1 / (1 + std::exp(-model.logit(sample)));
    const double error = p - target(model, sample, blend, settings.scale);
    const double weight[2] = {sample.phase / double(PatternFeatures::c_FullBoard),
                              1 - sample.phase / double(PatternFeatures::c_FullBoard)};
    auto step = [&settings](float& value, float& square, double gradient) {
        gradient += settings.penalty * value;
        square += static_cast<float>(gradient * gradient);
        value -= static_cast<float>(settings.step * gradient / std::sqrt(square + 1e-8));
    };
    for (int i = 0; i < c_Regions; ++i) {
        if (sample.white[i] == sample.black[i])
            continue;
        for (int phase = 0; phase < 2; ++phase) {
            step(model.region(i, sample.white[i], phase), squares.region(i, sample.white[i], phase),
                 error * weight[phase]);
            step(model.region(i, sample.black[i], phase), squares.region(i, sample.black[i], phase),
                 -error * weight[phase]);
        }
    }
    step(model.base, squares.base, error * sample.base * 0.01);
    for (int t = 0; t < c_Terms; ++t)
        for (int phase = 0; phase < 2; ++phase)
            if (sample.terms[t] != 0)
                step(model.terms[t * 2 + phase], squares.terms[t * 2 + phase], error * weight[phase] * sample.terms[t]);
}

} // namespace

int main(int argc, char** argv)
{
    std::string out;
    int epochs = 8;
    std::uint64_t seed = 1;
    double blend = 1;
    Settings settings;
    bool fixedScale = false;
    std::vector<std::string> inputs;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--fixed-scale") {
            fixedScale = true;
            continue;
        }
        const bool real = arg == "--blend" || arg == "--step" || arg == "--penalty";
        if ((arg == "--out" || arg == "--epochs" || arg == "--seed" || real) && i + 1 < argc) {
            const char* value = argv[++i];
            if (arg == "--out")
                out = value;
            else if (arg == "--epochs")
                epochs = std::atoi(value);
            else if (real) {
                char* end = nullptr;
                const double number = std::strtod(value, &end);
                const bool parsed = end != value && *end == '\0';
                if (arg == "--blend" && !(parsed && number >= 0 && number <= 1)) {
                    std::fprintf(stderr, "draughts_train: --blend takes a number from 0 to 1, not '%s'\n", value);
                    return 2;
                }
                if (arg == "--step" && !(parsed && number > 0 && number <= 10)) {
                    std::fprintf(stderr, "draughts_train: --step takes a number above 0 and up to 10, not '%s'\n",
                                 value);
                    return 2;
                }
                if (arg == "--penalty" && !(parsed && number >= 0 && number <= 1)) {
                    std::fprintf(stderr, "draughts_train: --penalty takes a number from 0 to 1, not '%s'\n", value);
                    return 2;
                }
                (arg == "--blend" ? blend : arg == "--step" ? settings.step : settings.penalty) = number;
            } else
                seed = std::strtoull(value, nullptr, 10);
        } else if (arg.rfind("--", 0) == 0) {
            std::fputs(c_Usage, stderr);
            return 2;
        } else {
            inputs.push_back(arg);
        }
    }
    if (out.empty() || inputs.empty() || epochs < 1) {
        std::fputs(c_Usage, stderr);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    std::vector<TrainingPosition> positions;
    for (const std::string& input : inputs) {
        std::string error;
        if (!TrainingSet::read(input, positions, error)) {
            std::fprintf(stderr, "draughts_train: %s\n", error.c_str());
            return 1;
        }
    }
    // A game's positions follow each other with rising plies.
    std::vector<Sample> fit, held;
    long game = 0;
    int lastPly = -1;
    for (const TrainingPosition& entry : positions) {
        if (entry.ply <= lastPly)
            ++game;
        lastPly = entry.ply;
        (game % 20 == 19 ? held : fit).push_back(sampleOf(entry));
    }
    std::printf("%zu positions of %ld games: %zu fitted, %zu held out\n", positions.size(), game + 1, fit.size(),
                held.size());
    if (fit.empty()) {
        std::fprintf(stderr, "draughts_train: no positions to fit\n");
        return 1;
    }

    Model model, squares;
    if (fixedScale && blend < 1) {
        settings.scale = scoreScale(fit);
        std::printf("a man of the search's scores foretells %.4f logits of the results\n", settings.scale);
    }
    std::mt19937_64 random(seed);
    std::printf("before: held-out loss %.5f, against the results %.5f\n", loss(model, held, blend, settings.scale),
                loss(model, held, 1));
    for (int epoch = 1; epoch <= epochs; ++epoch) {
        std::shuffle(fit.begin(), fit.end(), random);
        for (const Sample& sample : fit)
            train(model, squares, sample, blend, settings);
        std::printf("epoch %d: a man %.4f logits, fitted loss %.5f, held-out loss %.5f, against the results %.5f\n",
                    epoch, model.base, loss(model, fit, blend, settings.scale),
                    loss(model, held, blend, settings.scale), loss(model, held, 1));
        std::fflush(stdout);
    }

    // The corrections in the hand-set evaluation's unit.
    const double scale = 100.0 / std::max(static_cast<double>(model.base), 1e-2);
    std::printf("a man of the hand-set evaluation is worth %.4f logits\n", model.base);
    PatternEvaluation weights;
    auto toInt = [scale](float value) {
        return static_cast<std::int16_t>(std::clamp(std::lround(value * scale), -32000L, 32000L));
    };
    for (int i = 0; i < c_Regions; ++i)
        for (int c = 0; c < PatternFeatures::c_Configurations; ++c)
            for (int phase = 0; phase < 2; ++phase)
                weights.region(i, c, phase) = toInt(model.region(i, c, phase));
    for (int t = 0; t < c_Terms; ++t)
        for (int phase = 0; phase < 2; ++phase)
            weights.term(t, phase) = toInt(model.terms[t * 2 + phase]);
    std::string error;
    if (!weights.save(out, error)) {
        std::fprintf(stderr, "draughts_train: %s\n", error.c_str());
        return 1;
    }
    std::printf(
        "terms (middle game, ending): men %d %d, kings %d %d, tempo %d %d, to move %d %d, long diagonal %d %d\n",
        weights.term(0, 0), weights.term(0, 1), weights.term(1, 0), weights.term(1, 1), weights.term(2, 0),
        weights.term(2, 1), weights.term(3, 0), weights.term(3, 1), weights.term(4, 0), weights.term(4, 1));
    std::printf("wrote %s in %.0f s\n", out.c_str(),
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    return 0;
}
